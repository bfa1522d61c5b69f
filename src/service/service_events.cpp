#include <windows.h>

#include "service_events.h"
#include "service_name.h"
#include "unique_holders.h"

void ReportFailureEvent(const wchar_t* functionName)
{
    unique_event_source source(RegisterEventSourceW(nullptr, ServiceName));
    if (!source)
        return;

    wchar_t text[1024];
    wsprintfW(text, L"%s failed with %d", functionName, static_cast<int>(GetLastError()));

    const wchar_t* strings[] = {ServiceName, text};
    ReportEventW(source.get(), EVENTLOG_ERROR_TYPE, 0, 0xC0020001, nullptr, 2, 0, strings, nullptr);
}
