#pragma once
// DES (FIPS 46) in cipher block chaining mode over whole in-memory buffers,
// with line-feed padding and a zero chaining value: the form the content
// file and the side-format files are enciphered in.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tavlin {

using DesKey = std::array<uint8_t, 8>;

enum class CipherDirection { Encrypt, Decrypt };

// Eight key bytes from an eight-character literal, without its terminator.
constexpr DesKey desKeyFromText(const char (&text)[9]) {
    DesKey key{};
    for (int i = 0; i < 8; ++i) key[i] = uint8_t(text[i]);
    return key;
}

class DesCipher {
public:
    // The top bit of every key byte is replaced by an odd-parity bit over the
    // low seven bits before the schedule is built, so keys that differ only in
    // their top bits cipher alike.
    void setKey(const DesKey& key);

    // A new buffer of the input rounded up to whole 8-byte blocks, padded with
    // 0x0A, and ciphered in CBC mode from a zero chaining value. Deciphering
    // leaves the padding at the end; callers that know the true length drop it.
    std::vector<uint8_t> cipherBuffer(std::span<const uint8_t> data, CipherDirection direction) const;

    // One block, no chaining; big-endian: byte 0 is the top byte.
    uint64_t encryptBlock(uint64_t block) const;
    uint64_t decryptBlock(uint64_t block) const;

private:
    // Each round key split into the four even and four odd six-bit groups,
    // placed where the round function meets them, so a round costs two XORs
    // and eight table look-ups.
    struct RoundKey {
        uint32_t even = 0;
        uint32_t odd = 0;
    };
    std::array<RoundKey, 16> rounds_{};
};

}  // namespace tavlin
