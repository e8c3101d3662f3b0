#include "media/audio/mulaw.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace tavlin {

namespace {

uint8_t encodeExact(int32_t s) {
    uint8_t sign = s < 0 ? 0x80 : 0;
    int32_t x = std::abs(s);  // 32768 for -32768
    int m = int(127.0 * std::log(1.0 + 255.0 * x / 32768.0) / std::log(256.0));
    if (m > 127) m = 127;
    if (m < 0) m = 0;
    return uint8_t(~(m | sign));
}

int16_t decodeExact(uint8_t b) {
    uint8_t n = uint8_t(~b);
    int m = n & 0x7F;
    int v = int((std::pow(256.0, m / 128.0) - 1.0) * 128.50196078431372);
    return int16_t((n & 0x80) ? -v : v);
}

// Every sample has a fixed code, so both directions are tables built once.
struct Tables {
    std::array<uint8_t, 65536> encode{};
    std::array<int16_t, 256> decode{};
    Tables() {
        for (int32_t s = -32768; s <= 32767; ++s) encode[size_t(s + 32768)] = encodeExact(s);
        for (int b = 0; b < 256; ++b) decode[size_t(b)] = decodeExact(uint8_t(b));
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

}  // namespace

uint8_t muLawEncode(int16_t sample) { return tables().encode[size_t(int32_t(sample) + 32768)]; }

int16_t muLawDecode(uint8_t code) { return tables().decode[code]; }

}  // namespace tavlin
