// The log file's name and its time stamp.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "service_log.h"

namespace {

std::string LocalStamp()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    wsprintfA(text, "%04u-%02u-%02u_%02u-%02u-%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

TEST(ServiceLog, FileNameForm)
{
    struct {
        const char* stamp;
        const char* expected;
    } const cases[] = {
        {"2024-07-03_14-05-09", "log//2024-07-03_14-05-09_svc.log"},
        {"", "log//_svc.log"},
    };
    for (const auto& c : cases) {
        char name[100];
        FormatLogFileName(name, sizeof name, c.stamp);
        EXPECT_STREQ(c.expected, name) << "stamp " << c.stamp;
    }
}

TEST(ServiceLog, FileNameIsBounded)
{
    const std::string stamp(200, '9');
    char name[100];
    memset(name, 'x', sizeof name);
    FormatLogFileName(name, sizeof name, stamp.c_str());
    EXPECT_EQ(99u, strlen(name));
    EXPECT_EQ(0, strncmp(name, "log//999", 8)) << name;
}

TEST(ServiceLog, TimestampIsLocalTime)
{
    std::string before = LocalStamp();
    std::string stamp = TimestampText("%Y-%m-%d_%H-%M-%S");
    std::string after = LocalStamp();
    EXPECT_EQ(19u, stamp.size()) << stamp;
    EXPECT_TRUE(stamp == before || stamp == after) << stamp << " not within " << before << " .. " << after;
}

TEST(ServiceLog, TimestampSharesOneBuffer)
{
    const char* first = TimestampText("%Y");
    const char* second = TimestampText("%H-%M");
    EXPECT_EQ(first, second);
    EXPECT_EQ(5u, strlen(second)) << second;
}

} // namespace
