#include "media/audio/mulaw.h"

#include <gtest/gtest.h>

namespace tavlin {
namespace {

TEST(MuLawTest, KnownCodesAndTheirDecodings) {
    EXPECT_EQ(muLawEncode(0), 0xFF);
    EXPECT_EQ(muLawDecode(0xFF), 0);
    EXPECT_EQ(muLawEncode(32767), 0x81);
    EXPECT_EQ(muLawDecode(0x81), 30037);
    EXPECT_EQ(muLawEncode(-32768), 0x00);
    EXPECT_EQ(muLawDecode(0x00), -31373);
    EXPECT_EQ(muLawEncode(1000), 0xCE);
    EXPECT_EQ(muLawDecode(0xCE), 945);
    EXPECT_EQ(muLawDecode(0x80), 31373);
    // The continuous curve, not the telephone table (which gives 0x8F for 1000).
    EXPECT_EQ(muLawEncode(-1000), 0x4E);
    EXPECT_EQ(muLawDecode(0x4E), -945);
}

TEST(MuLawTest, CurveIsSymmetricAndMonotonic) {
    for (int s = 1; s <= 32767; ++s) {
        ASSERT_EQ(muLawEncode(int16_t(-s)), muLawEncode(int16_t(s)) & 0x7F) << s;
        ASSERT_LE(uint8_t(~muLawEncode(int16_t(s - 1))), uint8_t(~muLawEncode(int16_t(s)))) << s;
    }
    for (int m = 1; m < 128; ++m) {
        uint8_t code = uint8_t(~m);
        ASSERT_GT(muLawDecode(code), muLawDecode(uint8_t(~(m - 1)))) << m;
        ASSERT_EQ(muLawDecode(code & 0x7F), -muLawDecode(code)) << m;
        // Decoding lands on the code's own step: encoding it again never
        // moves to a higher code.
        ASSERT_LE(uint8_t(~muLawEncode(muLawDecode(code))), m) << m;
        ASSERT_GE(uint8_t(~muLawEncode(muLawDecode(code))), m - 1) << m;
    }
}

}  // namespace
}  // namespace tavlin
