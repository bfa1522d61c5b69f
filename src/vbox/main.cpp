// bridgefix VMNAME: points the first network adapter of the VirtualBox machine
// VMNAME at the first working host adapter.
#include <wchar.h>

#include "bridgefix_state.h"
#include "host_adapter_discovery.h"
#include "print.h"
#include "virtualbox_session.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1) {
        // A truncated copy would name no machine: refuse the name instead.
        if (wcslen(argv[1]) >= NameCapacity) {
            PrintLine("The machine name is too long: %d characters at most\n", NameCapacity - 1);
            return 1;
        }
        wcscpy(TargetVmName, argv[1]);
    }
    HostAdapterDiscovery();
    VirtualBoxSession();
    return 0;
}
