// The query engine against a simulated WMI.
#include "flavour_text.h"
#include "simulated_wmi.h"
#include "wmi_query.h"

#include <gtest/gtest.h>

namespace {

const std::wstring Cimv2 = L"ROOT\\CIMV2";

class WmiQueryTest : public SimulatedWmiTest {
protected:
    bool Query(const std::string& name_space, const std::string& class_name, const std::string& property,
        const std::string& condition = "")
    {
        return WmiQuery(T(name_space).c_str(), T(class_name).c_str(), T(property).c_str(), T(condition).c_str());
    }
};

TEST_F(WmiQueryTest, ValueToText)
{
    struct Case {
        SimValue value;
        std::string text;
    };
    const Case cases[] = {
        { Empty(), "" },
        { Null(), "" },
        { I2(-5), "-5" },
        { I2(32767), "32767" },
        { I4(-2147483647 - 1), "-2147483648" },
        { I4(1), "1" },
        { Str(L"Microsoft Windows 10 Pro"), "Microsoft Windows 10 Pro" },
        { NullStr(), "" },
        { Str(L"J\u00f6rg \u00dcnal"), "J\u00f6rg \u00dcnal" },
        { Bool(true), "TRUE" },
        { Bool(false), "FALSE" },
        { UI1(200), "200" },
        { UI2(40000), "40000" },
        { UI4(4000000000u), "4000000000" },
        { R8(2.5), "UNHANDLED VARIANT TYPE (5)" },
        { StrArray({ L"a", L"b" }), "UNHANDLED VARIANT TYPE (8200)" },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Value", c.value } } });
        EXPECT_TRUE(Query("CIMV2", "Sample", "Value")) << "type " << c.value.type << ": " << Utf8(ErrorText);
        EXPECT_EQ(c.text, Utf8(ValueText)) << "type " << c.value.type;
    }
}

// Names outside the ANSI code page survive only the Unicode flavours.
TEST_F(WmiQueryTest, TextOutsideTheAnsiCodePage)
{
    Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Value", Str(L"\u0418\u0432\u0430\u043d") } } });
    ASSERT_TRUE(Query("CIMV2", "Sample", "Value"));
    EXPECT_EQ(AnsiFlavour ? std::string("????") : std::string("\u0418\u0432\u0430\u043d"), Utf8(ValueText));
}

TEST_F(WmiQueryTest, LongValueIsCutAtACharacterBoundary)
{
    // 1022 letters, then a character made of a surrogate pair across the limit.
    std::wstring value(1022, L'a');
    value += L"\U0001F600tail";
    Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Value", Str(value) } } });
    ASSERT_TRUE(Query("CIMV2", "Sample", "Value"));
    // In ANSI the whole character may become one replacement character.
    std::string text = Utf8(ValueText);
    if (!AnsiFlavour || text.size() == 1022)
        EXPECT_EQ(std::string(1022, 'a'), text) << "half a surrogate pair was kept";
    else
        EXPECT_EQ(std::string(1022, 'a') + "?", text);

    Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Value", Str(std::wstring(5000, L'b')) } } });
    ASSERT_TRUE(Query("CIMV2", "Sample", "Value"));
    EXPECT_EQ(std::string(1023, 'b'), Utf8(ValueText));
}

TEST_F(WmiQueryTest, FailureMessages)
{
    struct Case {
        const char* step;
        void (*script)();
        std::string message;
    };
    const Case cases[] = {
        { "locator", [] { Sim.create_result = REGDB_E_CLASSNOTREG; },
            "Failed to create IWbemLocator object. Error code = 0x80040154" },
        { "connect", [] { Sim.namespaces.clear(); }, "Could not connect. Error code = 0x8004100e" },
        { "connect denied", [] { Sim.connect_failures[Cimv2] = E_ACCESSDENIED; },
            "Could not connect. Error code = 0x80070005" },
        { "blanket", [] { Sim.blanket_result = E_ACCESSDENIED; },
            "Could not set proxy blanket. Error code = 0x80070005" },
        { "query", [] { Sim.query_result = E_INVALIDARG; }, "Query failed. Error code = 0x80070057" },
        { "get", [] { Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Other", I4(1) } } }); },
            "Unable to find requested value. Error code = 0x80041002" },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        c.script();
        EXPECT_FALSE(Query("CIMV2", "Sample", "Value")) << c.step;
        EXPECT_EQ(c.message, Utf8(ErrorText)) << c.step;
        EXPECT_EQ(0, Sim.live_objects) << c.step;
    }
}

TEST_F(WmiQueryTest, OnlyAMissingNamespaceIsRecordedAsConnectResult)
{
    Sim.namespaces.clear();
    EXPECT_FALSE(Query("SecurityCenter", "AntiVirusProduct", "DisplayName"));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE), ConnectResult);
    Sim.namespaces.insert(Cimv2);
    Sim.query_result = WBEM_E_INVALID_NAMESPACE;
    EXPECT_FALSE(Query("CIMV2", "Sample", "Value"));
    EXPECT_EQ(S_OK, ConnectResult);
}

