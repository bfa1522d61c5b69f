#pragma once

// Registers the running executable as the demand-start service ServiceName.
// Prints the outcome to standard output.
void InstallService();

// True when the process's first argument asks for installation ("install" in
// any letter case). Arguments that cannot be split mean the dispatcher role.
bool InstallRequested();

// Lends the calling thread to the service control dispatcher until the
// service has stopped. A failure is recorded in the event log.
void RunServiceDispatcher();
