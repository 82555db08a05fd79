#include "app/format.h"

#include <cstdio>

std::string FormatTextV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    // The analyzer cannot follow a va_list that arrives as a parameter.
    // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0)
        return {};
    if (static_cast<size_t>(n) < sizeof small)
        return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    return std::vsnprintf(out.data(), out.size() + 1, format, args) == n ? out : std::string();
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatTextV(format, args);
    va_end(args);
    return out;
}

std::string ToTextMode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out.push_back('\r');
        out.push_back(c);
    }
    return out;
}
