#pragma once
// Opening an input without ever blocking on it: a FIFO, a device or a folder named like a log
// or a clip is refused instead of read.

#include <string>

// A read-only descriptor of path when it is a regular file; -1 otherwise, with *why saying
// what it is instead ("not a regular file") or why it cannot be opened (the system's text).
int OpenRegularFile(const std::string& path, std::string* why);
