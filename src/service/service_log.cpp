#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <stdio.h>
#include <time.h>

#include <initializer_list>

#include "make_directory.h"
#include "service_log.h"

namespace {

// A service started without standard handles has a standard output stream
// with no descriptor (-2), and Wine's run time will not reopen such a stream.
// Giving it the null device first makes freopen work there as on Windows.
void GiveStandardOutputADescriptor()
{
    if (_fileno(stdout) >= 0)
        return;
    int device = _open("NUL", _O_WRONLY | _O_TEXT);
    if (device < 0)
        return;
    if (device != 1) {
        _dup2(device, 1);
        _close(device);
    }
    stdout->_file = 1;
}

} // namespace

const char* TimestampText(const char* format)
{
    static char text[80];
    __time64_t now = _time64(nullptr);
    struct tm* parts = _localtime64(&now);
    if (!parts)
        parts = _gmtime64(&now);
    if (!parts || strftime(text, sizeof text, format, parts) == 0)
        text[0] = 0;
    return text;
}

void FormatLogFileName(char* name, size_t size, const char* stamp)
{
    _snprintf(name, size - 1, "log//%s_%s.log", stamp, "svc");
    name[size - 1] = 0;
}

LogOutcome OpenServiceLog()
{
    char path[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return FolderUnavailable;
    for (const char* component : {"\\Kestal", "\\VmKestal", "\\1.0"}) {
        PathAppendA(path, component);
        MakeDirectory(path);
    }
    SetCurrentDirectoryA(path);
    MakeDirectory("log");

    char name[100];
    FormatLogFileName(name, sizeof name, TimestampText("%Y-%m-%d_%H-%M-%S"));
    GiveStandardOutputADescriptor();
    return freopen(name, "a", stdout) ? LogOpen : LogNotOpen;
}
