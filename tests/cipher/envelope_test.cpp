// The key envelope: what it accepts, and that damaged, wrongly keyed or lying
// input fails with a reason instead of reading past the data.

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <random>

#include "cipher/content_key.h"
#include "cipher/envelope.h"
#include "support/scratch.h"

namespace {

using namespace tavlin;
using Bytes = std::vector<uint8_t>;

// An envelope whose length word says what the test wants, whatever follows.
Bytes envelopeClaiming(int32_t length, const Bytes& payload, const DesKey& key) {
    const auto l = uint32_t(length);
    Bytes plain = {uint8_t(l >> 24), uint8_t(l >> 16), uint8_t(l >> 8), uint8_t(l)};
    plain.insert(plain.end(), payload.begin(), payload.end());
    plain.insert(plain.end(), key.begin(), key.end());
    DesCipher des;
    des.setKey(key);
    return des.cipherBuffer(plain, CipherDirection::Encrypt);
}

Bytes counting(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 7 + 1);
    return b;
}

TEST(Envelope, RoundTripsPayloadsOfAnyLength) {
    for (size_t n : {0, 1, 3, 4, 7, 8, 12, 13, 100, 4096}) {
        const Bytes payload = counting(n);
        auto sealed = sealEnvelope(payload, kSideFormatKey);
        ASSERT_TRUE(sealed);
        EXPECT_EQ(sealed.value().size() % 8, 0u);
        auto opened = openEnvelope(sealed.value(), kSideFormatKey);
        ASSERT_TRUE(opened) << opened.reason();
        EXPECT_EQ(opened.value(), payload);
    }
}

TEST(Envelope, RefusesAnyOtherKey) {
    const Bytes sealed = sealEnvelope(counting(50), kSideFormatKey).value();
    for (int i = 0; i < 8; ++i) {
        for (uint8_t flip : {uint8_t(0x01), uint8_t(0x80)}) {
            DesKey other = kSideFormatKey;
            other[i] ^= flip;
            // A top-bit flip gives the same schedule, so only the stored key
            // bytes can tell; they must.
            auto opened = openEnvelope(sealed, other);
            EXPECT_FALSE(opened) << "byte " << i << " flip " << int(flip);
            EXPECT_FALSE(opened.reason().empty());
        }
    }
    EXPECT_FALSE(openEnvelope(sealed, contentKey()));
}

TEST(Envelope, LengthsThatLieAreRefused) {
    const Bytes payload = counting(20);
    const DesKey key = kSideFormatKey;
    EXPECT_TRUE(openEnvelope(envelopeClaiming(20, payload, key), key));
    // Every claim from the true one up to what the padded data could hold is
    // refused by the key check or the size check, never by reading past the end.
    for (int32_t claim : {21, 24, 25, 40, -1, -20, INT32_MIN, INT32_MAX, INT32_MAX - 11, INT32_MAX - 3}) {
        auto opened = openEnvelope(envelopeClaiming(claim, payload, key), key);
        EXPECT_FALSE(opened) << claim;
    }
    auto negative = openEnvelope(envelopeClaiming(-1, payload, key), key);
    EXPECT_EQ(negative.failure(), Failure::LengthMismatch);
    // A shorter claim moves the key check onto payload bytes.
    EXPECT_EQ(openEnvelope(envelopeClaiming(19, payload, key), key).failure(), Failure::KeyMismatch);
}

TEST(Envelope, TruncatedDamagedOrForeignDataFailsCleanly) {
    const Bytes payload = counting(200);
    const Bytes sealed = sealEnvelope(payload, kSideFormatKey).value();

    for (size_t cut = 0; cut < sealed.size(); cut += 3) {
        Bytes part(sealed.begin(), sealed.begin() + cut);
        EXPECT_FALSE(openEnvelope(part, kSideFormatKey)) << "cut to " << cut;
    }
    for (size_t at = 0; at < sealed.size(); at += 13) {
        Bytes damaged = sealed;
        damaged[at] ^= 0x10;
        auto opened = openEnvelope(damaged, kSideFormatKey);
        // Damage in the payload's blocks may leave the envelope's check intact;
        // what is returned then is never longer than what was sealed.
        if (opened) {
            EXPECT_EQ(opened.value().size(), payload.size());
        }
    }
    std::mt19937_64 rng(99);
    for (size_t n = 0; n < 300; n += 1 + n / 8) {
        Bytes noise(n);
        for (auto& b : noise) b = uint8_t(rng());
        EXPECT_FALSE(openEnvelope(noise, kSideFormatKey)) << n;
    }
    // A plain, never enciphered envelope.
    Bytes plain = {0, 0, 0, 1, 'x'};
    plain.insert(plain.end(), kSideFormatKey.begin(), kSideFormatKey.end());
    EXPECT_FALSE(openEnvelope(plain, kSideFormatKey));
}

TEST(Envelope, ReadEncipheredFromFiles) {
    test::ScratchDir dir;
    const Bytes payload = counting(333);
    const Bytes sealed = sealEnvelope(payload, kSideFormatKey).value();
    const std::string good = dir.write("main.dat", std::string(sealed.begin(), sealed.end()));
    auto read = readEnciphered(good);
    ASSERT_TRUE(read) << read.reason();
    EXPECT_EQ(read.value(), payload);

    const Bytes foreign = sealEnvelope(payload, contentKey()).value();
    auto wrong = readEnciphered(dir.write("foreign.dat", std::string(foreign.begin(), foreign.end())));
    EXPECT_FALSE(wrong);
    EXPECT_NE(wrong.reason().find("foreign.dat"), std::string::npos);

    EXPECT_EQ(readEnciphered(dir.write("empty.dat", "")).failure(), Failure::KeyMismatch);
    EXPECT_EQ(readEnciphered(dir.file("missing.dat")).failure(), Failure::CannotRead);
    EXPECT_EQ(readEnciphered(dir.path()).failure(), Failure::CannotRead);
}

}  // namespace
