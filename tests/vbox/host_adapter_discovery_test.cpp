// Host adapter discovery over fabricated adapter lists: the filter, the block,
// the choice of the bridge target, the retries and the failure paths.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <winternl.h>

#include <string>
#include <vector>

#include "bridgefix_state.h"
#include "capture_stdout.h"
#include "fake_adapter_list.h"
#include "host_adapter_discovery.h"

namespace {

struct Discovery {
    int result;
    std::string output;
};

class HostAdapterDiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { memset(BridgeTarget, 0, sizeof BridgeTarget); }
    void TearDown() override { GetAdapterList = ::GetAdaptersAddresses; }

    static Discovery Discover()
    {
        Discovery run{-1, {}};
        run.output = CaptureStdout([&run] { run.result = HostAdapterDiscovery(); });
        return run;
    }
};

const char BlockStart[] = "\tLength of the IP_ADAPTER_ADDRESS struct: ";

int CountOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The whole line that starts with `label`, line end included; empty if none.
std::string LineStartingWith(const std::string& text, const std::string& label)
{
    size_t at = text.find(label);
    if (at == std::string::npos)
        return {};
    return text.substr(at, text.find('\n', at) + 1 - at);
}

// The texts of all "Description" lines, in order.
std::vector<std::string> PrintedDescriptions(const std::string& text)
{
    const std::string label = "\tDescription: ";
    std::vector<std::string> found;
    for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, at + 1)) {
        size_t start = at + label.size();
        found.push_back(text.substr(start, text.find("\r\n", start) - start));
    }
    return found;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// The system's text for a code, as discovery asks for it.
std::string SystemText(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
                   nullptr);
    std::string result = text ? text : "";
    LocalFree(text);
    return result;
}

// What a text-mode stream makes of `text`: every "\n" goes out as "\r\n".
std::string AsWrittenInTextMode(const std::string& text)
{
    std::string result;
    for (char c : text) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

TEST_F(HostAdapterDiscoveryTest, FilterKeepsUpNonLoopbackAdaptersNotNamedAfterAVirtualisationProduct)
{
    struct FilterCase {
        const char* what;
        IF_OPER_STATUS status;
        IFTYPE type;
        const wchar_t* description;
        const wchar_t* friendlyName;
        bool accepted;
    };
    const FilterCase cases[] = {
        {"up ethernet", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"Intel(R) Ethernet I219-LM", L"Ethernet", true},
        {"down", IfOperStatusDown, IF_TYPE_ETHERNET_CSMACD, L"Intel(R) Ethernet I219-LM", L"Ethernet", false},
        {"testing", IfOperStatusTesting, IF_TYPE_ETHERNET_CSMACD, L"Intel(R) Ethernet I219-LM", L"Ethernet", false},
        {"unknown", IfOperStatusUnknown, IF_TYPE_ETHERNET_CSMACD, L"Intel(R) Ethernet I219-LM", L"Ethernet", false},
        {"dormant", IfOperStatusDormant, IF_TYPE_IEEE80211, L"Intel(R) Wi-Fi 6 AX201", L"Wi-Fi", false},
        {"not present", IfOperStatusNotPresent, IF_TYPE_ETHERNET_CSMACD, L"Realtek PCIe GbE", L"Ethernet", false},
        {"lower layer down", IfOperStatusLowerLayerDown, IF_TYPE_ETHERNET_CSMACD, L"Realtek PCIe GbE", L"Ethernet",
         false},
        {"software loopback", IfOperStatusUp, IF_TYPE_SOFTWARE_LOOPBACK, L"Software Loopback Interface 1",
         L"Loopback Pseudo-Interface 1", false},
        {"wireless", IfOperStatusUp, IF_TYPE_IEEE80211, L"Intel(R) Wi-Fi 6 AX201", L"Wi-Fi", true},
        {"type other", IfOperStatusUp, IF_TYPE_OTHER, L"TAP-Windows Adapter V9", L"Ethernet 3", true},
        {"tunnel", IfOperStatusUp, IF_TYPE_TUNNEL, L"Teredo Tunneling Pseudo-Interface", L"Teredo", true},
        {"VirtualBox", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"VirtualBox Host-Only Ethernet Adapter",
         L"Ethernet 4", false},
        {"VMware", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"VMware Virtual Ethernet Adapter for VMnet8",
         L"VMware Network Adapter VMnet8", false},
        {"Hyper-V first", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"Hyper-V Virtual Ethernet Adapter",
         L"vEthernet (Default Switch)", false},
        {"Hyper-V in the middle", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"Microsoft Hyper-V Network Adapter #2",
         L"Ethernet", false},
        {"VirtualBox at the end", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"Bridge to VirtualBox", L"Ethernet",
         false},
        {"virtualbox lower case", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"virtualbox bridged nic", L"Ethernet",
         true},
        {"VIRTUALBOX upper case", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"VIRTUALBOX BRIDGED NIC", L"Ethernet",
         true},
        {"vmware lower case", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"vmware nic", L"Ethernet", true},
        {"VMWARE upper case", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"VMWARE NIC", L"Ethernet", true},
        {"hyper-v lower case", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"hyper-v nic", L"Ethernet", true},
        {"HYPER-V upper case", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"HYPER-V NIC", L"Ethernet", true},
        {"Hyper V without hyphen", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"Hyper V NIC", L"Ethernet", true},
        {"word only in friendly name", IfOperStatusUp, IF_TYPE_ETHERNET_CSMACD, L"Realtek PCIe GbE",
         L"VirtualBox Bridge (Hyper-V, VMware)", true},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.what);
        memset(BridgeTarget, 0, sizeof BridgeTarget);
        IP_ADAPTER_ADDRESSES record = Adapter(c.description, c.status, c.type);
        record.FriendlyName = const_cast<wchar_t*>(c.friendlyName);
        UseFakeAdapterList({record});

        Discovery run = Discover();

        EXPECT_EQ(0, run.result);
        EXPECT_EQ(c.accepted ? 1 : 0, CountOf(run.output, BlockStart)) << run.output;
        EXPECT_EQ(c.accepted ? c.description : std::wstring(), std::wstring(BridgeTarget));
        if (c.accepted)
            EXPECT_EQ("\tOperStatus: 1\r\n", LineStartingWith(run.output, "\tOperStatus: "));
        else
            EXPECT_EQ("", run.output);
    }
}

