#include "track/sentence_framing.h"

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ChecksumAccepted(const char* digits, uint8_t checksum) {
    unsigned given = 0;
    for (int i = 0; i < 2; ++i) {
        const int digit = HexDigit(digits[i]);
        if (digit < 0)
            break;
        given = given * 16 + static_cast<unsigned>(digit);
    }
    return given == checksum || given == 0;
}

FrameResult FrameSentence(const char* bytes, size_t count) {
    if (count < 2)
        return {0, false};
    const char* body = bytes + 1;
    const size_t body_length = count - 1;
    const void* star_hit = std::memchr(body, '*', body_length);
    const size_t star = star_hit != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(star_hit) - body) + 1
                            : count;
    // A later "$" before the "*" starts a new sentence.
    if (const void* dollar = std::memchr(body, '$', star - 1)) {
        return {static_cast<size_t>(static_cast<const char*>(dollar) - body) + 1, false};
    }
    if (star == count || count - star < 5)
        return {0, false};
    if (bytes[star + 3] != '\n' || bytes[star + 4] != '\r')
        return {0, false};
    uint8_t checksum = 0;
    for (size_t i = 1; i < star; ++i) checksum ^= static_cast<uint8_t>(bytes[i]);
    return {star + 5, ChecksumAccepted(bytes + star + 1, checksum)};
}

SentenceKind ClassifySentence(const char* bytes, size_t count) {
    if (count < 5 || bytes[0] != 'G')
        return kSentenceNone;
    // The four letters after the G, as one word.
    constexpr auto kWord = [](const char* letters) {
        return static_cast<uint32_t>(static_cast<uint8_t>(letters[0])) |
               static_cast<uint32_t>(static_cast<uint8_t>(letters[1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(letters[2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(letters[3])) << 24;
    };
    switch (kWord(bytes + 1)) {
        case kWord("PGGA"):
            return kSentenceGga;
        case kWord("PGSA"):
            return kSentenceGsa;
        case kWord("PGSV"):
            return kSentenceGsv;
        case kWord("PRMC"):
            return kSentenceRmc;
        case kWord("PVTG"):
            return kSentenceVtg;
        case kWord("SENS"):
            return kSentenceGsensor;
        default:
            return kSentenceNone;
    }
}
