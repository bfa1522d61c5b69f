// The exports against a simulated WMI, on a stack fabricated as the host makes it.
#include "exports.h"
#include "flavour_text.h"
#include "simulated_wmi.h"
#include "wmi_query.h"

#include <gtest/gtest.h>

namespace {

using Stack = TestStack<StackChar>;
using Export = void(__cdecl*)(HWND, int, StackChar*, StackEntry**, void*);
using Texts = std::vector<std::string>;

const std::wstring Cimv2 = L"ROOT\\CIMV2";
const std::wstring SqlPath = L"ROOT\\Microsoft\\SqlServer\\ComputerManagement";
const std::wstring SqlVersion = L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'VERSION'";
const std::wstring SqlLevel = L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'SPLEVEL'";
const std::wstring SqlEdition = L"SELECT * FROM SqlServiceAdvancedProperty WHERE SQLServiceType = 1 AND PropertyName = 'SKUNAME'";
const std::string MissingNamespace = "Could not connect. Error code = 0x8004100e";
const std::string MissingProperty = "Unable to find requested value. Error code = 0x80041002";

void Call(Export function, Stack& stack)
{
    function(nullptr, stack.string_size(), nullptr, reinterpret_cast<StackEntry**>(stack.Cell()), nullptr);
}

SimObject One(const std::wstring& property, const SimValue& value)
{
    return SimObject { { property, value } };
}

class ExportsTest : public SimulatedWmiTest {
protected:
    Texts CallOverSentinels(Export function, const Texts& arguments = {}, int string_size = 1024)
    {
        return ::CallOverSentinels<StackChar>("export", [function](Stack& stack) { Call(function, stack); }, arguments,
            string_size);
    }

    void ScriptOs(const SimValue& caption, const SimValue& version, const SimValue& major, const SimValue& minor)
    {
        const std::pair<const wchar_t*, SimValue> properties[] = {
            { L"Caption", caption }, { L"Version", version },
            { L"ServicePackMajorVersion", major }, { L"ServicePackMinorVersion", minor },
        };
        SimObject os;
        for (const auto& property : properties)
            if (property.second.type != VT_ILLEGAL)
                os[property.first] = property.second;
        Sim.Answer(Cimv2, L"SELECT * FROM Win32_OperatingSystem", { os });
    }

    void ScriptSql(const std::wstring& path, const SimValue& version, const SimValue& level, const SimValue& edition)
    {
        const std::pair<std::wstring, SimValue> answers[] = {
            { SqlVersion, version }, { SqlLevel, level }, { SqlEdition, edition } };
        for (const auto& answer : answers) {
            if (answer.second.type == VT_ILLEGAL)
                Sim.Answer(path, answer.first, { One(L"Other", Str(L"x")) });
            else
                Sim.Answer(path, answer.first, { One(L"PropertyStrValue", answer.second) });
        }
    }
};

// A value that the script leaves out: its query finds no such property.
SimValue Missing()
{
    SimValue value;
    value.type = VT_ILLEGAL;
    return value;
}

TEST_F(ExportsTest, SingleQueryExports)
{
    struct Case {
        const char* name;
        Export function;
        std::wstring path, query;
    };
    const Case cases[] = {
        { "AntiVirus", AntiVirus, L"ROOT\\SecurityCenter", L"SELECT * FROM AntiVirusProduct" },
        { "CPU", CPU, Cimv2, L"SELECT * FROM Win32_Processor" },
        { "FireWall", FireWall, L"ROOT\\SecurityCenter", L"SELECT * FROM FirewallProduct" },
        { "OS", OS, Cimv2, L"SELECT * FROM Win32_OperatingSystem" },
        { "OSVersion", OSVersion, Cimv2, L"SELECT * FROM Win32_OperatingSystem" },
        { "SQLVersion", SQLVersion, SqlPath, SqlVersion },
        { "UserName", UserName, Cimv2, L"SELECT * FROM Win32_ComputerSystem" },
    };
    const wchar_t* properties[] = { L"DisplayName", L"Caption", L"Version", L"PropertyStrValue", L"UserName" };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        SimObject object;
        for (const wchar_t* property : properties)
            object[property] = Str(std::wstring(L"answer of ") + property);
        Sim.Answer(c.path, c.query, { object });
        Texts answer = CallOverSentinels(c.function);
        ASSERT_EQ(2u, answer.size()) << c.name;
        EXPECT_EQ("ok", answer[0]) << c.name << ": " << answer[1];
        EXPECT_EQ(0u, answer[1].find("answer of ")) << c.name << ": " << answer[1];
        EXPECT_EQ((std::vector<std::wstring> { c.path + L"|" + c.query }), Sim.queries) << c.name;
    }
    InstallSimulatedWmi();
    Sim.Answer(Cimv2, L"SELECT * FROM Win32_OperatingSystem", { One(L"Caption", Str(L"W")), });
    EXPECT_EQ((Texts { "error", MissingProperty }), CallOverSentinels(OSVersion));
}

