// Text as it travels on the installer's stack: UTF-16 in the Unicode flavours,
// the system ANSI code page in the ANSI flavour (built with SYSFACTS_ANSI).
#pragma once

#include <windows.h>
#include <oleauto.h>

#ifdef SYSFACTS_ANSI
typedef char StackChar;
#define STACK_TEXT(text) text
#define FormatText wsprintfA
#else
typedef wchar_t StackChar;
#define STACK_TEXT(text) L##text
#define FormatText wsprintfW
#endif

// Characters in the plug-in's fixed buffers (terminator included).
const int TextBufferChars = 1024;

// Length of text, counting at most limit characters.
int BoundedLength(const StackChar* text, int limit);

// Copies text into destination, which holds capacity characters, terminator
// included. A longer text is cut at a character boundary: no half of a
// double-byte or UTF-8 character, no lone half of a surrogate pair.
void CopyText(StackChar* destination, int capacity, const StackChar* text);

// Appends text to the text in destination, cut as CopyText cuts.
void AppendText(StackChar* destination, int capacity, const StackChar* text);

bool SameText(const StackChar* left, const StackChar* right);

// A new BSTR of first, text, second and text2 in turn; the stack texts are
// converted from the ANSI code page in the ANSI flavour. Null when out of memory.
BSTR ComposeBstr(const wchar_t* first, const StackChar* text, const wchar_t* second, const StackChar* text2);

// Writes a UTF-16 value into destination (capacity characters, terminator
// included), converted to the ANSI code page in the ANSI flavour, cut at a
// character boundary.
void TextFromWide(StackChar* destination, int capacity, const wchar_t* value);
