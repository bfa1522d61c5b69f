#pragma once

// Prints a block for every host adapter that can carry the bridge and stores
// the description of the first one in BridgeTarget. Returns 0; on its fatal
// paths the process ends with exit status 1.
int HostAdapterDiscovery();