TEST_F(ExportsTest, RequestTakesNamespaceClassAndProperty)
{
    Sim.Answer(Cimv2, L"SELECT * FROM Win32_OperatingSystem", { One(L"Caption", Str(L"Windows")) });
    EXPECT_EQ((Texts { "ok", "Windows" }),
        CallOverSentinels(Request, { "CIMV2", "Win32_OperatingSystem", "Caption" }));
    EXPECT_EQ((Texts { "ok", "Windows" }), CallOverSentinels(OS));
    EXPECT_EQ((Texts { "ok", "Windows" }),
        CallOverSentinels(Request2, { "CIMV2", "Win32_OperatingSystem", "Caption", "" }));
    EXPECT_EQ(std::wstring(L"ROOT\\CIMV2|SELECT * FROM Win32_OperatingSystem"), Sim.queries.back());

    Sim.Answer(Cimv2, L"SELECT * FROM Win32_Service WHERE Name = 'Spooler'", { One(L"State", Str(L"Running")) });
    EXPECT_EQ((Texts { "ok", "Running" }),
        CallOverSentinels(Request2, { "CIMV2", "Win32_Service", "State", "Name = 'Spooler'" }));
}

TEST_F(ExportsTest, MissingArgumentsAreEmpty)
{
    Sim.namespaces.insert(L"ROOT\\");
    struct Case {
        const char* name;
        Export function;
        Texts arguments;
        std::wstring query;
    };
    const Case cases[] = {
        { "Request, namespace only", Request, { "CIMV2" }, L"ROOT\\CIMV2|SELECT * FROM " },
        { "Request2, no condition", Request2, { "CIMV2", "Sample", "Value" }, L"ROOT\\CIMV2|SELECT * FROM Sample" },
        { "UserSID, no name", UserSID, {}, L"ROOT\\CIMV2|SELECT * FROM Win32_UserAccount WHERE Name = ''" },
    };
    for (const Case& c : cases) {
        Stack stack;
        for (auto argument = c.arguments.rbegin(); argument != c.arguments.rend(); ++argument)
            stack.Push(*argument);
        Sim.queries.clear();
        Call(c.function, stack);
        EXPECT_EQ((Texts { "ok", "" }), stack.Texts()) << c.name;
        EXPECT_EQ(std::vector<std::wstring> { c.query }, Sim.queries) << c.name;
    }
}

TEST_F(ExportsTest, UserSidEscapesTheName)
{
    struct Case {
        std::string name;
        std::wstring condition;
    };
    const Case cases[] = {
        { "Administrator", L"Name = 'Administrator'" },
        { "O'Brien", L"Name = 'O\\'Brien'" },
        { "back\\slash", L"Name = 'back\\\\slash'" },
        { "x' OR Name LIKE '%", L"Name = 'x\\' OR Name LIKE \\'%'" },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        std::wstring query = L"SELECT * FROM Win32_UserAccount WHERE " + c.condition;
        Sim.Answer(Cimv2, query, { One(L"SID", Str(L"S-1-5-21-1-2-3-500")) });
        EXPECT_EQ((Texts { "ok", "S-1-5-21-1-2-3-500" }), CallOverSentinels(UserSID, { c.name })) << c.name;
        EXPECT_EQ(std::vector<std::wstring> { Cimv2 + L"|" + query }, Sim.queries) << c.name;
    }
}

