#pragma once
// Numbers to and from text without the C library's per-call costs (locale look-ups, format
// parsing), giving exactly what strtol/strtod and glibc's printf give.

#include <cstddef>
#include <cstdint>
#include <string>

// Leading isspace blanks, a sign, then decimal digits; stops at the first other byte. Clamped
// to the 32-bit range; 0 without digits.
int32_t ReadInteger(const char* text, size_t length);

// Leading isspace blanks, a sign, digits with an optional point, an optional exponent: the
// decimal prefix of the text, correctly rounded (no inf, nan or hex forms; 0 without digits).
double ReadDecimal(const char* text, size_t length);

// printf "%*d" / "%0*d".
void AppendInt(std::string& out, int64_t value, int width, bool zero_pad = false);

// printf "%*.*f" (glibc rounding: exact value, ties to even); precision 0 to 6.
void AppendFixed(std::string& out, double value, int width, int precision);
