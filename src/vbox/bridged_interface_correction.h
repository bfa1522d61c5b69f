// Re-points the named machine's first network adapter at the chosen host adapter.
#pragma once

#include <windows.h>

#include "vbox_binding.h"

// Walks the registered machines, prints each one's name and bridged interface,
// and bridges adapter 0 of the machine named TargetVmName to BridgeTarget when
// it points elsewhere. Borrows both pointers; the session is unlocked again on
// return. Always returns 0.
int BridgedInterfaceCorrection(IVirtualBox* virtualBox, ISession* session);

// Prints the calling thread's COM error description after the failed call
// whose result is given; nothing for a success or when there is none.
void PrintErrorInfo(HRESULT result);
