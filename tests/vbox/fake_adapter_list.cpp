#include "fake_adapter_list.h"

#include <string.h>

#include "host_adapter_discovery.h"

namespace {

std::vector<IP_ADAPTER_ADDRESSES> fakeRecords;
std::vector<ListAnswer> fakeAnswers;
std::vector<ListCall> fakeCalls;

ULONG WINAPI FakeGetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES block,
                                      PULONG size)
{
    fakeCalls.push_back({family, flags, reserved, *size, HeapSize(GetProcessHeap(), 0, block)});
    size_t call = fakeCalls.size() - 1;
    if (call < fakeAnswers.size()) {
        const ListAnswer& answer = fakeAnswers[call];
        if (answer.code == ERROR_BUFFER_OVERFLOW)
            *size = answer.reportedSize;
        return answer.code;
    }
    ULONG needed = static_cast<ULONG>(fakeRecords.size() * sizeof(IP_ADAPTER_ADDRESSES));
    if (needed == 0)
        return ERROR_NO_DATA;
    if (*size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    memcpy(block, fakeRecords.data(), needed);
    for (size_t i = 0; i < fakeRecords.size(); ++i)
        block[i].Next = i + 1 < fakeRecords.size() ? &block[i + 1] : nullptr;
    return NO_ERROR;
}

} // namespace

void UseFakeAdapterList(const std::vector<IP_ADAPTER_ADDRESSES>& records, const std::vector<ListAnswer>& answers)
{
    fakeRecords = records;
    fakeAnswers = answers;
    fakeCalls.clear();
    GetAdapterList = FakeGetAdaptersAddresses;
}

const std::vector<ListCall>& FakeListCalls()
{
    return fakeCalls;
}

IP_ADAPTER_ADDRESSES Adapter(const wchar_t* description, IF_OPER_STATUS status, IFTYPE type)
{
    IP_ADAPTER_ADDRESSES record;
    memset(&record, 0, sizeof record);
    record.Length = sizeof record;
    record.IfIndex = 3;
    record.AdapterName = const_cast<char*>("{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    record.DnsSuffix = const_cast<wchar_t*>(L"");
    record.Description = const_cast<wchar_t*>(description);
    record.FriendlyName = const_cast<wchar_t*>(L"Ethernet");
    record.Mtu = 1500;
    record.IfType = type;
    record.OperStatus = status;
    return record;
}
