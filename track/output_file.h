#pragma once
// Writing a file so that nobody ever finds it half written: every output of the program
// (analysis, GPX, CSV, KML, events, stills, settings) goes through here.

#include <cstdio>
#include <functional>
#include <string>

enum class OutputMode {
    Replace,  // an existing file is replaced
    NewOnly,  // an existing name fails with EEXIST; nothing is ever replaced
};

// Fills path through write. The bytes go to a hidden temporary file beside path (named
// ".NAME.vantrail-XXXXXX" and locked while written), are flushed to disk and only then take
// path's name, so a failure or a kill at any moment leaves path as it was; temporaries that
// no writer holds any more are removed on the next write to path. A replaced file keeps its
// permissions, and one without write permission is not replaced; through a symbolic link, the
// file it names is replaced. A device or pipe at path is written to as it is. 0 when done;
// else the errno of the failure (EISDIR for a folder).
int WriteOutputFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
                    OutputMode mode = OutputMode::Replace);
