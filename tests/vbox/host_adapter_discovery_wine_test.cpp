// Host adapter discovery against Wine's real adapter list, in process and
// through the shipped program.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "bridgefix_state.h"
#include "capture_stdout.h"
#include "host_adapter_discovery.h"

namespace {

// What discovery should make of the system's list, from a walk of our own.
struct ExpectedChoice {
    int accepted = 0;
    bool loopbackListed = false;
    std::string loopbackName;
    std::wstring target;
};

ExpectedChoice WalkSystemList()
{
    ExpectedChoice expected;
    ULONG size = 0;
    EXPECT_EQ(static_cast<ULONG>(ERROR_BUFFER_OVERFLOW),
              GetAdaptersAddresses(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr, nullptr, &size));
    std::vector<ULONGLONG> block(size / sizeof(ULONGLONG) + 1);
    auto* head = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(block.data());
    EXPECT_EQ(static_cast<ULONG>(NO_ERROR),
              GetAdaptersAddresses(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr, head, &size));
    for (const IP_ADAPTER_ADDRESSES* adapter = head; adapter; adapter = adapter->Next) {
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            expected.loopbackListed = true;
            expected.loopbackName = adapter->AdapterName;
            continue;
        }
        if (adapter->OperStatus != IfOperStatusUp)
            continue;
        ++expected.accepted;
        if (expected.target.empty())
            expected.target = adapter->Description;
    }
    return expected;
}

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string DiscoverInProcess()
{
    memset(BridgeTarget, 0, sizeof BridgeTarget);
    return CaptureStdout([] { EXPECT_EQ(0, HostAdapterDiscovery()); });
}

TEST(HostAdapterDiscoveryOnWine, ChoosesTheFirstUpAdapterThatIsNotTheLoopback)
{
    ASSERT_EQ(&::GetAdaptersAddresses, GetAdapterList);
    ExpectedChoice expected = WalkSystemList();
    ASSERT_TRUE(expected.loopbackListed) << "Wine lists no loopback: nothing to pass over";
    ASSERT_GT(expected.accepted, 0) << "Wine lists no up adapter";

    std::string output = DiscoverInProcess();

    EXPECT_EQ(expected.accepted, CountOf(output, "\tLength of the IP_ADAPTER_ADDRESS struct: ")) << output;
    EXPECT_EQ(expected.accepted, CountOf(output, "\tOperStatus: 1\r\n")) << output;
    EXPECT_EQ(0, CountOf(output, "\tIfType: 24\r\n")) << output;
    EXPECT_EQ(0, CountOf(output, "\tAdapter name: " + expected.loopbackName + "\r\n")) << output;
    EXPECT_EQ(expected.target, std::wstring(BridgeTarget));
}

struct ProgramRun {
    DWORD exitCode;
    std::string output;
};

std::wstring WindowsPath(const char* unixPath)
{
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

// Runs the shipped bridgefix with `arguments`, standard output into a file.
ProgramRun RunBridgefix(const std::wstring& arguments)
{
    ProgramRun run{~0u, {}};
    wchar_t dir[MAX_PATH], outPath[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"bfx", 0, outPath);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, out);

    std::wstring commandLine = L"\"" + WindowsPath(BRIDGEFIX_EXE) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    SetLastError(0xdeadbeef);
    BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    EXPECT_TRUE(started) << "CreateProcessW failed with " << GetLastError();
    CloseHandle(out);
    if (started) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 60000));
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    HANDLE in = CreateFileW(outPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    DWORD n;
    while (ReadFile(in, buffer, sizeof buffer, &n, nullptr) && n > 0)
        run.output.append(buffer, n);
    CloseHandle(in);
    DeleteFileW(outPath);
    return run;
}

const char TooLongMessage[] = "The machine name is too long: 2047 characters at most\r\n";

TEST(BridgefixOnWine, PrintsTheAdapterBlocksFirstAndExitsZero)
{
    std::string blocks = DiscoverInProcess();
    ASSERT_NE("", blocks);

    ProgramRun run = RunBridgefix(L"appliance");

    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(blocks, run.output.substr(0, blocks.size()));
}

TEST(BridgefixOnWine, RefusesAMachineNameOf2048CodeUnits)
{
    struct NameCase {
        size_t length;
        DWORD exitCode;
        bool refused;
    };
    const NameCase cases[] = {
        {NameCapacity, 1, true},
        {NameCapacity + 100, 1, true},
        {NameCapacity - 1, 0, false},
    };
    std::string blocks = DiscoverInProcess();
    for (const NameCase& c : cases) {
        ProgramRun run = RunBridgefix(std::wstring(c.length, L'v'));

        EXPECT_EQ(c.exitCode, run.exitCode) << "length " << c.length;
        if (c.refused)
            EXPECT_EQ(TooLongMessage, run.output) << "length " << c.length;
        else
            EXPECT_EQ(blocks, run.output.substr(0, blocks.size())) << "length " << c.length;
    }
}

} // namespace
