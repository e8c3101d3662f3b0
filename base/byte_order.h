#pragma once
// Reading and writing fixed-width integers in a stated byte order, whatever
// the machine's own order is.

#include <cstdint>
#include <string>
#include <vector>

namespace tavlin {

inline uint16_t loadLittle16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t loadLittle32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t loadBig16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t loadBig32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline void storeLittle16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void storeBig32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Appends to a byte buffer (std::string or std::vector<uint8_t>).
template <typename Bytes>
void appendLittle16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<typename Bytes::value_type>(v & 0xFF));
    out.push_back(static_cast<typename Bytes::value_type>(v >> 8 & 0xFF));
}
template <typename Bytes>
void appendBig16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<typename Bytes::value_type>(v >> 8 & 0xFF));
    out.push_back(static_cast<typename Bytes::value_type>(v & 0xFF));
}
template <typename Bytes>
void appendBig32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<typename Bytes::value_type>(v >> shift & 0xFF));
}

}  // namespace tavlin
