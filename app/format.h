#pragma once
// printf-style formatting into a std::string; the program's texts are C formats throughout.

#include <cstdarg>
#include <string>

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatTextV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

// Text-mode line ends: each line feed is stored as a carriage return and a line feed.
std::string ToTextMode(const std::string& text);
