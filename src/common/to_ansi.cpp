#include <windows.h>

#include "to_ansi.h"

char* ToAnsi(const wchar_t* text)
{
    if (!text)
        return nullptr;
    int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size == 0)
        return nullptr;
    auto* ansi = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size + 1));
    if (!ansi)
        return nullptr;
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, size, nullptr, nullptr) == 0) {
        HeapFree(GetProcessHeap(), 0, ansi);
        return nullptr;
    }
    return ansi;
}
