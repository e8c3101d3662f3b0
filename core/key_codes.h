#pragma once
// Key codes as windows receive them: control characters for editing and
// movement keys, Ctrl+letter as 1..26, and printable characters as
// themselves.

#include <cstdint>

namespace tavlin {

namespace Key {
constexpr int32_t Home = 1;
constexpr int32_t Left = 2;
constexpr int32_t Delete = 4;
constexpr int32_t End = 5;
constexpr int32_t Right = 6;
constexpr int32_t Backspace = 8;
constexpr int32_t Tab = 9;
constexpr int32_t Enter = 13;
constexpr int32_t Down = 14;
constexpr int32_t Up = 16;
constexpr int32_t Escape = 27;
// Ctrl plus a letter 'A'..'Z'.
constexpr int32_t ctrl(char letter) { return int32_t(letter - 'A' + 1); }
}  // namespace Key

}  // namespace tavlin
