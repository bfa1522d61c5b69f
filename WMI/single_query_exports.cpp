// The exports that answer with the outcome of one query.
#include "exports.h"
#include "sql_namespace.h"
#include "wmi_query.h"

namespace {

void SingleQuery(int string_size, StackEntry** stack_top, const StackChar* name_space, const StackChar* class_name,
    const StackChar* property)
{
    TakeStack(string_size, stack_top);
    PushResult(WmiQuery(name_space, class_name, property, STACK_TEXT("")));
}

// "SecurityCenter" exists only up to Windows Vista RTM; later versions keep the
// same classes in "SecurityCenter2".
void SecurityCenterQuery(int string_size, StackEntry** stack_top, const StackChar* class_name)
{
    TakeStack(string_size, stack_top);
    bool success = WmiQuery(STACK_TEXT("SecurityCenter"), class_name, STACK_TEXT("DisplayName"), STACK_TEXT(""));
    if (!success && ConnectResult == static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE))
        success = WmiQuery(STACK_TEXT("SecurityCenter2"), class_name, STACK_TEXT("DisplayName"), STACK_TEXT(""));
    PushResult(success);
}

void GenericRequest(int string_size, StackEntry** stack_top, bool with_condition)
{
    TakeStack(string_size, stack_top);
    unique_process_heap_ptr<StackChar> buffers[4];
    const StackChar* name_space = PopArgument(buffers[0]);
    const StackChar* class_name = PopArgument(buffers[1]);
    const StackChar* property = PopArgument(buffers[2]);
    const StackChar* condition = with_condition ? PopArgument(buffers[3]) : STACK_TEXT("");
    PushResult(WmiQuery(name_space, class_name, property, condition));
}

} // namespace

SYSFACTS_EXPORT(AntiVirus)
{
    SecurityCenterQuery(string_size, stack_top, STACK_TEXT("AntiVirusProduct"));
}

SYSFACTS_EXPORT(CPU)
{
    SingleQuery(string_size, stack_top, STACK_TEXT("CIMV2"), STACK_TEXT("Win32_Processor"), STACK_TEXT("Caption"));
}

SYSFACTS_EXPORT(FireWall)
{
    SecurityCenterQuery(string_size, stack_top, STACK_TEXT("FirewallProduct"));
}

SYSFACTS_EXPORT(OS)
{
    SingleQuery(string_size, stack_top, STACK_TEXT("CIMV2"), STACK_TEXT("Win32_OperatingSystem"), STACK_TEXT("Caption"));
}

SYSFACTS_EXPORT(OSVersion)
{
    SingleQuery(string_size, stack_top, STACK_TEXT("CIMV2"), STACK_TEXT("Win32_OperatingSystem"), STACK_TEXT("Version"));
}

SYSFACTS_EXPORT(Request)
{
    GenericRequest(string_size, stack_top, false);
}

SYSFACTS_EXPORT(Request2)
{
    GenericRequest(string_size, stack_top, true);
}

SYSFACTS_EXPORT(SQLVersion)
{
    TakeStack(string_size, stack_top);
    SqlNamespace where = {};
    PushResult(SqlPropertyQuery(where, STACK_TEXT("SQLServiceType = 1 AND PropertyName = 'VERSION'")));
}

SYSFACTS_EXPORT(UserName)
{
    SingleQuery(string_size, stack_top, STACK_TEXT("CIMV2"), STACK_TEXT("Win32_ComputerSystem"), STACK_TEXT("UserName"));
}

// The name goes into a WQL string literal: a backslash before each \ and ', so
// that O'Brien finds O'Brien and no name can widen the query.
SYSFACTS_EXPORT(UserSID)
{
    TakeStack(string_size, stack_top);
    unique_process_heap_ptr<StackChar> name_buffer;
    const StackChar* name = PopArgument(name_buffer);

    const StackChar prefix[] = STACK_TEXT("Name = '");
    const int prefix_length = sizeof prefix / sizeof prefix[0] - 1;
    int name_length = BoundedLength(name, 0x7fffffff);
    unique_process_heap_ptr<StackChar> condition(static_cast<StackChar*>(
        HeapAlloc(GetProcessHeap(), 0, (prefix_length + 2 * static_cast<SIZE_T>(name_length) + 2) * sizeof(StackChar))));
    if (!condition) {
        FormatText(ErrorText, STACK_TEXT("Out of memory. Error code = 0x%x"), static_cast<unsigned>(E_OUTOFMEMORY));
        PushResult(false);
        return;
    }
    StackChar* out = condition.get();
    for (int i = 0; i < prefix_length; ++i)
        *out++ = prefix[i];
    for (int i = 0; i < name_length; ++i) {
#ifdef SYSFACTS_ANSI
        // A double-byte character's trail byte may look like a backslash.
        if (IsDBCSLeadByte(static_cast<BYTE>(name[i])) && name[i + 1]) {
            *out++ = name[i++];
            *out++ = name[i];
            continue;
        }
#endif
        if (name[i] == '\\' || name[i] == '\'')
            *out++ = '\\';
        *out++ = name[i];
    }
    *out++ = '\'';
    *out = 0;
    PushResult(WmiQuery(STACK_TEXT("CIMV2"), STACK_TEXT("Win32_UserAccount"), STACK_TEXT("SID"), condition.get()));
}
