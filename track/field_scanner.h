#pragma once
// Walks a sentence field by field the way a scanf-like format of "%" conversions and literal
// characters would: each decoder spells its format as a row of calls. Every conversion counts,
// even with an empty field (which stores nothing); a field of 256 bytes or more reads as zero.
// Once the input runs out or a literal does not match, every later call does nothing.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "track/text_number.h"

class FieldScanner {
public:
    FieldScanner(const char* text, size_t length) : in_(text), end_(text + length) {}

    int Count() const { return count_; }

    // Literal characters of the format.
    void Literal(std::string_view text) {
        if (static_cast<size_t>(end_ - in_) >= text.size() &&
            std::memcmp(in_, text.data(), text.size()) == 0) {
            in_ += text.size();
            return;
        }
        for (const char c : text) Literal(c);
    }
    void Literal(char c) {
        if (in_ < end_ && *in_ == c)
            ++in_;
        else
            in_ = end_ = nullptr;
    }

    // Conversions whose field ends at the delimiter (the format character after the letter,
    // consumed as its literal), or at the end of the input; '\0' when the letter ends the
    // format, so the field is the rest of the input.
    void Int(int32_t& dest, char delimiter) {
        if (!Begin())
            return;
        // The usual field, up to nine plain digits, is read on the walk to its delimiter.
        const char* p = in_;
        uint32_t value = 0;
        for (; p < end_ && IsDigit(*p); ++p)  // wraps harmlessly on a long run, read below
            value = value * 10 + static_cast<uint32_t>(*p - '0');
        if (p - in_ <= 9 && NumberEnds(p, delimiter, false)) {
            if (p != in_)
                dest = static_cast<int32_t>(value);
            Past(p, delimiter);
            return;
        }
        size_t length;
        if (const char* field = Rest(delimiter, &length))
            dest = length >= kFieldMax ? 0 : ReadInteger(field, length);
        Literal(delimiter);
    }
    [[gnu::always_inline]] void Double(double& dest, char delimiter) {
        if (!Begin())
            return;
        // So is a plain decimal of up to 19 digits, with its sign and point: the division of
        // two exact doubles rounds as a full reader would.
        constexpr uint64_t kExact = uint64_t{1} << 53;
        static constexpr double kScale[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                            1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                            1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
        const char* p = in_;
        const bool negative = p < end_ && *p == '-';
        p += negative ? 1 : 0;
        uint64_t mantissa = 0;
        const char* digits = p;
        for (; p < end_ && IsDigit(*p); ++p)
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        ptrdiff_t count = p - digits;
        ptrdiff_t fraction = 0;
        if (p < end_ && *p == '.') {
            const char* point = ++p;
            for (; p < end_ && IsDigit(*p); ++p)
                mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
            fraction = p - point;
            count += fraction;
        }
        if (NumberEnds(p, delimiter, true) &&
            (p == in_ || (count > 0 && count <= 19 && mantissa <= kExact))) {
            if (p != in_) {  // an empty field stores nothing
                const double value = static_cast<double>(mantissa) / kScale[fraction];
                dest = negative ? -value : value;
            }
            Past(p, delimiter);
            return;
        }
        size_t length;
        if (const char* field = Rest(delimiter, &length))
            dest = length >= kFieldMax ? 0.0 : ReadDecimal(field, length);
        Literal(delimiter);
    }
    // "%s": the field up to its first NUL, as terminated text would be; empty when too long.
    void Text(std::string_view& dest, char delimiter) {
        if (!Begin())
            return;
        size_t length;
        if (const char* field = Rest(delimiter, &length)) {
            size_t text = 0;
            while (text < length && field[text] != '\0') ++text;
            dest = length >= kFieldMax ? std::string_view() : std::string_view(field, text);
        }
        Literal(delimiter);
    }
    // "%c": one byte, or an empty field when that byte is the delimiter.
    void Char(char& dest, char delimiter) {
        if (!Begin())
            return;
        if (*in_ != delimiter || delimiter == '\0')
            dest = *in_++;
        Literal(delimiter);
    }
    // "%2d": exactly two bytes; the scan ends when fewer are left.
    void Int2(int32_t& dest) {
        if (in_ == nullptr || end_ - in_ < 2) {
            in_ = end_ = nullptr;
            return;
        }
        ++count_;
        dest = ToInt(in_, 2);
        in_ += 2;
    }

private:
    static constexpr size_t kFieldMax = 256;

    bool Begin() {
        if (in_ >= end_) {
            in_ = end_ = nullptr;
            return false;
        }
        ++count_;
        return true;
    }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    // Whether a number read up to p is its whole field: it stops at the delimiter; or, for a
    // field that runs to the end of the input, it is not empty, the reader would stop there as
    // well, and the field is short enough to be read at all.
    bool NumberEnds(const char* p, char delimiter, bool decimal) const {
        if (delimiter != '\0')
            return p < end_ && *p == delimiter;
        return p != in_ && static_cast<size_t>(end_ - in_) < kFieldMax &&
               (p == end_ || (!IsDigit(*p) && (!decimal || (*p != 'e' && *p != 'E'))));
    }
    // After a number that NumberEnds accepted: past its delimiter, or at the end of the input
    // (where the format ends too).
    void Past(const char* p, char delimiter) {
        if (delimiter != '\0')
            in_ = p + 1;
        else
            in_ = end_ = nullptr;
    }
    // The field from the current byte, whose conversion has begun, or null when it is empty.
    const char* Rest(char delimiter, size_t* length) {
        const char* field = in_;
        if (delimiter == '\0') {
            in_ = end_;
        } else {
            while (in_ < end_ && *in_ != delimiter) ++in_;
        }
        *length = static_cast<size_t>(in_ - field);
        return *length != 0 ? field : nullptr;
    }
    // Most integer fields are a few plain digits; those skip the general reader.
    static int32_t ToInt(const char* text, size_t length) {
        if (length <= 9) {
            int32_t value = 0;
            size_t i = 0;
            for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i)
                value = value * 10 + (text[i] - '0');
            if (i == length)
                return value;
        }
        return length >= kFieldMax ? 0 : ReadInteger(text, length);
    }

    const char* in_;
    const char* end_;
    int count_ = 0;
};
