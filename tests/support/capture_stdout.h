// Captures what a piece of code writes to the C run time's standard output.
#pragma once

#include <functional>
#include <string>

// Runs `action` with standard output (descriptor 1) sent to a temporary file
// and returns the bytes it wrote, text-mode line ends included ("\r\n").
std::string CaptureStdout(const std::function<void()>& action);
