#pragma once
// Values the web viewer must know to read a publication. They are a contract
// with the viewer: change them here and in the viewer together, or published
// content stops opening.

#include <cstdint>

namespace tavlin::viewer {

// The content key is the decimal text of first * 10000 + second, eight digits
// with leading zeros: "47110815".
inline constexpr int kContentKeyFirst = 4711;
inline constexpr int kContentKeySecond = 815;

// The first word of the content file's deciphered stream ("TVLN").
inline constexpr uint32_t kContentHeaderWord = 0x54564C4E;

}  // namespace tavlin::viewer