TEST_F(ExportsTest, TextsAreCutToTheStringSize)
{
    Sim.Answer(Cimv2, L"SELECT * FROM Win32_OperatingSystem", { One(L"Caption", Str(L"ABCDEFGHIJKLMNOPQRST")) });
    EXPECT_EQ((Texts { "ok", "ABCDEFG" }), CallOverSentinels(OS, {}, 8));
    Sim.namespaces.clear();
    EXPECT_EQ((Texts { "er", "Co" }), CallOverSentinels(CPU, {}, 3));
}

TEST_F(ExportsTest, LargeStringSizeTakesLongArgumentsWhole)
{
    const int large = 8192;
    std::string long_class(3000, 'C');
    std::string long_condition = "Name = '" + std::string(3000, 'n') + "'";
    std::wstring query = L"SELECT * FROM " + std::wstring(3000, L'C') + L" WHERE Name = '" + std::wstring(3000, L'n') + L"'";
    Sim.Answer(Cimv2, query, { One(L"Value", Str(std::wstring(1500, L'v'))) });

    Stack stack(large);
    stack.Push("below");
    stack.Push(long_condition);
    stack.Push("Value");
    stack.Push(long_class);
    stack.Push("CIMV2");
    Call(Request2, stack);
    EXPECT_EQ(std::vector<std::wstring> { Cimv2 + L"|" + query }, Sim.queries);
    EXPECT_EQ((Texts { "ok", std::string(1023, 'v'), "below" }), stack.Texts());
    for (Stack::Entry* entry : stack.Entries())
        EXPECT_GE(GlobalSize(entry), sizeof(void*) + large * sizeof(StackChar)) << "an entry smaller than the host's";

    // Every character of this name is escaped, doubling its length.
    Stack user(large);
    user.Push(std::string(2000, '\''));
    Sim.queries.clear();
    Call(UserSID, user);
    std::wstring escaped;
    for (int i = 0; i < 2000; ++i)
        escaped += L"\\'";
    EXPECT_EQ(std::vector<std::wstring> { L"ROOT\\CIMV2|SELECT * FROM Win32_UserAccount WHERE Name = '" + escaped + L"'" },
        Sim.queries);
    EXPECT_EQ((Texts { "ok", "" }), user.Texts());
}

TEST_F(ExportsTest, NullStackPushesNothing)
{
    ScriptOs(Str(L"Windows"), Str(L"10.0"), I4(0), I4(0));
    const Export exports[] = { AntiVirus, CPU, FireWall, FullOS, FullSQLVersion, OS, OSVersion, Request, Request2,
        Resolution, SQLVersion, ShortUserName, UserName, UserSID };
    for (Export function : exports)
        function(nullptr, 1024, nullptr, nullptr, nullptr);
    Sim.queries.clear();
    FullOS(nullptr, 1024, nullptr, nullptr, nullptr);
    EXPECT_EQ(1u, Sim.queries.size()) << "a composite export without a stack ends at its first query";
}

TEST_F(ExportsTest, FullOs)
{
    struct Case {
        SimValue major, minor;
        std::string ending;
    };
    const Case cases[] = {
        { Null(), Null(), "" },
        { Null(), I4(3), "" },
        { I4(0), I4(0), " service pack : 0.0" },
        { I4(2), Null(), " service pack : 2.0" },
        { I4(1), I4(2), " service pack : 1.2" },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        ScriptOs(Str(L"Microsoft Windows 7 Professional"), Str(L"6.1.7601"), c.major, c.minor);
        EXPECT_EQ((Texts { "ok", "Microsoft Windows 7 Professional version : 6.1.7601" + c.ending }),
            CallOverSentinels(FullOS));
    }
    InstallSimulatedWmi();
    ScriptOs(Str(L"Windows"), Missing(), I4(1), I4(0));
    EXPECT_EQ((Texts { "error", MissingProperty }), CallOverSentinels(FullOS));
    EXPECT_EQ(2u, Sim.queries.size()) << "the queries after the failing one ran";
}