TEST_F(HostAdapterDiscoveryTest, BlockPrintsEveryLineByteForByte)
{
    std::vector<IP_ADAPTER_UNICAST_ADDRESS> unicast(2);
    std::vector<IP_ADAPTER_ANYCAST_ADDRESS> anycast(1);
    std::vector<IP_ADAPTER_MULTICAST_ADDRESS> multicast(3);
    std::vector<IP_ADAPTER_DNS_SERVER_ADDRESS> dnsServers(2);
    std::vector<IP_ADAPTER_PREFIX> prefixes(3);
    IP_ADAPTER_ADDRESSES record = Adapter(L"Intel(R) Ethernet Connection (7) I219-LM");
    record.Length = 448;
    record.IfIndex = 11;
    record.AdapterName = const_cast<char*>("{4D36E972-E325-11CE-BFC1-08002BE10318}");
    record.FirstUnicastAddress = Chain(unicast);
    record.FirstAnycastAddress = Chain(anycast);
    record.FirstMulticastAddress = Chain(multicast);
    record.FirstDnsServerAddress = Chain(dnsServers);
    record.DnsSuffix = const_cast<wchar_t*>(L"corp.example");
    record.FriendlyName = const_cast<wchar_t*>(L"Ethernet 2");
    const BYTE mac[] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xE5};
    memcpy(record.PhysicalAddress, mac, sizeof mac);
    record.PhysicalAddressLength = sizeof mac;
    record.Flags = 453;
    record.Mtu = 1500;
    record.Ipv6IfIndex = 11;
    const ULONG zones[16] = {0xb, 0xb, 0xb, 0xb, 0xb, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
    memcpy(record.ZoneIndices, zones, sizeof zones);
    record.TransmitLinkSpeed = 1000000000ULL;
    record.ReceiveLinkSpeed = 25000000000ULL;
    record.FirstPrefix = Chain(prefixes);
    UseFakeAdapterList({record});

    Discovery run = Discover();

    EXPECT_EQ(0, run.result);
    EXPECT_EQ("\tLength of the IP_ADAPTER_ADDRESS struct: 448\r\n"
              "\tIfIndex (IPv4 interface): 11\r\n"
              "\tAdapter name: {4D36E972-E325-11CE-BFC1-08002BE10318}\r\n"
              "\tNumber of Unicast Addresses: 2\r\n"
              "\tNumber of Anycast Addresses: 1\r\n"
              "\tNumber of Multicast Addresses: 3\r\n"
              "\tNumber of DNS Server Addresses: 2\r\n"
              "\tDNS Suffix: corp.example\r\n"
              "\tDescription: Intel(R) Ethernet Connection (7) I219-LM\r\n"
              "\tFriendly name: Ethernet 2\r\n"
              "\tPhysical address: 00-1A-2B-3C-4D-E5\r\n"
              "\tFlags: 453\r\n"
              "\tMtu: 1500\r\n"
              "\tIfType: 6\r\n"
              "\tOperStatus: 1\r\n"
              "\tIpv6IfIndex (IPv6 interface): 11\r\n"
              "\tZoneIndices (hex): b b b b b 1 1 1 1 1 1 1 1 1 1 0 \r\n"
              "\tTransmit link speed: 1000000000\r\n"
              "\tReceive link speed: 25000000000\r\n"
              "\tNumber of IP Adapter Prefix entries: 3\r\n"
              "\r\n",
              run.output);
    EXPECT_EQ(std::wstring(L"Intel(R) Ethernet Connection (7) I219-LM"), std::wstring(BridgeTarget));
}

