// The exports that compose their answer from several values.
#include "exports.h"
#include "sql_namespace.h"
#include "wmi_query.h"

namespace {

// Passes one query's outcome through the stack. True with the value popped into
// value; false with the error text left on top of the stack.
bool SubQuery(bool success, StackChar (&value)[TextBufferChars])
{
    PushResult(success);
    StackChar status[TextBufferChars] = {};
    PopString(status, TextBufferChars);
    if (!SameText(status, STACK_TEXT("ok")))
        return false;
    PopString(value, TextBufferChars);
    return true;
}

bool OperatingSystemValue(const StackChar* property, StackChar (&value)[TextBufferChars])
{
    return SubQuery(WmiQuery(STACK_TEXT("CIMV2"), STACK_TEXT("Win32_OperatingSystem"), property, STACK_TEXT("")), value);
}

bool MonitorValue(const StackChar* property, StackChar (&value)[TextBufferChars])
{
    return SubQuery(WmiQuery(STACK_TEXT("CIMV2"), STACK_TEXT("Win32_DesktopMonitor"), property, STACK_TEXT("")), value);
}

void PushAnswer(const StackChar* answer)
{
    PushString(answer);
    PushString(STACK_TEXT("ok"));
}

} // namespace

SYSFACTS_EXPORT(FullOS)
{
    TakeStack(string_size, stack_top);
    StackChar caption[TextBufferChars] = {};
    StackChar version[TextBufferChars] = {};
    StackChar major[TextBufferChars] = {};
    StackChar minor[TextBufferChars] = {};
    if (!OperatingSystemValue(STACK_TEXT("Caption"), caption) || !OperatingSystemValue(STACK_TEXT("Version"), version)
        || !OperatingSystemValue(STACK_TEXT("ServicePackMajorVersion"), major)
        || !OperatingSystemValue(STACK_TEXT("ServicePackMinorVersion"), minor)) {
        PushString(STACK_TEXT("error"));
        return;
    }
    AppendText(caption, TextBufferChars, STACK_TEXT(" version : "));
    AppendText(caption, TextBufferChars, version);
    if (major[0]) {
        AppendText(caption, TextBufferChars, STACK_TEXT(" service pack : "));
        AppendText(caption, TextBufferChars, major);
        AppendText(caption, TextBufferChars, STACK_TEXT("."));
        AppendText(caption, TextBufferChars, minor[0] ? minor : STACK_TEXT("0"));
    }
    PushAnswer(caption);
}

SYSFACTS_EXPORT(Resolution)
{
    TakeStack(string_size, stack_top);
    StackChar width[TextBufferChars] = {};
    StackChar height[TextBufferChars] = {};
    if (!MonitorValue(STACK_TEXT("ScreenWidth"), width)) {
        PushString(STACK_TEXT("error"));
        return;
    }
    if (!width[0]) {
        PushAnswer(STACK_TEXT("Unknown"));
        return;
    }
    if (!MonitorValue(STACK_TEXT("ScreenHeight"), height)) {
        PushString(STACK_TEXT("error"));
        return;
    }
    AppendText(width, TextBufferChars, STACK_TEXT("x"));
    AppendText(width, TextBufferChars, height);
    PushAnswer(width);
}

// A name without a backslash has no domain part and is answered whole.
SYSFACTS_EXPORT(ShortUserName)
{
    TakeStack(string_size, stack_top);
    if (!WmiQuery(STACK_TEXT("CIMV2"), STACK_TEXT("Win32_ComputerSystem"), STACK_TEXT("UserName"), STACK_TEXT(""))) {
        PushResult(false);
        return;
    }
    StackChar name[TextBufferChars] = {};
    CopyText(name, TextBufferChars, ValueText);
    const StackChar* short_name = name;
    for (const StackChar* c = name; *c; ++c) {
        if (*c == '\\') {
            short_name = c + 1;
            break;
        }
    }
    PushAnswer(short_name);
}

SYSFACTS_EXPORT(FullSQLVersion)
{
    TakeStack(string_size, stack_top);
    SqlNamespace where = {};
    StackChar answer[TextBufferChars] = {};
    StackChar value[TextBufferChars] = {};
    if (!SubQuery(SqlPropertyQuery(where, STACK_TEXT("SQLServiceType = 1 AND PropertyName = 'VERSION'")), value)) {
        PushString(STACK_TEXT("error"));
        return;
    }
    CopyText(answer, TextBufferChars, STACK_TEXT("SQL version : "));
    AppendText(answer, TextBufferChars, value);

    struct Part {
        const StackChar* condition;
        const StackChar* label;
    };
    const Part parts[] = {
        { STACK_TEXT("SQLServiceType = 1 AND PropertyName = 'SPLEVEL'"), STACK_TEXT(" Level : ") },
        { STACK_TEXT("SQLServiceType = 1 AND PropertyName = 'SKUNAME'"), STACK_TEXT(" Edition : ") },
    };
    for (const Part& part : parts) {
        value[0] = 0;
        if (!SubQuery(SqlPropertyQuery(where, part.condition), value)) {
            // The level and the edition are optional: drop the error text.
            StackChar discarded[TextBufferChars];
            PopString(discarded, TextBufferChars);
            break;
        }
        if (value[0]) {
            AppendText(answer, TextBufferChars, part.label);
            AppendText(answer, TextBufferChars, value);
        }
    }
    PushAnswer(answer);
}
