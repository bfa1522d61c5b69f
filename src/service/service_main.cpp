#include <windows.h>
#include <stdio.h>

#include "print.h"
#include "registry_string.h"
#include "service_events.h"
#include "service_log.h"
#include "service_main.h"
#include "service_name.h"
#include "service_status.h"
#include "to_ansi.h"
#include "unique_holders.h"

HANDLE StopEvent;

namespace {

// Set by the handler once its last report on STOP is out, so that the
// stopped report of ServiceMain is always the last one the manager sees.
HANDLE StopReportedEvent;

// Runs a command hidden, without waiting for it. Text that cannot be
// converted to the ANSI code page is not run: a mangled command line could
// start something else.
void RunCommand(const char* command)
{
    if (!command) {
        PrintLine("Command not run: cannot convert it to the ANSI code page (%d)\n",
            static_cast<int>(GetLastError()));
        fflush(stdout);
        return;
    }
    WinExec(command, SW_HIDE);
}

} // namespace

void RunUntilStopped()
{
    InitServiceStatus();
    ReportStatus(SERVICE_START_PENDING, NO_ERROR, 3000);

    StopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!StopEvent) {
        ReportStatus(SERVICE_STOPPED, NO_ERROR, 0);
        return;
    }
    StopReportedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    ReportStatus(SERVICE_RUNNING, NO_ERROR, 0);
    WaitForSingleObject(StopEvent, INFINITE);
    if (StopReportedEvent)
        WaitForSingleObject(StopReportedEvent, INFINITE);
    ReportStatus(SERVICE_STOPPED, NO_ERROR, 0);
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    LogOutcome outcome = OpenServiceLog();
    if (outcome != FolderUnavailable) {
        char path[MAX_PATH];
        if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) {
            if (outcome == LogOpen) {
                PrintLine("Cannot start service (%d)\n", static_cast<int>(GetLastError()));
                fflush(stdout);
            }
            return;
        }
        if (outcome == LogOpen) {
            PrintLine("ServiceStarted in %s\n", path);
            fflush(stdout);
        }
        unique_process_heap_ptr<wchar_t> command(ReadRegistryString(L"ServiceStart"));
        if (outcome == LogOpen) {
            PrintLineW(L"ServiceStart=%ws\n", command.get());
            fflush(stdout);
        }
        unique_process_heap_ptr<char> text(ToAnsi(command.get()));
        RunCommand(text.get());
    }

    StatusHandle = RegisterServiceCtrlHandlerW(ServiceName, ServiceControlHandler);
    if (!StatusHandle) {
        ReportFailureEvent(L"RegisterServiceCtrlHandler");
        return;
    }
    RunUntilStopped();
}

void WINAPI ServiceControlHandler(DWORD control)
{
    unique_process_heap_ptr<wchar_t> command(ReadRegistryString(L"ServiceStop"));
    if (control != SERVICE_CONTROL_STOP)
        return;

    ReportStatus(SERVICE_STOP_PENDING, NO_ERROR, 0);
    PrintLineW(L"STOP\n");
    fflush(stdout);
    if (command) {
        unique_process_heap_ptr<char> text(ToAnsi(command.get()));
        if (text) {
            PrintLine("ServiceStop=%s\n", text.get());
            fflush(stdout);
        }
        RunCommand(text.get());
    }
    SetEvent(StopEvent);
    ReportCurrentStatus(NO_ERROR, 0);
    if (StopReportedEvent)
        SetEvent(StopReportedEvent);
}
