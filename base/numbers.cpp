#include "base/numbers.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace tavlin {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

size_t skipSpace(std::string_view text) {
    size_t p = 0;
    while (p < text.size() && isSpace(text[p])) ++p;
    return p;
}

}  // namespace

int32_t truncToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

std::optional<int64_t> parseLeadingInt(std::string_view text, size_t* end) {
    size_t p = skipSpace(text);
    bool negative = false;
    // from_chars takes a minus sign but no plus sign.
    if (p < text.size() && text[p] == '+') ++p;
    else if (p < text.size() && text[p] == '-') negative = true;
    if (p + (negative ? 1 : 0) >= text.size() || !isDigit(text[p + (negative ? 1 : 0)])) return std::nullopt;
    const char* first = text.data() + p;
    int64_t v = 0;
    auto res = std::from_chars(first, text.data() + text.size(), v);
    if (res.ec == std::errc::result_out_of_range)
        v = negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    if (end) *end = size_t(res.ptr - text.data());
    return v;
}

int32_t leadingInt32(std::string_view text, int32_t fallback) {
    auto v = parseLeadingInt(text);
    return v ? saturateToInt32(*v) : fallback;
}

int64_t leadingInt64(std::string_view text, int64_t fallback) { return parseLeadingInt(text).value_or(fallback); }

int32_t leadingDigits(std::string_view text, size_t* end) {
    size_t p = 0;
    while (p < text.size() && isDigit(text[p])) ++p;
    if (end) *end = p;
    if (p == 0) return 0;
    int64_t v = 0;
    auto res = std::from_chars(text.data(), text.data() + p, v);
    if (res.ec == std::errc::result_out_of_range) return std::numeric_limits<int32_t>::max();
    return saturateToInt32(v);
}

std::optional<uint32_t> parseLeadingHex(std::string_view text) {
    size_t p = skipSpace(text);
    if (p + 1 < text.size() && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X')) p += 2;
    size_t q = p;
    while (q < text.size() && std::isxdigit(static_cast<unsigned char>(text[q]))) ++q;
    if (q == p) return std::nullopt;
    // Digits beyond the eighth from the right only shift out of 32 bits.
    if (q - p > 8) p = q - 8;
    uint32_t v = 0;
    std::from_chars(text.data() + p, text.data() + q, v, 16);
    return v;
}

std::optional<int64_t> parseWholeInt(std::string_view text, int64_t lo, int64_t hi) {
    int64_t v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || v < lo || v > hi) return std::nullopt;
    return v;
}

}  // namespace tavlin
