#pragma once
// Fixed-width numbers from raw bytes in either byte order. The caller has checked that the
// bytes are there.

#include <cstdint>
#include <cstring>

inline uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

inline uint64_t Be64(const uint8_t* p) {
    return uint64_t{Be32(p)} << 32 | Be32(p + 4);
}

inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[1] << 8 | p[0]);
}

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

inline int32_t Le32Signed(const uint8_t* p) {
    return static_cast<int32_t>(Le32(p));
}

inline float LeFloat(const uint8_t* p) {
    const uint32_t bits = Le32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A four-character code as it appears in the file, first character in the top byte.
constexpr uint32_t FourCc(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint8_t(code[3]);
}
