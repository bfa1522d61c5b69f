#include <windows.h>
#include <shellapi.h>

#include "print.h"
#include "service_events.h"
#include "service_install.h"
#include "service_main.h"
#include "service_name.h"
#include "unique_holders.h"

bool InstallRequested()
{
    int count = 0;
    unique_hlocal holder;
    auto** args = CommandLineToArgvW(GetCommandLineW(), &count);
    holder.reset(args);
    return args && count > 1 && lstrcmpiW(args[1], L"install") == 0;
}

void InstallService()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0) {
        PrintLine("Cannot install service (%d)\n", GetLastError());
        return;
    }
    // A truncated path names no file the service manager could start.
    if (length >= MAX_PATH) {
        PrintLine("Cannot install service (%d)\n", ERROR_INSUFFICIENT_BUFFER);
        return;
    }

    unique_schandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        PrintLine("OpenSCManager failed (%d)\n", GetLastError());
        return;
    }

    // Quoted, so that a path with spaces (C:\Program Files\...) cannot be read
    // as C:\Program.exe with arguments.
    wchar_t command[MAX_PATH + 2];
    wsprintfW(command, L"\"%s\"", path);

    unique_schandle service(CreateServiceW(manager.get(), ServiceName, ServiceName, SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command,
        nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) {
        PrintLine("CreateService failed (%d)\n", GetLastError());
        return;
    }
    PrintLine("Service installed successfully\n");
}

void RunServiceDispatcher()
{
    wchar_t name[ARRAYSIZE(ServiceName)];
    lstrcpyW(name, ServiceName);
    SERVICE_TABLE_ENTRYW table[] = {
        {name, ServiceMain},
        {nullptr, nullptr},
    };
    if (!StartServiceCtrlDispatcherW(table))
        ReportFailureEvent(L"StartServiceCtrlDispatcher");
}
