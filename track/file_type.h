#pragma once
// A recording's kind, told from its extension alone.

#include <string>

// The text after the last '.', compared case-sensitively: "MOV"/"mov" 1, "TS"/"ts" 2,
// "NMEA"/"nmea" 3, anything else 0; an empty path or one without '.' gives -1.
int FileTypeFromExtension(const std::string& path);
