#include "document/project_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavlin {
namespace {

struct Rec {
    std::string keyword, value;
    bool operator==(const Rec&) const = default;
};

std::vector<Rec> records(std::string_view text) {
    std::vector<Rec> out;
    ProjectReader r(text);
    while (r.next()) out.push_back({std::string(r.keyword()), std::string(r.value())});
    return out;
}

TEST(ProjectReader, SplitsKeywordAtFirstSpaceAndKeepsTheRest) {
    auto recs = records(".ON my  object name \n.ODMI0 \n..\n.P 1 2 3 4\n");
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(recs[0], (Rec{"ON", "my  object name "}));
    EXPECT_EQ(recs[1], (Rec{"ODMI0", ""}));
    EXPECT_EQ(recs[2], (Rec{".", ""}));
    EXPECT_EQ(recs[3], (Rec{"P", "1 2 3 4"}));
}

TEST(ProjectReader, SkipsLinesWithoutFullStopAndEmptyLines) {
    auto recs = records("\n\nhello\n .V 3\n.V 3\n\r\n#.D 1 2\n.L 5\n");
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0], (Rec{"V", "3"}));
    EXPECT_EQ(recs[1], (Rec{"L", "5"}));
}

TEST(ProjectReader, KeepsCarriageReturnInValueAndKeyword) {
    auto recs = records(".V 3\r\n..\r\n");
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(recs[0], (Rec{"V", "3\r"}));
    EXPECT_EQ(recs[1], (Rec{".\r", ""}));
}

TEST(ProjectReader, LastLineWithoutLineFeedIsLost) {
    auto recs = records(".V 3\n..");
    ASSERT_EQ(recs.size(), 1u);
    ProjectReader r("");
    EXPECT_FALSE(r.next());
    ProjectReader r2("no line feed at all");
    EXPECT_FALSE(r2.next());
    EXPECT_FALSE(r2.next());
}

TEST(ProjectReader, ZeroByteEndsKeywordAndValue) {
    std::string text = ".O";
    text += '\0';
    text += "X 2";
    text += '\0';
    text += "junk\n";
    auto recs = records(text);
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0], (Rec{"O", "2"}));
}

TEST(ProjectWriter, FormatsRecordsByteForByte) {
    ProjectWriter w;
    w.numbers("D", {320, 240});
    w.numbers("OP", {-40, 0, 241, 1});
    w.numbersEachSpaced("OT", {0, -1, 2, 3});
    w.record("ODMI0", "");
    w.record("ON", "a name with  spaces");
    w.numbers("L", {-2147483647 - 1});
    w.endMarker();
    EXPECT_EQ(w.text(),
              ".D 320 240\n.OP -40 0 241 1\n.OT 0 -1 2 3 \n.ODMI0 \n.ON a name with  spaces\n"
              ".L -2147483648\n..\n");
}

TEST(Scanner, ReadsIntegersLikeScanf) {
    int32_t v[4] = {};
    EXPECT_EQ(scanInts("  12 -3\t+4", v, 4), 3);
    EXPECT_EQ(v[0], 12);
    EXPECT_EQ(v[1], -3);
    EXPECT_EQ(v[2], 4);
    EXPECT_EQ(scanInts("12abc 5", v, 2), 1);
    EXPECT_EQ(scanInts("", v, 2), 0);
    EXPECT_EQ(scanInts("- 5", v, 2), 0);
    EXPECT_EQ(scanInts("7\r", v, 1), 1);
    EXPECT_EQ(v[0], 7);

    EXPECT_EQ(valueInt("3\r"), 3);
    EXPECT_EQ(valueInt("x3"), 0);
    EXPECT_EQ(valueInt("99999999999999999999999"), 2147483647);
    EXPECT_EQ(valueInt("-99999999999999999999999"), -2147483647 - 1);
    EXPECT_EQ(valueInt("2147483647"), 2147483647);
    EXPECT_EQ(valueInt("-2147483648"), -2147483647 - 1);
}

TEST(Scanner, ReadsRealsWhateverTheLocale) {
    Scanner s(" 49.5 -2 1e3 abc");
    double d = 0;
    ASSERT_TRUE(s.real(d));
    EXPECT_DOUBLE_EQ(d, 49.5);
    ASSERT_TRUE(s.real(d));
    EXPECT_DOUBLE_EQ(d, -2);
    ASSERT_TRUE(s.real(d));
    EXPECT_DOUBLE_EQ(d, 1000);
    EXPECT_FALSE(s.real(d));
    EXPECT_EQ(s.rest(), " abc");

    Scanner big("1e999999 5");
    ASSERT_TRUE(big.real(d));
    EXPECT_GT(d, 1e300);
    int32_t i = 0;
    ASSERT_TRUE(big.integer(i));
    EXPECT_EQ(i, 5);
}

}  // namespace
}  // namespace tavlin
