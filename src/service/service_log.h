#pragma once

#include <stddef.h>

enum LogOutcome {
    FolderUnavailable, // no application-data folder: nothing done
    LogOpen,           // standard output appends to the log file
    LogNotOpen,        // folders handled, the file did not open
};

// Creates the data folder chain under the common application-data folder,
// makes it the current directory and reopens standard output onto a new
// time-stamped file in its "log" folder.
LogOutcome OpenServiceLog();

// The current local time (UTC if it cannot be had) in a strftime format, in
// one static buffer that every call overwrites.
const char* TimestampText(const char* format);

// Writes the log file's name for the given time stamp, relative to the data
// folder, into name (at most size - 1 characters).
void FormatLogFileName(char* name, size_t size, const char* stamp);
