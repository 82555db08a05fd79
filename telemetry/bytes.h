#pragma once
// Fixed-size integers from bytes whose bounds the caller has checked, in the byte order the
// layout names.

#include <cstdint>

inline uint16_t LoadBe16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

inline uint32_t LoadBe32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

inline uint64_t LoadBe64(const char* p) {
    return uint64_t{LoadBe32(p)} << 32 | LoadBe32(p + 4);
}

inline uint32_t LoadLe32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
}
