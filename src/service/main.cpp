#include "service_install.h"

// The exit status is 0 on every path: the printed line or the recorded event
// tells the outcome.
int wmain(int, wchar_t**)
{
    if (InstallRequested())
        InstallService();
    else
        RunServiceDispatcher();
    return 0;
}
