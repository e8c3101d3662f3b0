#pragma once
// A sound held in the program's one internal form: signed 16-bit little-endian
// mono samples at 8000 Hz. The length is always even.

#include <cstdint>
#include <vector>

namespace tavlin {

struct Sound {
    std::vector<uint8_t> data;  // raw sample bytes
    uint32_t length() const { return uint32_t(data.size()); }
    size_t sampleCount() const { return data.size() / 2; }
    int16_t sample(size_t i) const { return int16_t(uint16_t(data[2 * i]) | uint16_t(data[2 * i + 1]) << 8); }
};

}  // namespace tavlin