TEST_F(ExportsTest, Resolution)
{
    struct Case {
        SimValue width, height;
        Texts answer;
        size_t queries;
    };
    const Case cases[] = {
        { UI4(1920), UI4(1080), { "ok", "1920x1080" }, 2 },
        { Null(), UI4(1080), { "ok", "Unknown" }, 1 },
        { UI4(1920), Null(), { "ok", "1920x" }, 2 },
        { Missing(), UI4(1080), { "error", MissingProperty }, 1 },
        { UI4(1920), Missing(), { "error", MissingProperty }, 2 },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        SimObject monitor;
        if (c.width.type != VT_ILLEGAL)
            monitor[L"ScreenWidth"] = c.width;
        if (c.height.type != VT_ILLEGAL)
            monitor[L"ScreenHeight"] = c.height;
        Sim.Answer(Cimv2, L"SELECT * FROM Win32_DesktopMonitor", { monitor });
        EXPECT_EQ(c.answer, CallOverSentinels(Resolution)) << c.answer[1];
        EXPECT_EQ(c.queries, Sim.queries.size()) << c.answer[1];
    }
}

TEST_F(ExportsTest, ShortUserName)
{
    struct Case {
        std::wstring user;
        std::string answer;
    };
    const Case cases[] = {
        { L"WORKGROUP\\alice", "alice" },
        { L"DOM\\sub\\name", "sub\\name" },
        { L"alice", "alice" },
        { L"", "" },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        Sim.Answer(Cimv2, L"SELECT * FROM Win32_ComputerSystem", { One(L"UserName", Str(c.user)) });
        EXPECT_EQ((Texts { "ok", c.answer }), CallOverSentinels(ShortUserName));
    }
    InstallSimulatedWmi();
    Sim.query_result = E_ACCESSDENIED;
    EXPECT_EQ((Texts { "error", "Query failed. Error code = 0x80070005" }), CallOverSentinels(ShortUserName));
}

TEST_F(ExportsTest, FullSqlVersion)
{
    struct Case {
        SimValue version, level, edition;
        Texts answer;
    };
    const Case cases[] = {
        { Str(L"9.00.5000.00"), Str(L"4"), Str(L"Express Edition"),
            { "ok", "SQL version : 9.00.5000.00 Level : 4 Edition : Express Edition" } },
        { Str(L"9.00.5000.00"), Missing(), Str(L"Express Edition"), { "ok", "SQL version : 9.00.5000.00" } },
        { Str(L"9.00.5000.00"), Str(L"4"), Missing(), { "ok", "SQL version : 9.00.5000.00 Level : 4" } },
        { Str(L"9.00.5000.00"), Null(), Str(L"Express Edition"),
            { "ok", "SQL version : 9.00.5000.00 Edition : Express Edition" } },
        { Missing(), Str(L"4"), Str(L"Express Edition"), { "error", MissingProperty } },
    };
    for (const Case& c : cases) {
        InstallSimulatedWmi();
        ScriptSql(SqlPath, c.version, c.level, c.edition);
        EXPECT_EQ(c.answer, CallOverSentinels(FullSQLVersion)) << c.answer[1];
    }
}

