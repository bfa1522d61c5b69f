#include "service_status.h"

SERVICE_STATUS ServiceStatus;
SERVICE_STATUS_HANDLE StatusHandle;
SetServiceStatusFunction SetServiceStatusCall = SetServiceStatus;

namespace {

SRWLOCK StatusLock = SRWLOCK_INIT;
DWORD CheckPointCounter = 1;

SERVICE_STATUS ComposeStatus(bool keepState, DWORD state, DWORD exitCode, DWORD waitHint)
{
    AcquireSRWLockExclusive(&StatusLock);
    if (keepState)
        state = ServiceStatus.dwCurrentState;
    ServiceStatus.dwCurrentState = state;
    ServiceStatus.dwWin32ExitCode = exitCode;
    ServiceStatus.dwWaitHint = waitHint;
    ServiceStatus.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP;
    if (state == SERVICE_RUNNING || state == SERVICE_STOPPED)
        ServiceStatus.dwCheckPoint = 0;
    else
        ServiceStatus.dwCheckPoint = CheckPointCounter++;
    SERVICE_STATUS copy = ServiceStatus;
    ReleaseSRWLockExclusive(&StatusLock);
    return copy;
}

void SendStatus(SERVICE_STATUS status)
{
    SetServiceStatusCall(StatusHandle, &status);
}

} // namespace

void InitServiceStatus()
{
    AcquireSRWLockExclusive(&StatusLock);
    ServiceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    ServiceStatus.dwServiceSpecificExitCode = 0;
    ReleaseSRWLockExclusive(&StatusLock);
}

void ReportStatus(DWORD state, DWORD exitCode, DWORD waitHint)
{
    SendStatus(ComposeStatus(false, state, exitCode, waitHint));
}

void ReportCurrentStatus(DWORD exitCode, DWORD waitHint)
{
    SendStatus(ComposeStatus(true, 0, exitCode, waitHint));
}

void ResetServiceStatus()
{
    AcquireSRWLockExclusive(&StatusLock);
    ServiceStatus = SERVICE_STATUS{};
    CheckPointCounter = 1;
    ReleaseSRWLockExclusive(&StatusLock);
}
