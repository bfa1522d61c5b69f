// ReadRegistryString against Wine's registry, in the test's own prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "registry_string.h"
#include "unique_holders.h"

namespace {

const wchar_t InstallerKeyPath[] = L"Software\\Kestal\\crm-ks-installer";

std::wstring Read(const wchar_t* name)
{
    unique_process_heap_ptr<wchar_t> value(ReadRegistryString(name));
    return value ? std::wstring(value.get()) : std::wstring(L"(null)");
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

void ForgetInstallerKey()
{
    if (InstallerKey)
        RegCloseKey(InstallerKey);
    InstallerKey = nullptr;
}

TEST(ReadRegistryString, MissingKeyIsCreatedAndReadsEmpty)
{
    ForgetInstallerKey();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, InstallerKeyPath);

    EXPECT_EQ("", Narrow(Read(L"ServiceStart")));
    EXPECT_NE(nullptr, InstallerKey);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, InstallerKeyPath, 0, KEY_READ, &key));
    if (key)
        RegCloseKey(key);
}

struct ValueCase {
    const char* what;
    const wchar_t* name;
    DWORD type;
    const void* data;
    DWORD size; // bytes stored; 0 with no data: the value is not written
    const wchar_t* expected;
};

TEST(ReadRegistryString, ReadsOnlyStringValues)
{
    const wchar_t command[] = L"cmd /c echo started> C:\\markers\\start.txt";
    const wchar_t expandable[] = L"%SystemRoot%\\system32\\cmd.exe";
    const wchar_t multi[] = L"one\0two\0";
    const DWORD number = 42;
    const ValueCase cases[] = {
        {"missing value", L"NoSuchValue", REG_NONE, nullptr, 0, L""},
        {"REG_SZ", L"ServiceStart", REG_SZ, command, sizeof command, command},
        {"empty REG_SZ", L"ServiceStop", REG_SZ, L"", sizeof(wchar_t), L""},
        {"REG_SZ without its terminator", L"NoNull", REG_SZ, L"nonullX", 12, L"nonull"},
        {"REG_EXPAND_SZ reads as empty", L"Expand", REG_EXPAND_SZ, expandable, sizeof expandable, L""},
        {"REG_MULTI_SZ reads as empty", L"Multi", REG_MULTI_SZ, multi, sizeof multi, L""},
        {"REG_DWORD reads as empty", L"Number", REG_DWORD, &number, sizeof number, L""},
    };

    ForgetInstallerKey();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, InstallerKeyPath, 0, nullptr, 0,
        KEY_ALL_ACCESS, nullptr, &key, nullptr));
    for (const auto& c : cases) {
        if (c.size) {
            ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, c.name, 0, c.type,
                static_cast<const BYTE*>(c.data), c.size)) << c.what;
        }
    }
    RegCloseKey(key);

    for (const auto& c : cases)
        EXPECT_EQ(Narrow(c.expected), Narrow(Read(c.name))) << c.what;
}

TEST(ReadRegistryString, SeesChangesThroughTheCachedKey)
{
    ForgetInstallerKey();
    EXPECT_EQ("", Narrow(Read(L"Changing")));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, InstallerKeyPath, 0, KEY_SET_VALUE, &key));
    const wchar_t longer[] = L"a value longer than the first read";
    RegSetValueExW(key, L"Changing", 0, REG_SZ, reinterpret_cast<const BYTE*>(longer), sizeof longer);
    RegCloseKey(key);
    EXPECT_EQ(Narrow(longer), Narrow(Read(L"Changing")));
}

} // namespace