TEST_F(HostAdapterDiscoveryTest, RecordWithoutListsPrintsTheFixedLines)
{
    IP_ADAPTER_ADDRESSES record = Adapter(L"Realtek PCIe GbE Family Controller");
    record.Length = 376;
    record.IfIndex = 2;
    record.Ipv6IfIndex = 0;
    UseFakeAdapterList({record});

    Discovery run = Discover();

    EXPECT_EQ("\tLength of the IP_ADAPTER_ADDRESS struct: 376\r\n"
              "\tIfIndex (IPv4 interface): 2\r\n"
              "\tAdapter name: {6B29FC40-CA47-1067-B31D-00DD010662DA}\r\n"
              "\tNo Unicast Addresses\r\n"
              "\tNo Anycast Addresses\r\n"
              "\tNo Multicast Addresses\r\n"
              "\tNo DNS Server Addresses\r\n"
              "\tDNS Suffix: \r\n"
              "\tDescription: Realtek PCIe GbE Family Controller\r\n"
              "\tFriendly name: Ethernet\r\n"
              "\tFlags: 0\r\n"
              "\tMtu: 1500\r\n"
              "\tIfType: 6\r\n"
              "\tOperStatus: 1\r\n"
              "\tIpv6IfIndex (IPv6 interface): 0\r\n"
              "\tZoneIndices (hex): 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 \r\n"
              "\tTransmit link speed: 0\r\n"
              "\tReceive link speed: 0\r\n"
              "\tNumber of IP Adapter Prefix entries: 0\r\n"
              "\r\n",
              run.output);
}

TEST_F(HostAdapterDiscoveryTest, ValuesAtTheEdgesOfTheirTypesPrintAsTheirFormatsRead)
{
    IP_ADAPTER_ADDRESSES record = Adapter(L"Realtek PCIe GbE Family Controller");
    record.Length = 0xFFFFFFFF;
    record.IfIndex = 0xFFFFFFFF;
    record.Flags = 0x80000000;
    record.Mtu = 0xFFFFFFFF;
    record.Ipv6IfIndex = 0xFFFFFFFF;
    record.TransmitLinkSpeed = 0xFFFFFFFFFFFFFFFFULL;
    record.ReceiveLinkSpeed = 0x100000000ULL;
    record.AdapterName = nullptr;
    record.DnsSuffix = nullptr;
    UseFakeAdapterList({record});

    std::string output = Discover().output;

    const char* const expectedLines[] = {
        "\tLength of the IP_ADAPTER_ADDRESS struct: -1\r\n",
        "\tIfIndex (IPv4 interface): 4294967295\r\n",
        "\tAdapter name: (null)\r\n",
        "\tDNS Suffix: (null)\r\n",
        "\tFlags: -2147483648\r\n",
        "\tMtu: 4294967295\r\n",
        "\tIpv6IfIndex (IPv6 interface): 4294967295\r\n",
        "\tTransmit link speed: 18446744073709551615\r\n",
        "\tReceive link speed: 4294967296\r\n",
    };
    for (const char* line : expectedLines) {
        std::string expected = line;
        EXPECT_EQ(expected, LineStartingWith(output, expected.substr(0, expected.find(':') + 1))) << output;
    }
}

