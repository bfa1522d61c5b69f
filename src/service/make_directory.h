#pragma once

// Creates the directory `path` (UTF-8). Nonzero when created or when there is
// nothing to do; 0 otherwise. Folders that already exist, bad names and
// refused access give 0 quietly; other failures get a second attempt through
// MakeDirectoryLong.
int MakeDirectory(const char* path);

// Creates `path` (UTF-8) through the long-path form "\\?\": an absolute path
// as given, a relative one joined to the current directory. 1 when created or
// when the path is a drive root; 0 otherwise, with a line on standard output
// unless the folder already exists.
int MakeDirectoryLong(const char* path);
