#pragma once
// Walks a sentence field by field the way a scanf-like format of "%" conversions and literal
// characters would: each decoder spells its format as a row of calls. Every conversion counts,
// even with an empty field (which stores nothing); a field of 256 bytes or more reads as zero.
// Once the input runs out or a literal does not match, every later call does nothing.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "track/text_number.h"

class FieldScanner {
public:
    FieldScanner(const char* text, size_t length) : in_(text), end_(text + length) {}

    int Count() const { return count_; }

    // Literal characters of the format.
    void Literal(std::string_view text) {
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
        size_t length;
        if (const char* field = Field(delimiter, &length))
            dest = ToInt(field, length);
        Literal(delimiter);
    }
    void Double(double& dest, char delimiter) {
        size_t length;
        if (const char* field = Field(delimiter, &length))
            dest = length >= kFieldMax ? 0.0 : ReadDecimal(field, length);
        Literal(delimiter);
    }
    // "%s": the field up to its first NUL, as terminated text would be; empty when too long.
    void Text(std::string_view& dest, char delimiter) {
        size_t length;
        if (const char* field = Field(delimiter, &length)) {
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
    // The field of a delimited conversion, or null when there is none or it is empty.
    const char* Field(char delimiter, size_t* length) {
        if (!Begin())
            return nullptr;
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
        return length >= kFieldMax ? 0 : ReadInteger(text, length, 10);
    }

    const char* in_;
    const char* end_;
    int count_ = 0;
};
