#pragma once
// Numbers as the program has always read them, and conversions that saturate
// instead of overflowing.
//
// The leading-number rule: white space (space, tab, CR, LF, VT, FF) is
// skipped, an optional sign and decimal digits are read, and whatever follows
// is ignored ("12abc" is 12). Values beyond the target type saturate.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace tavlin {

// int64 to int32, clamped to the int32 range.
constexpr int32_t saturateToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

// Truncation toward zero that saturates instead of overflowing; NaN is 0.
int32_t truncToInt32(double v);

// The leading number of `text`, saturated to int64, or nothing when `text`
// does not start (after white space) with one. `end` receives the index just
// past the digits.
std::optional<int64_t> parseLeadingInt(std::string_view text, size_t* end = nullptr);

// The leading number saturated to int32, or `fallback` when there is none
// (atoi's answer with a fallback of 0).
int32_t leadingInt32(std::string_view text, int32_t fallback = 0);
// The same over the full int64 range.
int64_t leadingInt64(std::string_view text, int64_t fallback = 0);

// Leading decimal digits only (no white space, no sign), saturated to int32;
// `end` receives the index past them. 0 when there are none.
int32_t leadingDigits(std::string_view text, size_t* end = nullptr);

// A leading hexadecimal number: white space skipped, an optional "0x" or
// "0X", then hexadecimal digits; more than eight digits keep the low 32 bits.
// Nothing when no digit follows.
std::optional<uint32_t> parseLeadingHex(std::string_view text);

// The whole text as a decimal number within [lo, hi]; nothing when anything
// else is there (for command-line options, where "12abc" is a mistake).
std::optional<int64_t> parseWholeInt(std::string_view text, int64_t lo, int64_t hi);

}  // namespace tavlin
