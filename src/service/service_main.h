#pragma once

#include <windows.h>

// Set by the control handler on STOP; ServiceMain waits for it.
extern HANDLE StopEvent;

// The dispatcher's entry for the service: opens the log, runs the start
// command, reports the service running and waits for STOP.
void WINAPI ServiceMain(DWORD argumentCount, LPWSTR* arguments);

// Handles the service manager's controls; on STOP it runs the stop command.
void WINAPI ServiceControlHandler(DWORD control);

// ServiceMain after the handler is registered: start-pending, running, the
// wait for STOP and the final stopped report.
void RunUntilStopped();
