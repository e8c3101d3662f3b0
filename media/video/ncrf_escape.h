#pragma once
// The "NCRF" wrapping that keeps line-break bytes out of a file: frame lists
// and the content file go through it, so that transfers that rewrite line
// ends cannot damage them.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavlin {

class NcrfEscape {
public:
    // "NCRF", then each byte with 0x01 written as 01 01, CR as 01 02 and LF as
    // 01 03.
    static std::vector<uint8_t> wrap(std::span<const uint8_t> data);
    // The bytes of wrap without the prefix, appended to `out`: a long text
    // can be wrapped piece by piece after a prefix of its own.
    static void escape(std::span<const uint8_t> data, std::vector<uint8_t>& out);
    static constexpr char kPrefix[] = "NCRF";
    // Undoes wrap. Data without the prefix is returned as it is; raw CR and LF
    // inside wrapped data are dropped, and 01 x for another x gives x.
    static std::vector<uint8_t> unwrap(std::span<const uint8_t> data);
    static bool isWrapped(std::span<const uint8_t> data);
};

}  // namespace tavlin
