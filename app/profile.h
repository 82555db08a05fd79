#pragma once
// Reading and writing "key=value" settings in INI sections, with the semantics the Windows
// private-profile functions have: a missing file, section or key reads as the default, and
// writing a key keeps every other line of the file, adding the section or key when missing.

#include <string>

inline constexpr size_t kProfileValueMax = 259;

// Section and key names match without regard to letter case; blanks around names and values
// are ignored; a value is cut to kProfileValueMax characters. Only the first section of that
// name is read, and in it the first line of the key.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& fallback, const std::string& path);

// Returns false when the file cannot be written (the file is then left as it was: the new one
// takes its place only when whole). A CR or LF in the section, key or value is never written:
// the write is refused with a line in History.log.
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);
