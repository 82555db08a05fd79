#include "track/text_number.h"

#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// strtod in the C locale, whatever locale the process runs in.
double StrtodC(const char* text) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
    return strtod_l(text, nullptr, c_locale);
}
}  // namespace

int32_t ReadInteger(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && IsSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    // Accumulate just past the 32-bit range; anything beyond is clamped anyway.
    constexpr int64_t kLimit = int64_t{1} << 32;
    int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

double ReadDecimal(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && IsSpace(*p)) ++p;
    const char* start = p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';

    uint64_t mantissa = 0;
    int significant = 0;  // digits in mantissa, leading zeros skipped
    int exponent = 0;     // decimal exponent applied to mantissa
    bool any_digit = false;
    bool truncated = false;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        any_digit = true;
        if (mantissa == 0 && *p == '0')
            continue;
        if (significant < 19) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
            ++significant;
        } else {
            truncated = true;
            ++exponent;
        }
    }
    if (p < end && *p == '.') {
        ++p;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            any_digit = true;
            if (mantissa == 0 && *p == '0') {
                --exponent;
                continue;
            }
            if (significant < 19) {
                mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
                ++significant;
                --exponent;
            } else {
                truncated = true;
            }
        }
    }
    if (!any_digit)
        return 0.0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool exp_negative = false;
        if (q < end && (*q == '+' || *q == '-'))
            exp_negative = *q++ == '-';
        if (q < end && *q >= '0' && *q <= '9') {
            int value = 0;
            for (; q < end && *q >= '0' && *q <= '9'; ++q) {
                if (value < 100000)
                    value = value * 10 + (*q - '0');
            }
            exponent += exp_negative ? -value : value;
            p = q;
        }
    }

    double result;
    if (mantissa == 0) {
        result = 0.0;
    } else if (!truncated && mantissa <= (uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
        // Both operands are exact doubles, so one IEEE operation rounds correctly.
        const double m = static_cast<double>(mantissa);
        result = exponent >= 0 ? m * kPowersOfTen[exponent] : m / kPowersOfTen[-exponent];
    } else {
        // Rare: many digits or a large exponent. strtod rounds those correctly.
        return StrtodC(std::string(start, p).c_str());
    }
    return negative ? -result : result;
}

void AppendInt(std::string& out, int64_t value, int width, bool zero_pad) {
    char digits[24];
    int n = 0;
    uint64_t magnitude =
        value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const int length = n + (value < 0 ? 1 : 0);
    const int pad = width > length ? width - length : 0;
    if (!zero_pad)
        out.append(static_cast<size_t>(pad), ' ');
    if (value < 0)
        out.push_back('-');
    if (zero_pad)
        out.append(static_cast<size_t>(pad), '0');
    while (n > 0) out.push_back(digits[--n]);
}

void AppendFixed(std::string& out, double value, int width, int precision) {
    static constexpr uint64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    int exp2 = 0;
    const double fraction = std::frexp(std::fabs(value), &exp2);
    // Exact path: |value| * scale must fit an integer comfortably (below 2^60).
    if (!std::isfinite(value) || exp2 > 40 || precision < 0 || precision > 6) {
        char text[400];
        // Room for the widest double; the widths used are small.
        (void)std::snprintf(text, sizeof text, "%*.*f", width, precision, value);
        out += text;
        return;
    }
    // |value| = m / 2^shift with m a 53-bit integer and shift >= 13; m * scale needs up to
    // 73 bits, so the rounding is done in 128-bit arithmetic.
    const uint64_t m = static_cast<uint64_t>(std::ldexp(fraction, 53));
    const int shift = 53 - exp2;
    const uint64_t scale = kScale[precision];
    uint64_t scaled = 0;  // far below half a unit when shift is this large
    if (shift < 127) {
        const unsigned __int128 one = 1;
        const unsigned __int128 product = static_cast<unsigned __int128>(m) * scale;
        unsigned __int128 q = product >> shift;
        const unsigned __int128 rem = product & ((one << shift) - 1);
        const unsigned __int128 half = one << (shift - 1);
        if (rem > half || (rem == half && (q & 1) != 0))
            ++q;
        scaled = static_cast<uint64_t>(q);
    }
    char text[48];
    int n = 0;
    uint64_t whole = scaled / scale;
    uint64_t frac = scaled % scale;
    for (int i = 0; i < precision; ++i) {
        text[n++] = static_cast<char>('0' + frac % 10);
        frac /= 10;
    }
    if (precision > 0)
        text[n++] = '.';
    do {
        text[n++] = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (std::signbit(value))
        text[n++] = '-';
    if (width > n)
        out.append(static_cast<size_t>(width - n), ' ');
    while (n > 0) out.push_back(text[--n]);
}