TEST_F(HostAdapterDiscoveryTest, ListsAreCountedThroughTheirLinks)
{
    struct CountCase {
        size_t unicast, anycast, multicast, dnsServers, prefixes;
        const char* expected;
    };
    const CountCase cases[] = {
        {1, 2, 3, 2, 1,
         "\tNumber of Unicast Addresses: 1\r\n\tNumber of Anycast Addresses: 2\r\n"
         "\tNumber of Multicast Addresses: 3\r\n\tNumber of DNS Server Addresses: 2\r\n"
         "\tNumber of IP Adapter Prefix entries: 1\r\n"},
        {3, 0, 2, 0, 2,
         "\tNumber of Unicast Addresses: 3\r\n\tNo Anycast Addresses\r\n"
         "\tNumber of Multicast Addresses: 2\r\n\tNo DNS Server Addresses\r\n"
         "\tNumber of IP Adapter Prefix entries: 2\r\n"},
        {0, 3, 0, 3, 3,
         "\tNo Unicast Addresses\r\n\tNumber of Anycast Addresses: 3\r\n"
         "\tNo Multicast Addresses\r\n\tNumber of DNS Server Addresses: 3\r\n"
         "\tNumber of IP Adapter Prefix entries: 3\r\n"},
    };
    for (const CountCase& c : cases) {
        std::vector<IP_ADAPTER_UNICAST_ADDRESS> unicast(c.unicast);
        std::vector<IP_ADAPTER_ANYCAST_ADDRESS> anycast(c.anycast);
        std::vector<IP_ADAPTER_MULTICAST_ADDRESS> multicast(c.multicast);
        std::vector<IP_ADAPTER_DNS_SERVER_ADDRESS> dnsServers(c.dnsServers);
        std::vector<IP_ADAPTER_PREFIX> prefixes(c.prefixes);
        IP_ADAPTER_ADDRESSES record = Adapter(L"Realtek PCIe GbE Family Controller");
        record.FirstUnicastAddress = Chain(unicast);
        record.FirstAnycastAddress = Chain(anycast);
        record.FirstMulticastAddress = Chain(multicast);
        record.FirstDnsServerAddress = Chain(dnsServers);
        record.FirstPrefix = Chain(prefixes);
        UseFakeAdapterList({record});

        std::string output = Discover().output;

        std::string counted;
        for (const char* label : {"\tNumber of Unicast", "\tNo Unicast", "\tNumber of Anycast", "\tNo Anycast",
                                  "\tNumber of Multicast", "\tNo Multicast", "\tNumber of DNS", "\tNo DNS",
                                  "\tNumber of IP Adapter Prefix"})
            counted += LineStartingWith(output, label);
        EXPECT_EQ(c.expected, counted);
    }
}

TEST_F(HostAdapterDiscoveryTest, PhysicalAddressPrintsTheValidBytesOnly)
{
    struct AddressCase {
        ULONG length;
        const char* expected; // what stands between the friendly name and the flags
    };
    const AddressCase cases[] = {
        {0, ""},
        {1, "\tPhysical address: 0A\r\n"},
        {6, "\tPhysical address: 0A-1B-C2-03-E4-FF\r\n"},
        {8, "\tPhysical address: 0A-1B-C2-03-E4-FF-00-07\r\n"},
        // A length beyond the 8-byte array never reads past it.
        {20, "\tPhysical address: 0A-1B-C2-03-E4-FF-00-07\r\n"},
    };
    for (const AddressCase& c : cases) {
        IP_ADAPTER_ADDRESSES record = Adapter(L"Realtek PCIe GbE Family Controller");
        const BYTE bytes[MAX_ADAPTER_ADDRESS_LENGTH] = {0x0A, 0x1B, 0xC2, 0x03, 0xE4, 0xFF, 0x00, 0x07};
        memcpy(record.PhysicalAddress, bytes, sizeof bytes);
        record.PhysicalAddressLength = c.length;
        record.Flags = 0xFFFFFFFF; // the bytes that follow the array
        UseFakeAdapterList({record});

        std::string output = Discover().output;

        const std::string before = "\tFriendly name: Ethernet\r\n";
        size_t start = output.find(before) + before.size();
        EXPECT_EQ(c.expected, output.substr(start, output.find("\tFlags: ") - start)) << "length " << c.length;
    }
}

