#pragma once
// The mu-law coding of published sounds: the continuous mu = 255 curve (not
// the segmented telephone table), with the encoder and decoder on slightly
// different scales. The viewer decodes exactly these bytes, so keep them.

#include <cstdint>

namespace tavlin {

// Silence encodes to 0xFF; 0x80 and 0x00 are the largest positive and
// negative codes.
uint8_t muLawEncode(int16_t sample);
int16_t muLawDecode(uint8_t code);

}  // namespace tavlin
