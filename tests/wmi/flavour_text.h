// Texts of the flavour under test (StackChar) to and from UTF-8.
#pragma once

#include "plugin_text.h"
#include "test_stack.h"

inline std::basic_string<StackChar> T(const std::string& utf8)
{
    return FromUtf8<StackChar>(utf8);
}

inline std::string Utf8(const StackChar* text)
{
    return ToUtf8(std::basic_string<StackChar>(text));
}

#ifdef SYSFACTS_ANSI
const bool AnsiFlavour = true;
#else
const bool AnsiFlavour = false;
#endif
