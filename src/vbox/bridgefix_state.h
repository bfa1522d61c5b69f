// The two program-wide names of bridgefix.
#pragma once

#include <wchar.h>

constexpr int NameCapacity = 2048; // UTF-16 code units, terminator included

// The machine to correct, from argument 1; empty without it.
extern wchar_t TargetVmName[NameCapacity];

// The description of the host adapter chosen for the bridge; empty when none was.
extern wchar_t BridgeTarget[NameCapacity];
