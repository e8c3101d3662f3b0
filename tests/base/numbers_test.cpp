// The leading-number rule against the C library's own parsers, which the
// program's readers once used: the same answers on hostile texts.

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "base/byte_order.h"
#include "base/numbers.h"

namespace tavlin {
namespace {

// strtoll's answer, which saturates at the int64 range.
std::optional<int64_t> cLeading(const std::string& s, size_t* end) {
    const char* begin = s.c_str();
    char* stop = nullptr;
    errno = 0;
    long long v = std::strtoll(begin, &stop, 10);
    if (stop == begin) return std::nullopt;
    *end = size_t(stop - begin);
    return v;
}

std::string randomNumberText(std::mt19937& rng) {
    static const char kAlphabet[] = " \t\n\v\f\r+-0123456789x9a";
    std::string s;
    int n = int(rng() % 30);
    for (int i = 0; i < n; ++i) s.push_back(kAlphabet[rng() % (sizeof kAlphabet - 1)]);
    if (rng() % 4 == 0) s = std::string(rng() % 3, ' ') + (rng() % 2 ? "-" : "") + std::string(1 + rng() % 40, '9');
    return s;
}

TEST(Numbers, LeadingNumberMatchesStrtoll) {
    std::mt19937 rng(11);
    for (int round = 0; round < 20000; ++round) {
        std::string s = randomNumberText(rng);
        size_t cEnd = 0, end = 0;
        auto expected = cLeading(s, &cEnd);
        auto got = parseLeadingInt(s, &end);
        ASSERT_EQ(got.has_value(), expected.has_value()) << '"' << s << '"';
        if (!got) continue;
        EXPECT_EQ(*got, *expected) << '"' << s << '"';
        EXPECT_EQ(end, cEnd) << '"' << s << '"';
        EXPECT_EQ(leadingInt32(s), int32_t(std::clamp<long long>(*expected, INT32_MIN, INT32_MAX))) << s;
    }
    EXPECT_EQ(leadingInt32("abc", -7), -7);
    EXPECT_EQ(leadingInt32("12abc"), 12);
    EXPECT_EQ(leadingInt64("  -99999999999999999999999"), INT64_MIN);
    EXPECT_EQ(leadingInt64("+-5", 3), 3);
}

TEST(Numbers, DigitsHexAndWholeNumbers) {
    size_t end = 0;
    EXPECT_EQ(leadingDigits("0042 x", &end), 42);
    EXPECT_EQ(end, 4u);
    EXPECT_EQ(leadingDigits("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(leadingDigits(" 5", &end), 0);
    EXPECT_EQ(end, 0u);

    std::mt19937 rng(3);
    for (int round = 0; round < 5000; ++round) {
        uint32_t v = rng();
        char buf[16];
        std::snprintf(buf, sizeof buf, round % 2 ? "%x" : " 0X%X", v);
        EXPECT_EQ(parseLeadingHex(buf), v) << buf;
    }
    EXPECT_EQ(parseLeadingHex("ff8080zz"), 0xff8080u);
    EXPECT_EQ(parseLeadingHex("0x"), std::nullopt);
    EXPECT_EQ(parseLeadingHex("g"), std::nullopt);
    // Beyond eight digits the low 32 bits stay, as a shifting reader keeps them.
    EXPECT_EQ(parseLeadingHex("123456789a"), 0x3456789au);

    EXPECT_EQ(parseWholeInt("75", 1, 100), 75);
    EXPECT_EQ(parseWholeInt("75x", 1, 100), std::nullopt);
    EXPECT_EQ(parseWholeInt("101", 1, 100), std::nullopt);
    EXPECT_EQ(parseWholeInt("", 1, 100), std::nullopt);
    EXPECT_EQ(parseWholeInt("99999999999999999999", 1, 100), std::nullopt);
}

TEST(Numbers, SaturatingConversions) {
    EXPECT_EQ(saturateToInt32(int64_t(INT32_MAX) + 1), INT32_MAX);
    EXPECT_EQ(saturateToInt32(INT64_MIN), INT32_MIN);
    EXPECT_EQ(saturateToInt32(-5), -5);
    EXPECT_EQ(truncToInt32(std::nan("")), 0);
    EXPECT_EQ(truncToInt32(1e300), INT32_MAX);
    EXPECT_EQ(truncToInt32(-1e300), INT32_MIN);
    EXPECT_EQ(truncToInt32(-2.9), -2);
    EXPECT_EQ(truncToInt32(2147483646.9), 2147483646);
}

TEST(ByteOrder, RoundTripsBothOrders) {
    std::mt19937 rng(9);
    for (int i = 0; i < 1000; ++i) {
        uint32_t v = rng();
        std::vector<uint8_t> big, little;
        appendBig32(big, v);
        appendBig16(big, v);
        appendLittle16(little, v);
        ASSERT_EQ(big.size(), 6u);
        EXPECT_EQ(loadBig32(big.data()), v);
        EXPECT_EQ(loadBig16(big.data() + 4), uint16_t(v));
        EXPECT_EQ(loadLittle16(little.data()), uint16_t(v));
        uint8_t b[4];
        storeBig32(b, v);
        EXPECT_EQ(loadBig32(b), v);
        EXPECT_EQ(loadLittle32(b), __builtin_bswap32(v));
    }
}

}  // namespace
}  // namespace tavlin
