#include "registry_string.h"

HKEY InstallerKey;

namespace {

void OpenInstallerKey()
{
    SECURITY_ATTRIBUTES security = {};
    security.nLength = sizeof security;
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = TRUE;
    DWORD disposition = 0;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Kestal\\crm-ks-installer", 0, nullptr,
        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, &security, &InstallerKey, &disposition);
}

wchar_t* AllocateZeroed(SIZE_T bytes)
{
    return static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
}

} // namespace

wchar_t* ReadRegistryString(const wchar_t* valueName)
{
    if (!InstallerKey)
        OpenInstallerKey();

    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(InstallerKey, valueName, nullptr, &type, nullptr, &size);

    // Twice the size and two zero bytes more: terminated even when the stored
    // value lacks its terminator.
    wchar_t* buffer = size <= (MAXDWORD - 2) / 2 ? AllocateZeroed(SIZE_T(size) * 2 + 2) : nullptr;
    if (!buffer)
        return AllocateZeroed(sizeof(wchar_t));
    if (status != ERROR_SUCCESS)
        return buffer;

    size *= 2;
    RegQueryValueExW(InstallerKey, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (type != REG_SZ)
        buffer[0] = 0;
    return buffer;
}
