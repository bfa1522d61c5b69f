// Formatted output to standard output through the Microsoft C run time,
// so that "%S", "%wS", "%I64u" and "(null)" read as on Windows.
#pragma once

#include <wchar.h>

// printf to standard output; no line end added, no flush.
int PrintLine(const char* format, ...);

// wprintf to standard output; "%s" and "%ws" take wide strings.
int PrintLineW(const wchar_t* format, ...);
