// Prints, in UTF-8, the description of the host adapter that bridgefix should
// choose: the first one that is up, is not the loopback and is named after no
// virtualisation product. The end-to-end test checks bridgefix against it.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int main()
{
    ULONG size = 15000;
    std::vector<BYTE> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        rc = GetAdaptersAddresses(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (rc != NO_ERROR)
        return 1;
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK ||
            !a->Description[0] || wcsstr(a->Description, L"VirtualBox") ||
            wcsstr(a->Description, L"VMware") || wcsstr(a->Description, L"Hyper-V"))
            continue;
        char text[4096];
        WideCharToMultiByte(CP_UTF8, 0, a->Description, -1, text, sizeof text, nullptr, nullptr);
        printf("%s\n", text);
        return 0;
    }
    return 0;
}
