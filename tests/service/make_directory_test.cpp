// MakeDirectory and its long-path second attempt, on Wine's file system.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "capture_stdout.h"
#include "make_directory.h"

namespace {

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string Replace(std::string text, char from, char to)
{
    for (char& c : text) {
        if (c == from)
            c = to;
    }
    return text;
}

// Each test works in a fresh folder that is also the current directory.
class MakeDirectoryTest : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        GetTempFileNameA(temp, "mkd", 0, name);
        DeleteFileA(name);
        base_ = name;
        ASSERT_TRUE(CreateDirectoryA(base_.c_str(), nullptr)) << base_;
        GetCurrentDirectoryA(MAX_PATH, saved_);
        ASSERT_TRUE(SetCurrentDirectoryA(base_.c_str()));
        CreateDirectoryA((base_ + "\\existing").c_str(), nullptr);
    }
    void TearDown() override { SetCurrentDirectoryA(saved_); }

    std::string base_;
    char saved_[MAX_PATH];
};

struct DirectoryCase {
    const char* what;
    int (*make)(const char*);
    std::string path;
    int result;
    std::string output;
    std::string created; // a folder that must exist afterwards, or ""
};

void RunCases(const DirectoryCase* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const DirectoryCase& c = cases[i];
        int result = -1;
        std::string output = CaptureStdout([&] { result = c.make(c.path.c_str()); });
        EXPECT_EQ(c.result, result) << c.what << ": " << c.path;
        EXPECT_EQ(c.output, output) << c.what << ": " << c.path;
        if (!c.created.empty()) {
            EXPECT_TRUE(IsDirectory(c.created)) << c.what << ": " << c.created;
        }
    }
}

TEST_F(MakeDirectoryTest, FirstAttempt)
{
    const std::string longName(120, 'n');
    const std::string longPath = base_ + "\\" + longName + "\\" + longName + "\\" + longName;
    const DirectoryCase cases[] = {
        {"empty path", MakeDirectory, "", 1, "", ""},
        {"new absolute", MakeDirectory, base_ + "\\fresh", TRUE, "", base_ + "\\fresh"},
        {"new relative", MakeDirectory, "existing/child", TRUE, "", base_ + "\\existing\\child"},
        {"existing: quiet, no second attempt", MakeDirectory, base_ + "\\existing", 0, "", ""},
        {"existing relative", MakeDirectory, "existing", 0, "", ""},
        {"UTF-8 name", MakeDirectory, "K\xC3\xA4se", TRUE, "", ""},
        {"missing parent: second attempt and its line", MakeDirectory, base_ + "\\missing\\child", 0,
            "crdL2(\\\\?\\" + base_ + "\\missing\\child) failed with 3\r\n", ""},
        {"missing parent, relative", MakeDirectory, "missing/deeper/child", 0,
            "crdL2(\\\\?\\" + base_ + "\\missing\\deeper\\child) failed with 3\r\n", ""},
        {"long name", MakeDirectory, base_ + "\\" + longName, TRUE, "", base_ + "\\" + longName},
    };
    RunCases(cases, ARRAYSIZE(cases));

    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, base_.c_str(), -1, wide, MAX_PATH);
    DWORD attributes = GetFileAttributesW((std::wstring(wide) + L"\\K\u00e4se").c_str());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, attributes) << "the UTF-8 name is read as UTF-8";

    // Longer than MAX_PATH: created one way or the other.
    std::string created = CaptureStdout([&] {
        EXPECT_NE(0, MakeDirectory((base_ + "\\" + longName + "\\" + longName).c_str()));
        EXPECT_NE(0, MakeDirectory(longPath.c_str()));
    });
    EXPECT_EQ("", created);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((L"\\\\?\\" + std::wstring(wide) + L"\\"
        + std::wstring(120, L'n') + L"\\" + std::wstring(120, L'n') + L"\\" + std::wstring(120, L'n')).c_str()));
}

TEST_F(MakeDirectoryTest, LongPathForm)
{
    const DirectoryCase cases[] = {
        {"drive root", MakeDirectoryLong, "C:", 1, "", ""},
        {"drive root with backslash", MakeDirectoryLong, "C:\\", 1, "", ""},
        {"absolute", MakeDirectoryLong, base_ + "\\long", 1, "", base_ + "\\long"},
        {"absolute with slashes", MakeDirectoryLong, Replace(base_, '\\', '/') + "/long/inner", 1, "",
            base_ + "\\long\\inner"},
        {"relative joined to the current directory", MakeDirectoryLong, "existing/a", 1, "",
            base_ + "\\existing\\a"},
        {"existing: quiet", MakeDirectoryLong, "existing", 0, "", ""},
        {"missing parent", MakeDirectoryLong, "none/x", 0,
            "crdL2(\\\\?\\" + base_ + "\\none\\x) failed with 3\r\n", ""},
    };
    RunCases(cases, ARRAYSIZE(cases));
}

// A drive root as current directory already ends in a backslash, so two
// stand together at the join.
TEST_F(MakeDirectoryTest, RelativeToDriveRoot)
{
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    int result = -1;
    std::string output = CaptureStdout([&] { result = MakeDirectoryLong("kit-missing/child"); });
    EXPECT_EQ(0, result);
    EXPECT_EQ(0u, output.find("crdL2(\\\\?\\C:\\\\kit-missing\\child) failed with ")) << output;
}

} // namespace