TEST_F(WmiQueryTest, LastObjectWins)
{
    Sim.Answer(Cimv2, L"SELECT * FROM Sample",
        { { { L"Value", Str(L"first") } }, { { L"Value", Str(L"second") } }, { { L"Value", Str(L"third") } } });
    EXPECT_TRUE(Query("CIMV2", "Sample", "Value"));
    EXPECT_EQ("third", Utf8(ValueText));
    EXPECT_EQ(3u, Sim.gets.size());
}

TEST_F(WmiQueryTest, NoMatchGivesAnEmptyValueAfterAnEarlierText)
{
    Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Value", Str(L"earlier") } } });
    ASSERT_TRUE(Query("CIMV2", "Sample", "Value"));
    ASSERT_EQ("earlier", Utf8(ValueText));
    EXPECT_TRUE(Query("CIMV2", "Nothing", "Value"));
    EXPECT_EQ("", Utf8(ValueText));
}

TEST_F(WmiQueryTest, MissingPropertyFailsOnlyWhenAnObjectMatched)
{
    Sim.Answer(Cimv2, L"SELECT * FROM Sample",
        { { { L"Value", Str(L"one") } }, { { L"Other", Str(L"two") } }, { { L"Value", Str(L"three") } } });
    EXPECT_FALSE(Query("CIMV2", "Sample", "Value"));
    EXPECT_EQ(2u, Sim.gets.size()) << "objects after the failing one were read";
    EXPECT_TRUE(Query("CIMV2", "Nothing", "Missing"));
    EXPECT_EQ("", Utf8(ValueText));
}

TEST_F(WmiQueryTest, FailingNextEndsTheEnumeration)
{
    Sim.end_result = WBEM_E_FAILED;
    Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Value", Str(L"read") } } });
    EXPECT_TRUE(Query("CIMV2", "Sample", "Value"));
    EXPECT_EQ("read", Utf8(ValueText));
}

TEST_F(WmiQueryTest, QueryText)
{
    struct Case {
        std::string name_space, class_name, condition;
        std::wstring recorded;
    };
    const Case cases[] = {
        { "CIMV2", "Win32_Processor", "", L"ROOT\\CIMV2|SELECT * FROM Win32_Processor" },
        { "CIMV2", "Win32_UserAccount", "Name = 'a'", L"ROOT\\CIMV2|SELECT * FROM Win32_UserAccount WHERE Name = 'a'" },
        { "CIMV2", "Win32_Processor", "  ", L"ROOT\\CIMV2|SELECT * FROM Win32_Processor WHERE   " },
        { "", "", "", L"ROOT\\|SELECT * FROM " },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        Sim.namespaces.insert(L"ROOT\\");
        Query(c.name_space, c.class_name, "Value", c.condition);
        ASSERT_EQ(1u, Sim.queries.size());
        EXPECT_EQ(c.recorded, Sim.queries[0]);
    }
}

TEST_F(WmiQueryTest, CallArguments)
{
    Sim.Answer(Cimv2, L"SELECT * FROM Sample", { { { L"Value", I4(7) } } });
    ASSERT_TRUE(Query("CIMV2", "Sample", "Value"));
    EXPECT_EQ(WBEM_FLAG_CONNECT_USE_MAX_WAIT, Sim.connect_flags);
    EXPECT_EQ(L"WQL", Sim.language);
    EXPECT_EQ(WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, Sim.query_flags);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_WINNT), Sim.blanket.authn);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHZ_NONE), Sim.blanket.authz);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_LEVEL_CALL), Sim.blanket.authn_level);
    EXPECT_EQ(static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE), Sim.blanket.imp_level);
    EXPECT_EQ(static_cast<DWORD>(EOAC_NONE), Sim.blanket.capabilities);
    EXPECT_TRUE(Sim.blanket.principal_null);
    EXPECT_TRUE(Sim.blanket.identity_null);
}

} // namespace
