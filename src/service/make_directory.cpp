#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "make_directory.h"
#include "print.h"
#include "unique_holders.h"

namespace {

// Also the limit on a path's length, the long-path prefix included.
constexpr DWORD WorkingBufferLength = 65000;

unique_process_heap_ptr<wchar_t> NewWorkingBuffer()
{
    return unique_process_heap_ptr<wchar_t>(static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, WorkingBufferLength * sizeof(wchar_t))));
}

// Converts the UTF-8 path into buffer[0..room-1), leaving the last one zero.
int ConvertPath(const char* path, wchar_t* buffer, DWORD room)
{
    if (room < 2)
        return 0;
    return MultiByteToWideChar(CP_UTF8, 0, path, static_cast<int>(strlen(path)), buffer,
        static_cast<int>(room - 1));
}

} // namespace

int MakeDirectory(const char* path)
{
    if (*path == 0)
        return 1;
    auto buffer = NewWorkingBuffer();
    if (!buffer)
        return 0;
    if (ConvertPath(path, buffer.get(), WorkingBufferLength) == 0)
        return 0;
    BOOL created = CreateDirectoryW(buffer.get(), nullptr);
    if (created)
        return created;
    switch (GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_BAD_PATHNAME:
    case ERROR_ACCESS_DENIED:
        return 0;
    default:
        return MakeDirectoryLong(path);
    }
}

int MakeDirectoryLong(const char* path)
{
    auto holder = NewWorkingBuffer();
    if (!holder)
        return 0;
    wchar_t* buffer = holder.get();
    lstrcpyW(buffer, L"\\\\?\\");
    DWORD used = lstrlenW(buffer);

    if (strchr(path, ':')) {
        if (strlen(path) <= 3)
            return 1; // a drive root: nothing to create
    } else {
        DWORD room = WorkingBufferLength - used;
        DWORD length = GetCurrentDirectoryW(room, buffer + used);
        if (length == 0 || length >= room - 1)
            return 0;
        used += length;
        buffer[used++] = L'\\';
    }

    if (ConvertPath(path, buffer + used, WorkingBufferLength - used) == 0) {
        PrintLine("MBTWC3 error=%i\n", static_cast<int>(GetLastError()));
        return 0;
    }
    for (wchar_t* c = buffer; *c; ++c) {
        if (*c == L'/')
            *c = L'\\';
    }

    if (CreateDirectoryW(buffer, nullptr))
        return 1;
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) {
        PrintLineW(L"crdL2(%s) failed with %i\n", buffer, static_cast<int>(error));
        fflush(stdout);
    }
    return 0;
}