TEST_F(HostAdapterDiscoveryTest, ZoneLineCarriesSixteenValuesAndATrailingBlank)
{
    IP_ADAPTER_ADDRESSES record = Adapter(L"Realtek PCIe GbE Family Controller");
    const ULONG zones[16] = {0, 1, 0xa, 0x1f, 0x10, 0xabc, 0xffffffff, 0x80000000, 2, 3, 4, 5, 6, 7, 8, 9};
    memcpy(record.ZoneIndices, zones, sizeof zones);
    UseFakeAdapterList({record});

    std::string output = Discover().output;

    EXPECT_EQ("\tZoneIndices (hex): 0 1 a 1f 10 abc ffffffff 80000000 2 3 4 5 6 7 8 9 \r\n",
              LineStartingWith(output, "\tZoneIndices"));
}

TEST_F(HostAdapterDiscoveryTest, FirstAcceptedAdapterWithAUsableDescriptionBecomesTheTarget)
{
    const std::wstring longest(NameCapacity - 1, L'a');  // fits with its terminator
    const std::wstring tooLong(NameCapacity, L'b');      // a copy would be cut short
    struct ChoiceCase {
        const char* what;
        std::vector<IP_ADAPTER_ADDRESSES> records;
        std::vector<std::string> printed;
        std::wstring chosen;
    };
    const ChoiceCase cases[] = {
        {"empty description, then a named one",
         {Adapter(L""), Adapter(L"Realtek PCIe GbE Family Controller")},
         {"", "Realtek PCIe GbE Family Controller"},
         L"Realtek PCIe GbE Family Controller"},
        {"two accepted",
         {Adapter(L"Intel(R) I211 Gigabit"), Adapter(L"Realtek PCIe GbE Family Controller")},
         {"Intel(R) I211 Gigabit", "Realtek PCIe GbE Family Controller"},
         L"Intel(R) I211 Gigabit"},
        {"rejected ones first",
         {Adapter(L"VirtualBox Host-Only Ethernet Adapter"), Adapter(L"Intel(R) I211 Gigabit", IfOperStatusDown),
          Adapter(L"Software Loopback Interface 1", IfOperStatusUp, IF_TYPE_SOFTWARE_LOOPBACK),
          Adapter(L"Realtek PCIe GbE Family Controller")},
         {"Realtek PCIe GbE Family Controller"},
         L"Realtek PCIe GbE Family Controller"},
        {"none accepted",
         {Adapter(L"Intel(R) I211 Gigabit", IfOperStatusDown),
          Adapter(L"Software Loopback Interface 1", IfOperStatusUp, IF_TYPE_SOFTWARE_LOOPBACK),
          Adapter(L"VMware Virtual Ethernet Adapter for VMnet1")},
         {},
         L""},
        {"2048 code units passed over",
         {Adapter(tooLong.c_str()), Adapter(L"Realtek PCIe GbE Family Controller")},
         {Narrow(tooLong), "Realtek PCIe GbE Family Controller"},
         L"Realtek PCIe GbE Family Controller"},
        {"2047 code units chosen",
         {Adapter(longest.c_str()), Adapter(L"Realtek PCIe GbE Family Controller")},
         {Narrow(longest), "Realtek PCIe GbE Family Controller"},
         longest},
        {"no description at all, then a named one",
         {Adapter(nullptr), Adapter(L"Realtek PCIe GbE Family Controller")},
         {"(null)", "Realtek PCIe GbE Family Controller"},
         L"Realtek PCIe GbE Family Controller"},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.what);
        memset(BridgeTarget, 0, sizeof BridgeTarget);
        UseFakeAdapterList(c.records);

        Discovery run = Discover();

        EXPECT_EQ(0, run.result);
        EXPECT_EQ(c.printed, PrintedDescriptions(run.output));
        EXPECT_EQ(static_cast<int>(c.printed.size()), CountOf(run.output, BlockStart));
        EXPECT_EQ(c.chosen, std::wstring(BridgeTarget));
        if (c.printed.empty()) {
            EXPECT_EQ("", run.output);
        }
    }
}

