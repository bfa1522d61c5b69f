// PrintLine and PrintLineW must print as the Microsoft run time does on
// Windows, in the 64-bit build as in the 32-bit one.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "capture_stdout.h"
#include "print.h"

namespace {

struct PrintCase {
    const char* what;
    std::function<void()> print;
    const char* expected;
};

TEST(PrintLine, ConversionsReadAsOnWindows)
{
    const PrintCase cases[] = {
        {"%S wide string", [] { PrintLine("VBoxVersion: %S\n", L"7.0.14"); }, "VBoxVersion: 7.0.14\r\n"},
        {"%wS wide string", [] { PrintLine("\tDNS Suffix: %wS\n", L"lan"); }, "\tDNS Suffix: lan\r\n"},
        {"%S null", [] { PrintLine("ExtPack Name: %S\n", static_cast<const wchar_t*>(nullptr)); }, "ExtPack Name: (null)\r\n"},
        {"%s null", [] { PrintLine("Bridged to: %s\n", static_cast<const char*>(nullptr)); }, "Bridged to: (null)\r\n"},
        {"%s ansi", [] { PrintLine("\tAdapter name: %s\n", "{8E0B}"); }, "\tAdapter name: {8E0B}\r\n"},
        {"%x failure code", [] { PrintLine("rc = 0x%x\n", 0x80bb0007u); }, "rc = 0x80bb0007\r\n"},
        {"%x zero", [] { PrintLine("rc = 0x%x\n", 0u); }, "rc = 0x0\r\n"},
        {"%i negative", [] { PrintLine("err=%i\n", static_cast<int>(0x80bb0007u)); }, "err=-2135228409\r\n"},
        {"%d", [] { PrintLine("%d\n", 232); }, "232\r\n"},
        {"%ld negative", [] { PrintLine("%ld\n", -5L); }, "-5\r\n"},
        {"%lu max", [] { PrintLine("%lu\n", 4294967295UL); }, "4294967295\r\n"},
        {"%u", [] { PrintLine("%u\n", 7u); }, "7\r\n"},
        {"%I64u max", [] { PrintLine("%I64u\n", 18446744073709551615ULL); }, "18446744073709551615\r\n"},
        {"%I64u then %d", [] { PrintLine("%I64u %d\n", 1000000000ULL, 3); }, "1000000000 3\r\n"},
        {"%.2X byte", [] { PrintLine("%.2X-", 0x0au); }, "0A-"},
        {"%lx zone", [] { PrintLine("%lx ", 0x1fUL); }, "1f "},
        {"no line end added", [] { PrintLine("\tError: %s", "text"); }, "\tError: text"},
    };
    for (const auto& c : cases) {
        std::string out = CaptureStdout(c.print);
        EXPECT_EQ(c.expected, out) << c.what;
    }
}

TEST(PrintLineW, WideFormatsTakeWideStrings)
{
    const PrintCase cases[] = {
        {"%ws", [] { PrintLineW(L"ServiceStart=%ws\n", L"cmd /c echo"); }, "ServiceStart=cmd /c echo\r\n"},
        {"%s", [] { PrintLineW(L"crdL2(%s) failed with %i\n", L"\\\\?\\C:\\x", 3); }, "crdL2(\\\\?\\C:\\x) failed with 3\r\n"},
        {"empty value", [] { PrintLineW(L"ServiceStart=%ws\n", L""); }, "ServiceStart=\r\n"},
        {"plain", [] { PrintLineW(L"STOP\n"); }, "STOP\r\n"},
    };
    for (const auto& c : cases) {
        std::string out = CaptureStdout(c.print);
        EXPECT_EQ(c.expected, out) << c.what;
    }
}

} // namespace
