#include "capture_stdout.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/stat.h>
#include <windows.h>

#include <gtest/gtest.h>

std::string CaptureStdout(const std::function<void()>& action)
{
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "out", 0, path);

    fflush(stdout);
    int saved = _dup(_fileno(stdout));
    int file = _open(path, _O_WRONLY | _O_TRUNC | _O_TEXT, _S_IREAD | _S_IWRITE);
    EXPECT_GE(file, 0) << "cannot open " << path;
    _dup2(file, _fileno(stdout));
    _close(file);

    action();

    fflush(stdout);
    _dup2(saved, _fileno(stdout));
    _close(saved);

    std::string bytes;
    if (FILE* in = fopen(path, "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
            bytes.append(buffer, n);
        fclose(in);
    }
    DeleteFileA(path);
    return bytes;
}
