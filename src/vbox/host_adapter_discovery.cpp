#include "host_adapter_discovery.h"

int HostAdapterDiscovery()
{
    return 0;
}
