// The built x86_64 plug-ins (Unicode and ANSI), loaded and called as the
// installer engine calls them, against Wine's own WMI.
// Error codes in messages are written in lower-case hexadecimal.
#include "test_stack.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// SYSFACTS_BUILD_DIR is the Linux path of the folder holding <flavour>/SysFacts.dll.
std::wstring PluginPath(const wchar_t* flavour)
{
    std::string dir = SYSFACTS_BUILD_DIR;
    std::wstring path = L"Z:" + std::wstring(dir.begin(), dir.end()) + L"/" + flavour + L"/SysFacts.dll";
    for (auto& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

template <typename Char>
struct Flavour;
template <>
struct Flavour<wchar_t> {
    static constexpr const wchar_t* folder = L"amd64-unicode";
};
template <>
struct Flavour<char> {
    static constexpr const wchar_t* folder = L"amd64-ansi";
};

const char* const ExportNames[] = { "AntiVirus", "CPU", "FireWall", "FullOS", "FullSQLVersion", "OS", "OSVersion",
    "Request", "Request2", "Resolution", "SQLVersion", "ShortUserName", "UserName", "UserSID" };

using Texts = std::vector<std::string>;

template <typename Char>
class PluginDllTest : public testing::Test {
protected:
    using Stack = TestStack<Char>;
    using Export = void(__cdecl*)(HWND, int, Char*, typename Stack::Entry**, void*);

    void SetUp() override
    {
        // The installer engine initialises COM on the threads that call plug-ins.
        CoInitialize(nullptr);
        module_ = LoadLibraryW(PluginPath(Flavour<Char>::folder).c_str());
        ASSERT_NE(nullptr, module_) << "LoadLibrary error " << GetLastError();
    }
    void TearDown() override
    {
        if (module_)
            FreeLibrary(module_);
        CoUninitialize();
    }

    Export Find(const char* name)
    {
        auto function = reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        EXPECT_NE(nullptr, function) << name;
        return function;
    }

    void Call(const char* name, Stack& stack)
    {
        if (Export function = Find(name))
            function(nullptr, stack.string_size(), nullptr, stack.Cell(), nullptr);
    }

    Texts CallOverSentinels(const char* name, const Texts& arguments = {}, int string_size = 1024)
    {
        return ::CallOverSentinels<Char>(name, [this, name](Stack& stack) { Call(name, stack); }, arguments,
            string_size);
    }

    HMODULE module_ = nullptr;
};

using Flavours = testing::Types<wchar_t, char>;
TYPED_TEST_SUITE(PluginDllTest, Flavours);

TYPED_TEST(PluginDllTest, EveryExportLeavesTwoEntries)
{
    for (const char* name : ExportNames) {
        Texts answer = this->CallOverSentinels(name, { "CIMV2", "Win32_OperatingSystem", "Version", "" });
        const size_t arguments = std::string(name) == "Request2" ? 0
            : std::string(name) == "Request"                     ? 1
            : std::string(name) == "UserSID"                     ? 3
                                                                 : 4;
        ASSERT_EQ(2 + arguments, answer.size()) << name;
        EXPECT_TRUE(answer[0] == "ok" || answer[0] == "error") << name << ": " << answer[0];
    }
}

// Wine answers these from its own tables.
TYPED_TEST(PluginDllTest, RealWmiAnswers)
{
    for (const char* name : { "OS", "OSVersion", "CPU", "FullOS", "UserName", "ShortUserName" }) {
        Texts answer = this->CallOverSentinels(name);
        ASSERT_EQ(2u, answer.size()) << name;
        EXPECT_EQ("ok", answer[0]) << name << ": " << answer[1];
        EXPECT_NE("", answer[1]) << name;
    }
    Texts os = this->CallOverSentinels("OS");
    EXPECT_EQ(os, this->CallOverSentinels("Request", { "CIMV2", "Win32_OperatingSystem", "Caption" }));
    EXPECT_EQ(os, this->CallOverSentinels("Request2", { "CIMV2", "Win32_OperatingSystem", "Caption", "" }));
    Texts full = this->CallOverSentinels("FullOS");
    EXPECT_EQ(0u, full[1].find(os[1] + " version : ")) << full[1];
}

// Wine has neither SecurityCenter nor SecurityCenter2, nor SQL Server.
TYPED_TEST(PluginDllTest, MissingNamespacesAnswerTheConnectError)
{
    for (const char* name : { "AntiVirus", "FireWall", "SQLVersion", "FullSQLVersion" })
        EXPECT_EQ((Texts { "error", "Could not connect. Error code = 0x8004100e" }), this->CallOverSentinels(name))
            << name;
}

TYPED_TEST(PluginDllTest, TextsAreCutToTheStringSize)
{
    Texts os = this->CallOverSentinels("OS");
    ASSERT_GE(os[1].size(), 7u);
    EXPECT_EQ((Texts { "ok", os[1].substr(0, 7) }), this->CallOverSentinels("OS", {}, 8));
    EXPECT_EQ((Texts { "er", "Co" }), this->CallOverSentinels("AntiVirus", {}, 3));
}

TYPED_TEST(PluginDllTest, NullStack)
{
    for (const char* name : ExportNames)
        if (auto function = this->Find(name))
            function(nullptr, 1024, nullptr, nullptr, nullptr);
}

TYPED_TEST(PluginDllTest, LargeStringSizeWithLongArguments)
{
    std::string long_condition = "Caption = '" + std::string(3000, 'x') + "'";
    EXPECT_EQ((Texts { "ok", "" }),
        this->CallOverSentinels("Request2", { "CIMV2", "Win32_OperatingSystem", "Caption", long_condition }, 8192));
    std::string long_name(3000, 'n');
    EXPECT_EQ((Texts { "ok", "" }), this->CallOverSentinels("UserSID", { long_name }, 8192));
}

} // namespace
