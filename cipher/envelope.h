#pragma once
// The envelope of the side-format files: a big-endian length, the payload and
// the key again, enciphered together. Finding the key after the payload shows
// the key was right and the length is true.

#include <span>
#include <string>
#include <vector>

#include "base/result.h"
#include "cipher/des_cipher.h"

namespace tavlin {

inline constexpr DesKey kSideFormatKey = desKeyFromText("52807713");

// The payload, or why not: a key that does not match (wrong key, damage, or
// data that was never enciphered) or a length that is negative or runs past
// the data.
Result<std::vector<uint8_t>> openEnvelope(std::span<const uint8_t> data, const DesKey& key);

// The enciphering side, for tools and tests that make such files. Fails only
// for a payload too long for the length word.
Result<std::vector<uint8_t>> sealEnvelope(std::span<const uint8_t> payload, const DesKey& key);

// Reads a whole side-format file and opens its envelope with the side-format key.
Result<std::vector<uint8_t>> readEnciphered(const std::string& path);

}  // namespace tavlin