TEST_F(HostAdapterDiscoveryTest, AsksForEveryFamilyWithPrefixesInAFirstBlockOf15000Bytes)
{
    UseFakeAdapterList({Adapter(L"Realtek PCIe GbE Family Controller")});

    Discover();

    ASSERT_EQ(1u, FakeListCalls().size());
    const ListCall& call = FakeListCalls()[0];
    EXPECT_EQ(static_cast<ULONG>(AF_UNSPEC), call.family);
    EXPECT_EQ(static_cast<ULONG>(GAA_FLAG_INCLUDE_PREFIX), call.flags);
    EXPECT_EQ(nullptr, call.reserved);
    EXPECT_EQ(15000u, call.sizeGiven);
    EXPECT_EQ(15000u, call.blockSize);
}

TEST_F(HostAdapterDiscoveryTest, OverflowRetriesWithTheSizeTheSystemReported)
{
    struct RetryCase {
        std::vector<ListAnswer> answers;
        std::vector<ULONG> sizes; // given to each call, and the size of its block
    };
    const RetryCase cases[] = {
        {{{ERROR_BUFFER_OVERFLOW, 20000}}, {15000, 20000}},
        {{{ERROR_BUFFER_OVERFLOW, 20000}, {ERROR_BUFFER_OVERFLOW, 31337}}, {15000, 20000, 31337}},
        {{{ERROR_BUFFER_OVERFLOW, 40000}, {ERROR_BUFFER_OVERFLOW, 16000}}, {15000, 40000, 16000}},
    };
    for (const RetryCase& c : cases) {
        memset(BridgeTarget, 0, sizeof BridgeTarget);
        UseFakeAdapterList({Adapter(L"Realtek PCIe GbE Family Controller")}, c.answers);

        Discovery run = Discover();

        EXPECT_EQ(0, run.result);
        ASSERT_EQ(c.sizes.size(), FakeListCalls().size());
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            EXPECT_EQ(c.sizes[i], FakeListCalls()[i].sizeGiven) << "call " << i;
            EXPECT_EQ(c.sizes[i], FakeListCalls()[i].blockSize) << "call " << i;
        }
        EXPECT_EQ(1, CountOf(run.output, BlockStart)) << run.output;
        EXPECT_EQ(std::wstring(L"Realtek PCIe GbE Family Controller"), std::wstring(BridgeTarget));
    }
}

TEST_F(HostAdapterDiscoveryTest, NoDataPrintsTwoLinesAndGoesOn)
{
    UseFakeAdapterList({Adapter(L"Realtek PCIe GbE Family Controller")}, {{ERROR_NO_DATA, 0}});

    Discovery run = Discover();

    EXPECT_EQ(0, run.result);
    EXPECT_EQ("Call to GetAdaptersAddresses failed with error: 232\r\n"
              "\tNo addresses were found for the requested parameters\r\n",
              run.output);
    EXPECT_EQ(1u, FakeListCalls().size());
    EXPECT_EQ(std::wstring(), std::wstring(BridgeTarget));
}

TEST_F(HostAdapterDiscoveryTest, CodeWithoutSystemTextPrintsItsLineAndGoesOn)
{
    const ULONG unexplained = 0x2000FFFF;
    ASSERT_EQ("", SystemText(unexplained)) << "the system explains this code";
    UseFakeAdapterList({Adapter(L"Realtek PCIe GbE Family Controller")}, {{unexplained, 0}});

    Discovery run = Discover();

    EXPECT_EQ(0, run.result);
    EXPECT_EQ("Call to GetAdaptersAddresses failed with error: 536936447\r\n", run.output);
    EXPECT_EQ(std::wstring(), std::wstring(BridgeTarget));
}

// The fatal paths end the process: each runs in a child (a death test) whose
// standard output goes to a file that outlives it.
std::string ChildOutputPath()
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "discovery-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
           ".txt";
}

void DiscoverWithOutputIn(const std::string& path)
{
    fflush(stdout);
    int file = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT, _S_IREAD | _S_IWRITE);
    _dup2(file, _fileno(stdout));
    _close(file);
    HostAdapterDiscovery();
}

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    if (FILE* in = fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, in)) > 0)
            bytes.append(buffer, n);
        fclose(in);
    }
    return bytes;
}

