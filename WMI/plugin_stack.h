// The installer's string stack as the plug-in sees it, and the answer form.
#pragma once

#include "plugin_text.h"
#include "unique_holders.h"

// One string on the installer's stack. The host allocates each entry for its
// own string size, which may exceed the declared text.
struct StackEntry {
    StackEntry* next;
    StackChar text[TextBufferChars];
};

// The host's stack-top cell (null: no stack) and its string size in characters,
// terminator included. Stored by every export on entry.
extern StackEntry** StackTop;
extern int StringSize;

// Every export's first step.
void TakeStack(int string_size, StackEntry** stack_top);

// Pops the top entry into destination (capacity characters, terminator
// included) and frees it. Returns 0 when an entry was popped, 1 when there was
// nothing to pop (destination untouched).
int PopString(StackChar* destination, int capacity);

// Pushes a copy of text, cut to StringSize - 1 characters.
void PushString(const StackChar* text);

// Leaves one query's outcome: ValueText with "ok" on top, or ErrorText with
// "error" on top.
void PushResult(bool success);

// Pops an argument into a buffer large enough for any text the host can hold,
// so that nothing is cut. A missing argument reads as the empty string.
const StackChar* PopArgument(unique_process_heap_ptr<StackChar>& buffer);
