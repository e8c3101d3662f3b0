#include "cipher/des_cipher.h"

#include <bit>

#include "base/byte_order.h"

namespace tavlin {
namespace {

// The tables of FIPS 46, unchanged. Entries are 1-based bit numbers, bit 1
// being the most significant bit of the first byte.
constexpr std::array<uint8_t, 64> kInitialPermutation = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
    62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
    57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
    61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};

constexpr std::array<uint8_t, 64> kFinalPermutation = {
    40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
    38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
    36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
    34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};

constexpr std::array<uint8_t, 48> kExpansion = {
    32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
    12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
    22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

constexpr std::array<uint8_t, 32> kPermutation = {
    16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::array<uint8_t, 56> kPermutedChoice1 = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
    10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
    63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
    14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::array<uint8_t, 48> kPermutedChoice2 = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10,
    23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
    44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::array<uint8_t, 16> kRotations = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// Row r, column c of box b is kSubstitution[b][16 * r + c].
constexpr uint8_t kSubstitution[8][64] = {
    {14, 4,  13, 1,  2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0,  7,
     0,  15, 7,  4,  14, 2,  13, 1,  10, 6,  12, 11, 9,  5,  3,  8,
     4,  1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,  3,  10, 5,  0,
     15, 12, 8,  2,  4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7,  2,  13, 12, 0,  5,  10,
     3,  13, 4,  7,  15, 2,  8,  14, 12, 0,  1,  10, 6,  9,  11, 5,
     0,  14, 7,  11, 10, 4,  13, 1,  5,  8,  12, 6,  9,  3,  2,  15,
     13, 8,  10, 1,  3,  15, 4,  2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6,  3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,
     13, 7,  0,  9,  3,  4,  6,  10, 2,  8,  5,  14, 12, 11, 15, 1,
     13, 6,  4,  9,  8,  15, 3,  0,  11, 1,  2,  12, 5,  10, 14, 7,
     1,  10, 13, 0,  6,  9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3,  0,  6,  9,  10, 1,  2,  8,  5,  11, 12, 4,  15,
     13, 8,  11, 5,  6,  15, 0,  3,  4,  7,  2,  12, 1,  10, 14, 9,
     10, 6,  9,  0,  12, 11, 7,  13, 15, 1,  3,  14, 5,  2,  8,  4,
     3,  15, 0,  6,  10, 1,  13, 8,  9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0,  14, 9,
     14, 11, 2,  12, 4,  7,  13, 1,  5,  0,  15, 10, 3,  9,  8,  6,
     4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,  6,  3,  0,  14,
     11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11,
     10, 15, 4,  2,  7,  12, 9,  5,  6,  1,  13, 14, 0,  11, 3,  8,
     9,  14, 15, 5,  2,  8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6,
     4,  3,  2,  12, 9,  5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0,  8,  13, 3,  12, 9,  7,  5,  10, 6,  1,
     13, 0,  11, 7,  4,  9,  1,  10, 14, 3,  5,  12, 2,  15, 8,  6,
     1,  4,  11, 13, 12, 3,  7,  14, 10, 15, 6,  8,  0,  5,  9,  2,
     6,  11, 13, 8,  1,  4,  10, 7,  9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2,  8,  4,  6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,
     1,  15, 13, 8,  10, 3,  7,  4,  12, 5,  6,  11, 0,  14, 9,  2,
     7,  11, 4,  1,  9,  12, 14, 2,  0,  6,  10, 13, 15, 3,  5,  8,
     2,  1,  14, 7,  4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Applies a FIPS table to the low inBits bits of a value (bit 1 = the top
// one of those) and returns a value of table.size() bits.
template <size_t N>
constexpr uint64_t permute(uint64_t in, int inBits, const std::array<uint8_t, N>& table) {
    uint64_t out = 0;
    for (size_t i = 0; i < N; ++i) {
        const uint64_t bit = (in >> (inBits - table[i])) & 1;
        out |= bit << (N - 1 - i);
    }
    return out;
}

// One box's output pushed through P, for every six-bit input: the
// substitution and the permutation of a round become eight look-ups.
using SpBoxes = std::array<std::array<uint32_t, 64>, 8>;

constexpr SpBoxes makeSpBoxes() {
    SpBoxes sp{};
    for (int box = 0; box < 8; ++box) {
        for (int v = 0; v < 64; ++v) {
            const int row = ((v >> 4) & 2) | (v & 1);
            const int column = (v >> 1) & 15;
            const uint32_t out = uint32_t(kSubstitution[box][16 * row + column]) << (28 - 4 * box);
            sp[box][v] = uint32_t(permute(out, 32, kPermutation));
        }
    }
    return sp;
}

constexpr SpBoxes kSp = makeSpBoxes();

// The six-bit groups of E(R) are contiguous in R rotated right by one (the
// even groups at bits 26, 18, 10, 2) and rotated left by three (the odd ones).
constexpr uint32_t evenGroups(uint32_t r) { return std::rotr(r, 1); }
constexpr uint32_t oddGroups(uint32_t r) { return std::rotl(r, 3); }
constexpr int kGroupShift[4] = {26, 18, 10, 2};

constexpr bool expansionMatchesTable() {
    for (int b = 0; b < 32; ++b) {
        const uint32_t r = uint32_t(1) << b;
        const uint64_t e = permute(r, 32, kExpansion);
        for (int g = 0; g < 8; ++g) {
            const uint32_t want = uint32_t(e >> (42 - 6 * g)) & 63;
            const uint32_t word = (g % 2 == 0) ? evenGroups(r) : oddGroups(r);
            if (((word >> kGroupShift[g / 2]) & 63) != want) return false;
        }
    }
    return true;
}
static_assert(expansionMatchesTable());

// The initial permutation as five exchanges of bit groups between the halves
// instead of 64 single-bit moves; checked against the table below.
constexpr void initialPermutation(uint32_t& l, uint32_t& r) {
    uint32_t t = ((l >> 4) ^ r) & 0x0F0F0F0F;
    r ^= t;
    l ^= t << 4;
    t = ((l >> 16) ^ r) & 0x0000FFFF;
    r ^= t;
    l ^= t << 16;
    t = ((r >> 2) ^ l) & 0x33333333;
    l ^= t;
    r ^= t << 2;
    t = ((r >> 8) ^ l) & 0x00FF00FF;
    l ^= t;
    r ^= t << 8;
    t = ((l >> 1) ^ r) & 0x55555555;
    r ^= t;
    l ^= t << 1;
}

// The same exchanges in reverse order undo it.
constexpr void finalPermutation(uint32_t& l, uint32_t& r) {
    uint32_t t = ((l >> 1) ^ r) & 0x55555555;
    r ^= t;
    l ^= t << 1;
    t = ((r >> 8) ^ l) & 0x00FF00FF;
    l ^= t;
    r ^= t << 8;
    t = ((r >> 2) ^ l) & 0x33333333;
    l ^= t;
    r ^= t << 2;
    t = ((l >> 16) ^ r) & 0x0000FFFF;
    r ^= t;
    l ^= t << 16;
    t = ((l >> 4) ^ r) & 0x0F0F0F0F;
    r ^= t;
    l ^= t << 4;
}

// Both are bit permutations, so agreeing on every single-bit input proves
// they agree everywhere.
template <size_t N>
constexpr bool exchangesMatchTable(void (*exchange)(uint32_t&, uint32_t&), const std::array<uint8_t, N>& table) {
    for (int b = 0; b < 64; ++b) {
        const uint64_t in = uint64_t(1) << b;
        uint32_t l = uint32_t(in >> 32);
        uint32_t r = uint32_t(in);
        exchange(l, r);
        if (((uint64_t(l) << 32) | r) != permute(in, 64, table)) return false;
    }
    return true;
}
static_assert(exchangesMatchTable(initialPermutation, kInitialPermutation));
static_assert(exchangesMatchTable(finalPermutation, kFinalPermutation));

inline uint32_t roundFunction(uint32_t r, uint32_t evenKey, uint32_t oddKey) {
    const uint32_t e = evenGroups(r) ^ evenKey;
    const uint32_t o = oddGroups(r) ^ oddKey;
    return kSp[0][(e >> 26) & 63] | kSp[2][(e >> 18) & 63] | kSp[4][(e >> 10) & 63] | kSp[6][(e >> 2) & 63] |
           kSp[1][(o >> 26) & 63] | kSp[3][(o >> 18) & 63] | kSp[5][(o >> 10) & 63] | kSp[7][(o >> 2) & 63];
}


constexpr uint8_t kPadByte = 0x0A;

}  // namespace

void DesCipher::setKey(const DesKey& key) {
    uint64_t k = 0;
    for (uint8_t byte : key) {
        const uint8_t low = byte & 0x7F;
        const uint8_t parity = (std::popcount(low) % 2 == 0) ? 0x80 : 0x00;
        k = (k << 8) | (low | parity);
    }
    const uint64_t cd = permute(k, 64, kPermutedChoice1);
    uint32_t c = uint32_t(cd >> 28) & 0x0FFFFFFF;
    uint32_t d = uint32_t(cd) & 0x0FFFFFFF;
    for (int round = 0; round < 16; ++round) {
        const int n = kRotations[round];
        c = ((c << n) | (c >> (28 - n))) & 0x0FFFFFFF;
        d = ((d << n) | (d >> (28 - n))) & 0x0FFFFFFF;
        const uint64_t subkey = permute((uint64_t(c) << 28) | d, 56, kPermutedChoice2);
        RoundKey& rk = rounds_[round];
        rk.even = rk.odd = 0;
        for (int g = 0; g < 8; ++g) {
            const uint32_t group = uint32_t(subkey >> (42 - 6 * g)) & 63;
            (g % 2 == 0 ? rk.even : rk.odd) |= group << kGroupShift[g / 2];
        }
    }
}

uint64_t DesCipher::encryptBlock(uint64_t block) const {
    uint32_t l = uint32_t(block >> 32);
    uint32_t r = uint32_t(block);
    initialPermutation(l, r);
    for (int i = 0; i < 16; i += 2) {
        l ^= roundFunction(r, rounds_[i].even, rounds_[i].odd);
        r ^= roundFunction(l, rounds_[i + 1].even, rounds_[i + 1].odd);
    }
    // The halves swap before the final permutation.
    finalPermutation(r, l);
    return (uint64_t(r) << 32) | l;
}

uint64_t DesCipher::decryptBlock(uint64_t block) const {
    uint32_t l = uint32_t(block >> 32);
    uint32_t r = uint32_t(block);
    initialPermutation(l, r);
    for (int i = 15; i > 0; i -= 2) {
        l ^= roundFunction(r, rounds_[i].even, rounds_[i].odd);
        r ^= roundFunction(l, rounds_[i - 1].even, rounds_[i - 1].odd);
    }
    finalPermutation(r, l);
    return (uint64_t(r) << 32) | l;
}

std::vector<uint8_t> DesCipher::cipherBuffer(std::span<const uint8_t> data, CipherDirection direction) const {
    std::vector<uint8_t> out(data.begin(), data.end());
    out.resize(data.size() + (8 - data.size() % 8) % 8, kPadByte);
    const size_t padded = out.size();

    uint32_t chainHigh = 0;
    uint32_t chainLow = 0;
    uint8_t* p = out.data();
    uint8_t* const end = p + padded;
    if (direction == CipherDirection::Encrypt) {
        for (; p != end; p += 8) {
            uint32_t l = loadBig32(p) ^ chainHigh;
            uint32_t r = loadBig32(p + 4) ^ chainLow;
            initialPermutation(l, r);
            for (int i = 0; i < 16; i += 2) {
                l ^= roundFunction(r, rounds_[i].even, rounds_[i].odd);
                r ^= roundFunction(l, rounds_[i + 1].even, rounds_[i + 1].odd);
            }
            finalPermutation(r, l);
            chainHigh = r;
            chainLow = l;
            storeBig32(p, r);
            storeBig32(p + 4, l);
        }
    } else {
        for (; p != end; p += 8) {
            const uint32_t cipherHigh = loadBig32(p);
            const uint32_t cipherLow = loadBig32(p + 4);
            uint32_t l = cipherHigh;
            uint32_t r = cipherLow;
            initialPermutation(l, r);
            for (int i = 15; i > 0; i -= 2) {
                l ^= roundFunction(r, rounds_[i].even, rounds_[i].odd);
                r ^= roundFunction(l, rounds_[i - 1].even, rounds_[i - 1].odd);
            }
            finalPermutation(r, l);
            storeBig32(p, r ^ chainHigh);
            storeBig32(p + 4, l ^ chainLow);
            chainHigh = cipherHigh;
            chainLow = cipherLow;
        }
    }
    return out;
}

}  // namespace tavlin
