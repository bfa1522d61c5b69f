#include "plugin_text.h"

#include <oleauto.h>

namespace {

// Length of the longest prefix of text (length characters) that has at most
// limit characters and ends on a character boundary.
int CutAtBoundary(const StackChar* text, int length, int limit)
{
    if (length <= limit)
        return length;
#ifdef SYSFACTS_ANSI
    if (GetACP() == CP_UTF8) {
        while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80)
            --limit;
        return limit;
    }
    int end = 0;
    for (;;) {
        int step = IsDBCSLeadByte(static_cast<BYTE>(text[end])) && text[end + 1] ? 2 : 1;
        if (end + step > limit)
            return end;
        end += step;
    }
#else
    if (limit > 0 && IS_HIGH_SURROGATE(text[limit - 1]) && IS_LOW_SURROGATE(text[limit]))
        --limit;
    return limit;
#endif
}

// UTF-16 length of a stack text.
int WideLength(const StackChar* text)
{
#ifdef SYSFACTS_ANSI
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    return length > 0 ? length - 1 : 0;
#else
    return lstrlenW(text);
#endif
}

// Writes the UTF-16 form of text (length characters from WideLength) at out.
wchar_t* PutWide(wchar_t* out, const StackChar* text, int length)
{
#ifdef SYSFACTS_ANSI
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, out, length);
#else
    for (int i = 0; i < length; ++i)
        out[i] = text[i];
#endif
    return out + length;
}

} // namespace

int BoundedLength(const StackChar* text, int limit)
{
    int length = 0;
    while (length < limit && text[length])
        ++length;
    return length;
}

void CopyText(StackChar* destination, int capacity, const StackChar* text)
{
    if (capacity <= 0)
        return;
    int length = CutAtBoundary(text, BoundedLength(text, capacity), capacity - 1);
    for (int i = 0; i < length; ++i)
        destination[i] = text[i];
    destination[length] = 0;
}

void AppendText(StackChar* destination, int capacity, const StackChar* text)
{
    int used = BoundedLength(destination, capacity);
    CopyText(destination + used, capacity - used, text);
}

bool SameText(const StackChar* left, const StackChar* right)
{
    while (*left && *left == *right) {
        ++left;
        ++right;
    }
    return *left == *right;
}

BSTR ComposeBstr(const wchar_t* first, const StackChar* text, const wchar_t* second, const StackChar* text2)
{
    int first_length = lstrlenW(first);
    int text_length = WideLength(text);
    int second_length = lstrlenW(second);
    int text2_length = WideLength(text2);
    BSTR composed = SysAllocStringLen(nullptr, first_length + text_length + second_length + text2_length);
    if (!composed)
        return nullptr;
    wchar_t* out = composed;
    for (int i = 0; i < first_length; ++i)
        *out++ = first[i];
    out = PutWide(out, text, text_length);
    for (int i = 0; i < second_length; ++i)
        *out++ = second[i];
    out = PutWide(out, text2, text2_length);
    *out = 0;
    return composed;
}

void TextFromWide(StackChar* destination, int capacity, const wchar_t* value)
{
    if (capacity <= 0)
        return;
    if (!value)
        value = L"";
#ifdef SYSFACTS_ANSI
    // The longest prefix of whole UTF-16 characters whose ANSI form fits.
    int length = lstrlenW(value);
    auto ansi_size = [value](int count) {
        return count ? WideCharToMultiByte(CP_ACP, 0, value, count, nullptr, 0, nullptr, nullptr) : 0;
    };
    if (ansi_size(length) > capacity - 1) {
        int low = 0, high = length;
        while (low < high) {
            int middle = low + (high - low + 1) / 2;
            if (ansi_size(middle) <= capacity - 1)
                low = middle;
            else
                high = middle - 1;
        }
        length = low;
        if (length > 0 && IS_HIGH_SURROGATE(value[length - 1]) && IS_LOW_SURROGATE(value[length]))
            --length;
    }
    int written = length ? WideCharToMultiByte(CP_ACP, 0, value, length, destination, capacity - 1, nullptr, nullptr) : 0;
    destination[written > 0 ? written : 0] = 0;
#else
    CopyText(destination, capacity, value);
#endif
}
