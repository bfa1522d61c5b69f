#include "sql_namespace.h"

#include "wmi_query.h"

namespace {

const StackChar* const UnsuffixedNamespace = STACK_TEXT("Microsoft\\SqlServer\\ComputerManagement");

bool PropertyQuery(const StackChar* name_space, const StackChar* condition)
{
    return WmiQuery(name_space, STACK_TEXT("SqlServiceAdvancedProperty"), STACK_TEXT("PropertyStrValue"), condition);
}

// Later versions register ComputerManagement10 (2008) up to 16 (2022); the
// newest one present wins.
bool FindNewestSuffixedNamespace(StackChar (&name)[64])
{
    for (int version = 16; version >= 10; --version) {
        StackChar condition[64];
        FormatText(condition, STACK_TEXT("Name = 'ComputerManagement%i'"), version);
        if (!WmiQuery(STACK_TEXT("Microsoft\\SqlServer"), STACK_TEXT("__NAMESPACE"), STACK_TEXT("Name"), condition))
            return false;
        if (ValueText[0]) {
            FormatText(name, STACK_TEXT("%s%i"), UnsuffixedNamespace, version);
            return true;
        }
    }
    return false;
}

} // namespace

bool SqlPropertyQuery(SqlNamespace& where, const StackChar* condition)
{
    if (!where.resolved) {
        where.resolved = true;
        CopyText(where.name, 64, UnsuffixedNamespace);
        if (PropertyQuery(where.name, condition))
            return true;
        if (ConnectResult != static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE))
            return false;
        StackChar unsuffixed_error[TextBufferChars];
        CopyText(unsuffixed_error, TextBufferChars, ErrorText);
        if (!FindNewestSuffixedNamespace(where.name)) {
            CopyText(ErrorText, TextBufferChars, unsuffixed_error);
            return false;
        }
    }
    return PropertyQuery(where.name, condition);
}
