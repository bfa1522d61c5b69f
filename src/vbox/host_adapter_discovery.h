#pragma once

#include <winsock2.h>
#include <iphlpapi.h>

// Prints a block for every host adapter that can carry the bridge and stores
// the description of the first one in BridgeTarget. Returns 0; on its fatal
// paths the process ends with exit status 1.
int HostAdapterDiscovery();

// Where the adapter list comes from: ::GetAdaptersAddresses, or a test's
// fabricated records.
using AdapterListSource = ULONG(WINAPI*)(ULONG family, ULONG flags, PVOID reserved,
                                         PIP_ADAPTER_ADDRESSES addresses, PULONG size);
extern AdapterListSource GetAdapterList;
