// DES-CBC against published known answers and against libcrypto's DES, an
// independent implementation, on random keys and buffers.

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cipher/content_key.h"
#include "cipher/des_cipher.h"
#include "cipher/viewer_constants.h"

namespace {

using namespace tavlin;
using Bytes = std::vector<uint8_t>;

DesKey keyOf(uint64_t v) {
    DesKey k{};
    for (int i = 0; i < 8; ++i) k[i] = uint8_t(v >> (56 - 8 * i));
    return k;
}

// Our key rule puts an odd-parity bit in the top bit of each byte, the bit
// standard DES uses; libcrypto must be handed the key after that rule.
DesKey withTopBitParity(DesKey key) {
    for (auto& b : key) {
        int ones = 0;
        for (int i = 0; i < 7; ++i) ones += (b >> i) & 1;
        b = uint8_t((b & 0x7F) | (ones % 2 == 0 ? 0x80 : 0));
    }
    return key;
}

Bytes padded(Bytes data) {
    while (data.size() % 8 != 0) data.push_back(0x0A);
    return data;
}

Bytes libcryptoCbc(const DesKey& key, const Bytes& data, bool encrypt) {
    DES_cblock k;
    std::copy(key.begin(), key.end(), k);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&k, &schedule);
    DES_cblock iv = {0};
    Bytes out(data.size());
    if (!data.empty()) {
        DES_ncbc_encrypt(data.data(), out.data(), long(data.size()), &schedule, &iv, encrypt ? DES_ENCRYPT : DES_DECRYPT);
    }
    return out;
}

Bytes randomBytes(std::mt19937_64& rng, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = uint8_t(rng());
    return b;
}

TEST(DesCipher, PublishedValidationVectors) {
    struct Vector {
        uint64_t key, plain, cipher;
    };
    const Vector vectors[] = {
        {0x0123456789ABCDEF, 0x4E6F772069732074, 0x3FA40E8A984D4815},  // "Now is t"
        {0x133457799BBCDFF1, 0x0123456789ABCDEF, 0x85E813540F0AB405},
        {0x0101010101010101, 0x8000000000000000, 0x95F8A5E5DD31D900},
        {0x0101010101010101, 0x4000000000000000, 0xDD7F121CA5015619},
        {0x0101010101010101, 0x2000000000000000, 0x2E8653104F3834EA},
    };
    for (const auto& v : vectors) {
        DesCipher des;
        des.setKey(keyOf(v.key));
        EXPECT_EQ(des.encryptBlock(v.plain), v.cipher) << std::hex << v.key;
        EXPECT_EQ(des.decryptBlock(v.cipher), v.plain) << std::hex << v.key;

        // One block through the chaining mode is the same (zero chaining value).
        const DesKey block = keyOf(v.plain);
        const Bytes c = des.cipherBuffer(block, CipherDirection::Encrypt);
        const DesKey expected = keyOf(v.cipher);
        EXPECT_EQ(c, Bytes(expected.begin(), expected.end()));
    }
}

TEST(DesCipher, AgreesWithLibcryptoOnRandomKeysAndLengths) {
    std::mt19937_64 rng(20240611);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 72; ++n) lengths.push_back(n);
    for (size_t n : {255, 256, 1000, 4099, 65536, 100003}) lengths.push_back(n);

    for (size_t n : lengths) {
        const DesKey key = keyOf(rng());
        const Bytes plain = randomBytes(rng, n);
        DesCipher des;
        des.setKey(key);
        const DesKey oracleKey = withTopBitParity(key);

        const Bytes ours = des.cipherBuffer(plain, CipherDirection::Encrypt);
        ASSERT_EQ(ours, libcryptoCbc(oracleKey, padded(plain), true)) << "length " << n;
        ASSERT_EQ(des.cipherBuffer(ours, CipherDirection::Decrypt), padded(plain)) << "length " << n;

        // Deciphering data that was never enciphered must agree too.
        const Bytes noise = padded(randomBytes(rng, n));
        ASSERT_EQ(des.cipherBuffer(noise, CipherDirection::Decrypt), libcryptoCbc(oracleKey, noise, false))
            << "length " << n;
    }
}

TEST(DesCipher, PaddingWithLineFeeds) {
    DesCipher des;
    des.setKey(contentKey());
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(des.cipherBuffer(eight, CipherDirection::Encrypt).size(), 8u);
    EXPECT_TRUE(des.cipherBuffer({}, CipherDirection::Encrypt).empty());

    const Bytes nine = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const Bytes c = des.cipherBuffer(nine, CipherDirection::Encrypt);
    ASSERT_EQ(c.size(), 16u);
    const Bytes back = des.cipherBuffer(c, CipherDirection::Decrypt);
    EXPECT_EQ(back, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A, 0x0A}));
    EXPECT_EQ(nine.size(), 9u);  // the input is left alone
}

TEST(DesCipher, TopBitIsParityOverTheLowSevenBits) {
    // "47110815" as DES key bytes after the rule: '0' (two ones) and '5' (four
    // ones) gain a top bit, the other digits have an odd count and keep 0.
    const DesKey ruled = {0x34, 0x37, 0x31, 0x31, 0xB0, 0x38, 0x31, 0xB5};
    std::mt19937_64 rng(7);
    const Bytes plain = randomBytes(rng, 40);
    DesCipher des;
    des.setKey(contentKey());
    EXPECT_EQ(des.cipherBuffer(plain, CipherDirection::Encrypt), libcryptoCbc(ruled, plain, true));

    for (int trial = 0; trial < 32; ++trial) {
        DesKey key = keyOf(rng());
        DesKey flippedTop = key;
        for (auto& b : flippedTop) b ^= uint8_t(rng() & 0x80);
        DesCipher a, b;
        a.setKey(key);
        b.setKey(flippedTop);
        EXPECT_EQ(a.cipherBuffer(plain, CipherDirection::Encrypt), b.cipherBuffer(plain, CipherDirection::Encrypt));

        // The low bit, which standard DES ignores, decides the top bit here.
        DesKey flippedLow = key;
        flippedLow[trial % 8] ^= 0x01;
        b.setKey(flippedLow);
        EXPECT_NE(a.cipherBuffer(plain, CipherDirection::Encrypt), b.cipherBuffer(plain, CipherDirection::Encrypt));
    }
}

TEST(DesCipher, ViewerConstantsMakeTheContentKey) {
    const DesKey key = contentKey();
    EXPECT_EQ(std::string(key.begin(), key.end()), "47110815");
    EXPECT_EQ(viewer::kContentHeaderWord, 0x54564C4Eu);
}

}  // namespace
