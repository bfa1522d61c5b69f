#include "bridgefix_state.h"

wchar_t TargetVmName[NameCapacity];
wchar_t BridgeTarget[NameCapacity];
