#pragma once
// Finding sentences in bytes: the framer, the classifier, and the one pass over a line that
// gives the framer's answer for the usual line without running it.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "track/track_sample.h"

struct FrameResult {
    size_t length;  // 0: no complete sentence yet
    bool accepted;  // checksum matched (or was 00)
};

// Framing of one sentence; the first byte is taken to be its "$" and is not examined.
FrameResult FrameSentence(const char* bytes, size_t count);

// A hex digit's value, -1 for any other character.
int HexDigit(char c);

// The two characters after the "*" read as hex (reading stops at a non-hex character)
// against the computed checksum; 0 always passes.
bool ChecksumAccepted(const char* digits, uint8_t checksum);

// The bytes after the "$" to a kind, or kSentenceNone.
SentenceKind ClassifySentence(const char* bytes, size_t count);

inline constexpr size_t kNotFound = SIZE_MAX;

// What one pass over a line finds, up to and including its first line feed.
struct LineScan {
    size_t lf = kNotFound;
    size_t star = kNotFound;    // first "*" after the first byte
    size_t dollar = kNotFound;  // first "$" after the first byte
    size_t nul = kNotFound;
    uint8_t checksum = 0;  // exclusive-or of the bytes between the first byte and the star
};

// Scans at most count bytes, stopping after the first line feed. Eight bytes are taken at a
// time; every byte the framer looks for is below "+", so only those bytes are looked at one by
// one.
inline LineScan ScanLine(const char* p, size_t count) {
    static_assert(std::endian::native == std::endian::little);
    constexpr uint64_t kOnes = 0x0101010101010101;
    constexpr uint64_t kHighs = kOnes * 0x80;
    LineScan scan;
    if (count == 0)
        return scan;
    if (p[0] == '\n') {
        scan.lf = 0;
        return scan;
    }
    if (p[0] == '\0')
        scan.nul = 0;
    uint64_t lanes = 0;  // the exclusive-or of the bytes from the second one, in eight lanes
    size_t i = 1;
    while (i < count) {
        if (i + 8 <= count) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            // The lowest flagged byte is exactly the first one below "+".
            const uint64_t below = (w - kOnes * '+') & ~w & kHighs;
            if (below == 0) {
                lanes ^= w;
                i += 8;
                continue;
            }
            const int plain = std::countr_zero(below) / 8;
            lanes ^= w & ((uint64_t{1} << (8 * plain)) - 1);
            i += static_cast<size_t>(plain);
        }
        const auto c = static_cast<uint8_t>(p[i]);
        if (c < '+') {
            if (c == '\n') {
                scan.lf = i;
                return scan;
            }
            if (c == '*' && scan.star == kNotFound) {
                uint64_t fold = lanes ^ (lanes >> 32);
                fold ^= fold >> 16;
                fold ^= fold >> 8;
                scan.star = i;
                scan.checksum = static_cast<uint8_t>(fold);
            } else if (c == '$' && scan.dollar == kNotFound) {
                scan.dollar = i;
            } else if (c == '\0' && scan.nul == kNotFound) {
                scan.nul = i;
            }
        }
        lanes ^= c;
        ++i;
    }
    return scan;
}
