#include "media/video/ncrf_escape.h"

#include <gtest/gtest.h>

#include <random>

namespace tavlin {
namespace {

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(NcrfEscape, WrapsLineBreaksAndTheEscapeByteAndRoundTripsEveryByte) {
    EXPECT_EQ(NcrfEscape::wrap(bytes("a\nb\r\x01z")), bytes("NCRFa\x01\x03" "b\x01\x02\x01\x01z"));
    std::mt19937 rng(7);
    for (int len : {0, 1, 2, 255, 4096}) {
        std::vector<uint8_t> data(len);
        for (auto& b : data) b = uint8_t(rng());
        auto wrapped = NcrfEscape::wrap(data);
        for (size_t i = 4; i < wrapped.size(); ++i) {
            ASSERT_NE(wrapped[i], '\n');
            ASSERT_NE(wrapped[i], '\r');
        }
        EXPECT_EQ(NcrfEscape::unwrap(wrapped), data);
    }
}

TEST(NcrfEscape, UnwrapIgnoresStrayLineBreaksAndPassesPlainDataThrough) {
    EXPECT_EQ(NcrfEscape::unwrap(bytes("NCRFa\r\n\x01\n\x03" "b\x01x")), bytes("a\nbx"));
    EXPECT_EQ(NcrfEscape::unwrap(bytes("plain\ntext")), bytes("plain\ntext"));
    EXPECT_EQ(NcrfEscape::unwrap(bytes("NCR")), bytes("NCR"));
    // A lone escape byte at the very end stands for nothing.
    EXPECT_EQ(NcrfEscape::unwrap(bytes("NCRFab\x01")), bytes("ab"));
}

}  // namespace
}  // namespace tavlin