TEST_F(HostAdapterDiscoveryTest, ThirdOverflowEndsTheProcessWithTheSystemText)
{
    const std::string path = ChildOutputPath();
    DeleteFileA(path.c_str());
    UseFakeAdapterList({Adapter(L"Realtek PCIe GbE Family Controller")},
                       {{ERROR_BUFFER_OVERFLOW, 20000}, {ERROR_BUFFER_OVERFLOW, 30000}, {ERROR_BUFFER_OVERFLOW, 40000}});

    EXPECT_EXIT(DiscoverWithOutputIn(path), ::testing::ExitedWithCode(1), "");

    std::string text = SystemText(ERROR_BUFFER_OVERFLOW);
    ASSERT_NE("", text);
    EXPECT_EQ("Call to GetAdaptersAddresses failed with error: 111\r\n\tError: " + AsWrittenInTextMode(text),
              ReadFileBytes(path));
}

TEST_F(HostAdapterDiscoveryTest, ExplainedCodesEndTheProcessWithTheSystemText)
{
    struct FatalCase {
        ULONG code;
        const char* firstLine;
    };
    const FatalCase cases[] = {
        {ERROR_INVALID_PARAMETER, "Call to GetAdaptersAddresses failed with error: 87\r\n"},
        {ERROR_NOT_ENOUGH_MEMORY, "Call to GetAdaptersAddresses failed with error: 8\r\n"},
        {ERROR_ADDRESS_NOT_ASSOCIATED, "Call to GetAdaptersAddresses failed with error: 1228\r\n"},
    };
    const std::string path = ChildOutputPath();
    for (const FatalCase& c : cases) {
        DeleteFileA(path.c_str());
        UseFakeAdapterList({Adapter(L"Realtek PCIe GbE Family Controller")}, {{c.code, 0}});

        EXPECT_EXIT(DiscoverWithOutputIn(path), ::testing::ExitedWithCode(1), "") << "code " << c.code;

        std::string text = SystemText(c.code);
        ASSERT_NE("", text) << "no system text for " << c.code;
        EXPECT_EQ(c.firstLine + ("\tError: " + AsWrittenInTextMode(text)), ReadFileBytes(path));
    }
}

// Makes GetProcessHeap hand out a small heap that cannot grow: only for a
// child that is about to end.
void ShrinkProcessHeap(HANDLE smallHeap)
{
    // PEB.ProcessHeap: at 0x30 in 64-bit processes, 0x18 in 32-bit ones.
    const size_t processHeapOffset = sizeof(void*) == 8 ? 0x30 : 0x18;
    PROCESS_BASIC_INFORMATION process{};
    NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process, nullptr);
    *reinterpret_cast<HANDLE*>(reinterpret_cast<char*>(process.PebBaseAddress) + processHeapOffset) = smallHeap;
}

TEST_F(HostAdapterDiscoveryTest, FailedAllocationEndsTheProcess)
{
    struct AllocationCase {
        const char* what;
        SIZE_T heapBytes;
        std::vector<ListAnswer> answers;
    };
    const AllocationCase cases[] = {
        {"first block", 4096, {}},
        {"block after an overflow", 65536, {{ERROR_BUFFER_OVERFLOW, 100000}}},
        {"block after two overflows", 65536, {{ERROR_BUFFER_OVERFLOW, 20000}, {ERROR_BUFFER_OVERFLOW, 100000}}},
    };
    const std::string path = ChildOutputPath();
    for (const AllocationCase& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileA(path.c_str());
        UseFakeAdapterList({Adapter(L"Realtek PCIe GbE Family Controller")}, c.answers);
        HANDLE smallHeap = HeapCreate(0, c.heapBytes, c.heapBytes);
        ASSERT_NE(nullptr, smallHeap);

        EXPECT_EXIT((ShrinkProcessHeap(smallHeap), DiscoverWithOutputIn(path)), ::testing::ExitedWithCode(1), "");

        EXPECT_EQ("Memory allocation failed for IP_ADAPTER_ADDRESSES struct\r\n", ReadFileBytes(path));
        HeapDestroy(smallHeap);
    }
}

} // namespace
