#include "media/video/ncrf_escape.h"

#include <cstring>

namespace tavlin {

namespace {
constexpr uint8_t kEscape = 0x01;
}  // namespace

bool NcrfEscape::isWrapped(std::span<const uint8_t> data) {
    return data.size() >= 4 && std::memcmp(data.data(), kPrefix, 4) == 0;
}

std::vector<uint8_t> NcrfEscape::wrap(std::span<const uint8_t> data) {
    std::vector<uint8_t> out(kPrefix, kPrefix + 4);
    out.reserve(data.size() + data.size() / 64 + 4);
    escape(data, out);
    return out;
}

void NcrfEscape::escape(std::span<const uint8_t> data, std::vector<uint8_t>& out) {
    for (uint8_t b : data) {
        switch (b) {
            case kEscape: out.push_back(kEscape), out.push_back(1); break;
            case '\r': out.push_back(kEscape), out.push_back(2); break;
            case '\n': out.push_back(kEscape), out.push_back(3); break;
            default: out.push_back(b);
        }
    }
}

std::vector<uint8_t> NcrfEscape::unwrap(std::span<const uint8_t> data) {
    if (!isWrapped(data)) return std::vector<uint8_t>(data.begin(), data.end());
    std::vector<uint8_t> out;
    out.reserve(data.size() - 4);
    // Line breaks that a transfer slipped in are not part of the data, even
    // between an escape byte and the byte it escapes.
    bool escaped = false;
    for (size_t i = 4; i < data.size(); ++i) {
        uint8_t b = data[i];
        if (b == '\r' || b == '\n') continue;
        if (escaped) {
            out.push_back(b == 1 ? kEscape : b == 2 ? '\r' : b == 3 ? '\n' : b);
            escaped = false;
        } else if (b == kEscape) {
            escaped = true;
        } else {
            out.push_back(b);
        }
    }
    return out;
}

}  // namespace tavlin
