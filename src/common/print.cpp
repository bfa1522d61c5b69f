// Only C headers here: <windows.h> pulls in libstdc++'s configuration, which
// switches stdio over to mingw's own printf (no "%wS", other wide "%s").
#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>

#include "print.h"

#if __USE_MINGW_ANSI_STDIO
#error "PrintLine must use the Microsoft run time's printf"
#endif

int PrintLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int written = vprintf(format, args);
    va_end(args);
    return written;
}

int PrintLineW(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int written = vwprintf(format, args);
    va_end(args);
    return written;
}
