#pragma once

#include <windows.h>

// The status record the service reports, shared by ServiceMain and the
// control handler; ReportStatus keeps its fields consistent.
extern SERVICE_STATUS ServiceStatus;
extern SERVICE_STATUS_HANDLE StatusHandle;

// The one platform call that tests must observe.
using SetServiceStatusFunction = BOOL(WINAPI*)(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS);
extern SetServiceStatusFunction SetServiceStatusCall;

// Sets the service type fields once the handler is registered.
void InitServiceStatus();

// Reports state with its controls, checkpoint and wait hint. The record is
// composed under a lock and sent outside it: under Wine the control handler
// runs inside the dispatcher's lock, which SetServiceStatus takes too.
void ReportStatus(DWORD state, DWORD exitCode, DWORD waitHint);

// Reports again whatever state was last composed.
void ReportCurrentStatus(DWORD exitCode, DWORD waitHint);

// Starts over with checkpoint 1 and an empty record (tests only).
void ResetServiceStatus();
