#pragma once

// Converts UTF-16 text to the system ANSI code page. The result is a new
// zero-filled string on the process heap, owned by the caller (release it with
// HeapFree on GetProcessHeap(), or hold it in unique_process_heap_ptr<char>).
// Returns null when the conversion or the allocation fails.
char* ToAnsi(const wchar_t* text);
