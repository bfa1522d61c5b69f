#include <gtest/gtest.h>

#include <windows.h>

#include "to_ansi.h"
#include "unique_holders.h"

namespace {

TEST(ToAnsi, ConvertsToTheAnsiCodePage)
{
    struct {
        const wchar_t* text;
        const char* expected;
    } const cases[] = {
        {L"Intel(R) PRO/1000 MT Desktop Adapter", "Intel(R) PRO/1000 MT Desktop Adapter"},
        {L"", ""},
        {L"a b\tc", "a b\tc"},
    };
    for (const auto& c : cases) {
        unique_process_heap_ptr<char> ansi(ToAnsi(c.text));
        ASSERT_TRUE(ansi) << "no result for " << c.expected;
        EXPECT_STREQ(c.expected, ansi.get());
    }
}

TEST(ToAnsi, NullGivesNull)
{
    EXPECT_EQ(nullptr, ToAnsi(nullptr));
}

TEST(ToAnsi, UnmappableCharacterGetsTheDefaultReplacement)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "ANSI code page is " << GetACP();
    unique_process_heap_ptr<char> ansi(ToAnsi(L"x\x4e2dy\x00e9"));
    ASSERT_TRUE(ansi);
    EXPECT_STREQ("x?y\xe9", ansi.get());
}

TEST(ToAnsi, ResultIsZeroFilledBeyondTheTerminator)
{
    unique_process_heap_ptr<char> ansi(ToAnsi(L"abc"));
    ASSERT_TRUE(ansi);
    SIZE_T size = HeapSize(GetProcessHeap(), 0, ansi.get());
    EXPECT_EQ(5u, size) << "size asked for plus one";
    EXPECT_EQ('\0', ansi.get()[4]);
}

} // namespace
