#include "plugin_stack.h"

#include "wmi_query.h"

StackEntry** StackTop;
int StringSize;

void TakeStack(int string_size, StackEntry** stack_top)
{
    StackTop = stack_top;
    StringSize = string_size;
}

int PopString(StackChar* destination, int capacity)
{
    if (!StackTop || !*StackTop)
        return 1;
    StackEntry* top = *StackTop;
    CopyText(destination, capacity, top->text);
    *StackTop = top->next;
    GlobalFree(top);
    return 0;
}

void PushString(const StackChar* text)
{
    if (!StackTop)
        return;
    // At least as large as the host's own entries, plus the declared text.
    SIZE_T characters = static_cast<SIZE_T>(StringSize > 0 ? StringSize : 0) + TextBufferChars;
    auto entry = static_cast<StackEntry*>(GlobalAlloc(GPTR, sizeof(StackEntry*) + characters * sizeof(StackChar)));
    if (!entry)
        return;
    CopyText(entry->text, StringSize, text);
    entry->next = *StackTop;
    *StackTop = entry;
}

void PushResult(bool success)
{
    if (!StackTop)
        return;
    if (success) {
        PushString(ValueText);
        PushString(STACK_TEXT("ok"));
    } else {
        PushString(ErrorText);
        PushString(STACK_TEXT("error"));
    }
}

const StackChar* PopArgument(unique_process_heap_ptr<StackChar>& buffer)
{
    // The host's texts hold at most StringSize characters, terminator included.
    int capacity = StringSize > TextBufferChars ? StringSize : TextBufferChars;
    buffer.reset(static_cast<StackChar*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(capacity) * sizeof(StackChar))));
    if (!buffer) {
        // Still consume the argument, so that the stack keeps its shape.
        StackChar discarded[TextBufferChars];
        PopString(discarded, TextBufferChars);
        return STACK_TEXT("");
    }
    PopString(buffer.get(), capacity);
    return buffer.get();
}