TEST_F(ExportsTest, SecurityCenterFallsBackToSecurityCenter2)
{
    struct Case {
        const char* name;
        Export function;
        const wchar_t* class_name;
    };
    const Case cases[] = {
        { "AntiVirus", AntiVirus, L"AntiVirusProduct" },
        { "FireWall", FireWall, L"FirewallProduct" },
    };
    for (const Case& c : cases) {
        std::wstring query = std::wstring(L"SELECT * FROM ") + c.class_name;

        InstallSimulatedWmi();
        Sim.Answer(L"ROOT\\SecurityCenter2", query,
            { One(L"DisplayName", Str(L"Old Guard")), One(L"DisplayName", Str(L"Defender")) });
        EXPECT_EQ((Texts { "ok", "Defender" }), CallOverSentinels(c.function)) << c.name;
        EXPECT_EQ((std::vector<std::wstring> { L"ROOT\\SecurityCenter", L"ROOT\\SecurityCenter2" }), Sim.connects)
            << c.name;

        InstallSimulatedWmi();
        Sim.Answer(L"ROOT\\SecurityCenter", query, { One(L"DisplayName", Str(L"Vista Guard")) });
        Sim.Answer(L"ROOT\\SecurityCenter2", query, { One(L"DisplayName", Str(L"Defender")) });
        EXPECT_EQ((Texts { "ok", "Vista Guard" }), CallOverSentinels(c.function)) << c.name;
        EXPECT_EQ(1u, Sim.connects.size()) << c.name;

        InstallSimulatedWmi();
        Sim.connect_failures[L"ROOT\\SecurityCenter2"] = WBEM_E_ACCESS_DENIED;
        EXPECT_EQ((Texts { "error", "Could not connect. Error code = 0x80041003" }), CallOverSentinels(c.function))
            << c.name << ": the second attempt's error";

        InstallSimulatedWmi();
        Sim.connect_failures[L"ROOT\\SecurityCenter"] = E_ACCESSDENIED;
        EXPECT_EQ((Texts { "error", "Could not connect. Error code = 0x80070005" }), CallOverSentinels(c.function))
            << c.name << ": only a missing namespace is retried";
        EXPECT_EQ(1u, Sim.connects.size()) << c.name;
    }
}

std::wstring NamespaceQuery(int version)
{
    return L"SELECT * FROM __NAMESPACE WHERE Name = 'ComputerManagement" + std::to_wstring(version) + L"'";
}

TEST_F(ExportsTest, SqlFallsBackToTheNewestSuffixedNamespace)
{
    const std::wstring sql_server = L"ROOT\\Microsoft\\SqlServer";
    for (int version : { 15, 13 })
        Sim.Answer(sql_server, NamespaceQuery(version),
            { One(L"Name", Str(L"ComputerManagement" + std::to_wstring(version))) });
    ScriptSql(SqlPath + L"13", Str(L"13.0"), Str(L"1"), Str(L"Standard"));
    ScriptSql(SqlPath + L"15", Str(L"15.0.2000.5"), Str(L"2"), Str(L"Developer Edition"));

    EXPECT_EQ((Texts { "ok", "SQL version : 15.0.2000.5 Level : 2 Edition : Developer Edition" }),
        CallOverSentinels(FullSQLVersion));
    std::vector<std::wstring> expected = {
        sql_server + L"|" + NamespaceQuery(16),
        sql_server + L"|" + NamespaceQuery(15),
        SqlPath + L"15|" + SqlVersion,
        SqlPath + L"15|" + SqlLevel,
        SqlPath + L"15|" + SqlEdition,
    };
    EXPECT_EQ(expected, Sim.queries) << "the namespace is resolved once per call";

    Sim.queries.clear();
    EXPECT_EQ((Texts { "ok", "15.0.2000.5" }), CallOverSentinels(SQLVersion));
    EXPECT_EQ(3u, Sim.queries.size());
}

TEST_F(ExportsTest, SqlWithoutAnyNamespaceAnswersTheUnsuffixedError)
{
    // ROOT\Microsoft\SqlServer exists without management namespaces, then not at all.
    for (bool parent_exists : { true, false }) {
        InstallSimulatedWmi();
        if (parent_exists)
            Sim.namespaces.insert(L"ROOT\\Microsoft\\SqlServer");
        EXPECT_EQ((Texts { "error", MissingNamespace }), CallOverSentinels(SQLVersion)) << parent_exists;
        EXPECT_EQ((Texts { "error", MissingNamespace }), CallOverSentinels(FullSQLVersion)) << parent_exists;
    }
    InstallSimulatedWmi();
    ScriptSql(SqlPath, Str(L"9.00.1399.06"), Null(), Null());
    Sim.Answer(L"ROOT\\Microsoft\\SqlServer", NamespaceQuery(16), { One(L"Name", Str(L"ComputerManagement16")) });
    EXPECT_EQ((Texts { "ok", "SQL version : 9.00.1399.06" }), CallOverSentinels(FullSQLVersion));
    EXPECT_EQ(3u, Sim.queries.size()) << "a host with the old namespace looks no further";
}

} // namespace
