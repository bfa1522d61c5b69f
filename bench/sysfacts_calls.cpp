// Cost of each SysFacts export called in-process, as the installer engine calls
// it: COM initialised, a fresh stack entry set per call.
// Usage: sysfacts_calls.exe PLUGIN.dll [ROUNDS]
// Prints one line per export: NAME<TAB>milliseconds per call<TAB>status.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Entry {
    Entry* next;
    wchar_t text[1024];
};

using Export = void(__cdecl*)(HWND, int, wchar_t*, Entry**, void*);

Entry* NewEntry(const wchar_t* text)
{
    auto entry = static_cast<Entry*>(GlobalAlloc(GPTR, sizeof(Entry)));
    lstrcpynW(entry->text, text, 1024);
    return entry;
}

void Push(Entry** top, const wchar_t* text)
{
    Entry* entry = NewEntry(text);
    entry->next = *top;
    *top = entry;
}

void Clear(Entry** top, wchar_t* status)
{
    if (*top)
        lstrcpynW(status, (*top)->text, 16);
    while (*top) {
        Entry* entry = *top;
        *top = entry->next;
        GlobalFree(entry);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: sysfacts_calls PLUGIN.dll [ROUNDS]\n");
        return 2;
    }
    int rounds = argc > 2 ? _wtoi(argv[2]) : 50;
    CoInitialize(nullptr);
    HMODULE plugin = LoadLibraryW(argv[1]);
    if (!plugin) {
        fwprintf(stderr, L"cannot load %ls: %lu\n", argv[1], GetLastError());
        return 1;
    }
    struct Call {
        const char* name;
        const wchar_t* arguments[4]; // pushed last first, so the first is popped first
    };
    const Call calls[] = {
        { "OS", {} }, { "OSVersion", {} }, { "FullOS", {} }, { "CPU", {} }, { "Resolution", {} },
        { "UserName", {} }, { "ShortUserName", {} }, { "UserSID", { L"root" } }, { "AntiVirus", {} },
        { "FireWall", {} }, { "SQLVersion", {} }, { "FullSQLVersion", {} },
        { "Request", { L"CIMV2", L"Win32_OperatingSystem", L"Caption" } },
        { "Request2", { L"CIMV2", L"Win32_Processor", L"Caption", L"" } },
    };
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (const Call& call : calls) {
        auto function = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(plugin, call.name)));
        if (!function) {
            fwprintf(stderr, L"no export %hs\n", call.name);
            return 1;
        }
        wchar_t status[16] = L"";
        LONGLONG total = 0;
        for (int round = -1; round < rounds; ++round) { // round -1 warms up
            Entry* top = nullptr;
            for (int i = 3; i >= 0; --i)
                if (call.arguments[i])
                    Push(&top, call.arguments[i]);
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            function(nullptr, 1024, nullptr, &top, nullptr);
            QueryPerformanceCounter(&end);
            if (round >= 0)
                total += end.QuadPart - start.QuadPart;
            Clear(&top, status);
        }
        wprintf(L"%hs\t%.3f\t%ls\n", call.name, 1000.0 * total / frequency.QuadPart / rounds, status);
    }
    FreeLibrary(plugin);
    CoUninitialize();
    return 0;
}
