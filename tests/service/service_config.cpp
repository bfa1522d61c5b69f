// Prints the registered configuration of a service, one field a line, for
// the end-to-end test (Wine's "sc qc" does not show it).
#include <windows.h>
#include <stdio.h>

#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: service_config NAME\n");
        return 2;
    }
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) {
        fprintf(stderr, "OpenSCManagerW failed with %lu\n", GetLastError());
        return 1;
    }
    SC_HANDLE service = OpenServiceW(manager, argv[1], SERVICE_QUERY_CONFIG);
    if (!service) {
        fprintf(stderr, "OpenServiceW failed with %lu\n", GetLastError());
        CloseServiceHandle(manager);
        return 1;
    }
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed ? needed : 1);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    int rc = 0;
    if (!QueryServiceConfigW(service, config, needed, &needed)) {
        fprintf(stderr, "QueryServiceConfigW failed with %lu\n", GetLastError());
        rc = 1;
    } else {
        printf("type=0x%lx\n", config->dwServiceType);
        printf("start=%lu\n", config->dwStartType);
        printf("error=%lu\n", config->dwErrorControl);
        printf("account=%ls\n", config->lpServiceStartName ? config->lpServiceStartName : L"(none)");
        printf("path=%ls\n", config->lpBinaryPathName ? config->lpBinaryPathName : L"(none)");
        printf("display=%ls\n", config->lpDisplayName ? config->lpDisplayName : L"(none)");
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return rc;
}
