// A scripted stand-in for GetAdaptersAddresses: it copies fabricated records
// into the caller's block and remembers every call.
#pragma once

#include <winsock2.h>
#include <iphlpapi.h>

#include <vector>

// One scripted answer: the code the call returns and, for
// ERROR_BUFFER_OVERFLOW, the size it writes back.
struct ListAnswer {
    ULONG code;
    ULONG reportedSize;
};

struct ListCall {
    ULONG family;
    ULONG flags;
    void* reserved;
    ULONG sizeGiven;  // the size argument on entry
    SIZE_T blockSize; // what the process heap says the block holds
};

// Installs the fake as the adapter list source. The scripted answers come
// first; after them every call succeeds with the records (linked through Next
// in the caller's block), or reports overflow if they do not fit.
void UseFakeAdapterList(const std::vector<IP_ADAPTER_ADDRESSES>& records,
                        const std::vector<ListAnswer>& answers = {});

// The calls made since UseFakeAdapterList.
const std::vector<ListCall>& FakeListCalls();

// A zeroed record that passes the filter unless told otherwise.
IP_ADAPTER_ADDRESSES Adapter(const wchar_t* description, IF_OPER_STATUS status = IfOperStatusUp,
                             IFTYPE type = IF_TYPE_ETHERNET_CSMACD);

// Links the elements of an address or prefix list through Next and returns the
// head (null for none). The vector must outlive the discovery call.
template <typename Element>
Element* Chain(std::vector<Element>& elements)
{
    for (size_t i = 0; i + 1 < elements.size(); ++i)
        elements[i].Next = &elements[i + 1];
    if (!elements.empty())
        elements.back().Next = nullptr;
    return elements.empty() ? nullptr : elements.data();
}
