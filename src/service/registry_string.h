#pragma once

#include <windows.h>

// The installer's key, opened (or created) on first use and kept open.
extern HKEY InstallerKey;

// Reads a REG_SZ value of the installer's key as a new string on the process
// heap, owned by the caller. A missing key or value, or another type, reads
// as the empty string. Null only when not even an empty string can be
// allocated.
wchar_t* ReadRegistryString(const wchar_t* valueName);
