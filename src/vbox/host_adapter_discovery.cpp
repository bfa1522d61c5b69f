#include "host_adapter_discovery.h"

#include <stdlib.h>
#include <wchar.h>

#include "bridgefix_state.h"
#include "print.h"
#include "to_ansi.h"
#include "unique_holders.h"

AdapterListSource GetAdapterList = ::GetAdaptersAddresses;

namespace {

constexpr ULONG FirstBlockSize = 15000;
constexpr int MaxListCalls = 3;

// Adapters whose description names one of these carry no real network.
const wchar_t* const VirtualAdapterMarkers[] = {L"VirtualBox", L"VMware", L"Hyper-V"};

using AdapterBlock = unique_process_heap_ptr<IP_ADAPTER_ADDRESSES>;

bool NamesVirtualProduct(const wchar_t* description)
{
    if (!description)
        return false;
    for (const wchar_t* marker : VirtualAdapterMarkers) {
        if (wcsstr(description, marker))
            return true;
    }
    return false;
}

bool CanCarryBridge(const IP_ADAPTER_ADDRESSES& adapter)
{
    return adapter.OperStatus == IfOperStatusUp && adapter.IfType != IF_TYPE_SOFTWARE_LOOPBACK &&
           !NamesVirtualProduct(adapter.Description);
}

template <typename Element>
void PrintListCount(const Element* head, const char* countFormat, const char* emptyLine)
{
    if (!head) {
        PrintLine(emptyLine);
        return;
    }
    int count = 0;
    for (const Element* element = head; element; element = element->Next)
        ++count;
    PrintLine(countFormat, count);
}

void PrintAsAnsi(const char* format, const wchar_t* text)
{
    unique_process_heap_ptr<char> ansi(ToAnsi(text));
    PrintLine(format, ansi ? ansi.get() : "(null)");
}

void PrintPhysicalAddress(const IP_ADAPTER_ADDRESSES& adapter)
{
    ULONG length = adapter.PhysicalAddressLength;
    if (length == 0)
        return;
    // Never read past the address array, whatever the record claims.
    if (length > MAX_ADAPTER_ADDRESS_LENGTH)
        length = MAX_ADAPTER_ADDRESS_LENGTH;
    PrintLine("\tPhysical address: ");
    for (ULONG i = 0; i < length; ++i)
        PrintLine(i + 1 == length ? "%.2X\n" : "%.2X-", static_cast<unsigned>(adapter.PhysicalAddress[i]));
}

void PrintZoneIndices(const IP_ADAPTER_ADDRESSES& adapter)
{
    PrintLine("\tZoneIndices (hex): ");
    for (ULONG zone : adapter.ZoneIndices)
        PrintLine("%lx ", static_cast<unsigned long>(zone));
    PrintLine("\n");
}

// The casts give every value the exact type its format expects, so the 32-bit
// and 64-bit builds print the same.
void PrintAdapterBlock(const IP_ADAPTER_ADDRESSES& adapter)
{
    PrintLine("\tLength of the IP_ADAPTER_ADDRESS struct: %ld\n", static_cast<long>(adapter.Length));
    PrintLine("\tIfIndex (IPv4 interface): %u\n", static_cast<unsigned>(adapter.IfIndex));
    PrintLine("\tAdapter name: %s\n", adapter.AdapterName);
    PrintListCount(adapter.FirstUnicastAddress, "\tNumber of Unicast Addresses: %d\n", "\tNo Unicast Addresses\n");
    PrintListCount(adapter.FirstAnycastAddress, "\tNumber of Anycast Addresses: %d\n", "\tNo Anycast Addresses\n");
    PrintListCount(adapter.FirstMulticastAddress, "\tNumber of Multicast Addresses: %d\n",
                   "\tNo Multicast Addresses\n");
    PrintListCount(adapter.FirstDnsServerAddress, "\tNumber of DNS Server Addresses: %d\n",
                   "\tNo DNS Server Addresses\n");
    PrintLine("\tDNS Suffix: %wS\n", adapter.DnsSuffix);
    PrintAsAnsi("\tDescription: %s\n", adapter.Description);
    PrintAsAnsi("\tFriendly name: %s\n", adapter.FriendlyName);
    PrintPhysicalAddress(adapter);
    PrintLine("\tFlags: %ld\n", static_cast<long>(adapter.Flags));
    PrintLine("\tMtu: %lu\n", static_cast<unsigned long>(adapter.Mtu));
    PrintLine("\tIfType: %ld\n", static_cast<long>(adapter.IfType));
    PrintLine("\tOperStatus: %ld\n", static_cast<long>(adapter.OperStatus));
    PrintLine("\tIpv6IfIndex (IPv6 interface): %u\n", static_cast<unsigned>(adapter.Ipv6IfIndex));
    PrintZoneIndices(adapter);
    PrintLine("\tTransmit link speed: %I64u\n", static_cast<unsigned long long>(adapter.TransmitLinkSpeed));
    PrintLine("\tReceive link speed: %I64u\n", static_cast<unsigned long long>(adapter.ReceiveLinkSpeed));
    PrintListCount(adapter.FirstPrefix, "\tNumber of IP Adapter Prefix entries: %d\n",
                   "\tNumber of IP Adapter Prefix entries: 0\n");
    PrintLine("\n");
}

// The first accepted adapter with a description becomes the bridge target.
void ChooseBridgeTarget(const wchar_t* description)
{
    if (BridgeTarget[0] != L'\0' || !description)
        return;
    // A truncated copy would name no host interface: pass such an adapter over.
    if (wcslen(description) >= NameCapacity)
        return;
    wcscpy(BridgeTarget, description);
}

// Reports a failed list call. Ends the process when the system explains the
// code; returns 0 (the program goes on) for ERROR_NO_DATA or an unexplained code.
int ReportListFailure(ULONG code, AdapterBlock& block)
{
    PrintLine("Call to GetAdaptersAddresses failed with error: %d\n", static_cast<int>(code));
    if (code == ERROR_NO_DATA) {
        PrintLine("\tNo addresses were found for the requested parameters\n");
        return 0;
    }
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
                   nullptr);
    if (!text)
        return 0;
    PrintLine("\tError: %s", text);
    LocalFree(text);
    block.reset();
    exit(1);
}

} // namespace

int HostAdapterDiscovery()
{
    ULONG size = FirstBlockSize;
    AdapterBlock block;
    for (int overflows = 0;;) {
        block.reset(static_cast<IP_ADAPTER_ADDRESSES*>(HeapAlloc(GetProcessHeap(), 0, size)));
        if (!block) {
            PrintLine("Memory allocation failed for IP_ADAPTER_ADDRESSES struct\n");
            exit(1);
        }
        ULONG code = GetAdapterList(AF_UNSPEC, GAA_FLAG_INCLUDE_PREFIX, nullptr, block.get(), &size);
        if (code == NO_ERROR)
            break;
        if (code == ERROR_BUFFER_OVERFLOW) {
            // The list outgrew the block: try again with the size the system asks for.
            block.reset();
            if (++overflows < MaxListCalls)
                continue;
        }
        return ReportListFailure(code, block);
    }

    for (const IP_ADAPTER_ADDRESSES* adapter = block.get(); adapter; adapter = adapter->Next) {
        if (!CanCarryBridge(*adapter))
            continue;
        PrintAdapterBlock(*adapter);
        ChooseBridgeTarget(adapter->Description);
    }
    return 0;
}
