#pragma once
// Finding sentences in bytes: the framer, the classifier, and the one pass over a line that
// gives the framer's answer for the usual line without running it.

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
// time while none of them is below "+", which every byte the framer looks for is.
inline LineScan ScanLine(const char* p, size_t count) {
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
    uint64_t words = 0;
    uint8_t bytes = 0;
    size_t i = 1;
    while (i < count) {
        for (; i + 8 <= count; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (((w - kOnes * '+') & ~w & kHighs) != 0)
                break;
            words ^= w;
        }
        const size_t stop = i + 8 < count ? i + 8 : count;
        for (; i < stop; ++i) {
            const auto c = static_cast<uint8_t>(p[i]);
            if (c < '+') {
                if (c == '\n') {
                    scan.lf = i;
                    return scan;
                }
                if (c == '*' && scan.star == kNotFound) {
                    words ^= words >> 32;
                    words ^= words >> 16;
                    words ^= words >> 8;
                    scan.star = i;
                    scan.checksum = static_cast<uint8_t>(bytes ^ static_cast<uint8_t>(words));
                } else if (c == '$' && scan.dollar == kNotFound) {
                    scan.dollar = i;
                } else if (c == '\0' && scan.nul == kNotFound) {
                    scan.nul = i;
                }
            }
            bytes ^= c;
        }
    }
    return scan;
}
