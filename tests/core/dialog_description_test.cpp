#include <gtest/gtest.h>

#include "core/dialog_description.h"

namespace tavlin {
namespace {

DialogRecord rec(char letter, int32_t id, int32_t x, int32_t y, int32_t w, int32_t h, std::string text,
                 int scanned) {
    DialogRecord r;
    r.letter = letter;
    r.id = id;
    r.x = x;
    r.y = y;
    r.w = w;
    r.h = h;
    r.text = std::move(text);
    r.scanned = scanned;
    return r;
}

TEST(DialogDescription, EveryRecordLetter) {
    const std::string text =
        "# dialogs of the program\n"
        ".D other 50 60 Other\n"
        ".E 9 9 9 9 9\n"
        "..\n"
        "\n"
        ".D all 320 240 Every  control\n"
        ".E 0 10 20 100 22\n"
        ".B 1 10 50 80 24 &OK  now\n"
        ".C 2 10 80 120 20 Keep it\n"
        ".M 3 150 20 100 200\n"
        ".T 4 150 50 100 80\n"
        ".I 5 260 10 0 0 bplay\n"
        ".L 10 140 200 20 Some text\n"
        ".P 260 60 0 50 logo.png\n"
        ".S 6 10 200 200 16\n"
        ".S 7 300 100 16 100\n"
        "..\n"
        ".E 99 0 0 0 0\n";
    DialogDescription d = ParseDialogDescription(text, "all");
    ASSERT_TRUE(d.found);
    EXPECT_EQ(d.width, 320);
    EXPECT_EQ(d.height, 240);
    EXPECT_EQ(d.title, "Every  control");
    EXPECT_EQ(d.headerScanned, 3);
    std::vector<DialogRecord> want = {
        rec('E', 0, 10, 20, 100, 22, "", 5),
        rec('B', 1, 10, 50, 80, 24, "&OK  now", 6),
        rec('C', 2, 10, 80, 120, 20, "Keep it", 6),
        rec('M', 3, 150, 20, 100, 200, "Keep it", 5),
        rec('T', 4, 150, 50, 100, 80, "Keep it", 5),
        rec('I', 5, 260, 10, 0, 0, "bplay", 6),
        rec('L', 5, 10, 140, 200, 20, "Some text", 5),
        rec('P', 5, 260, 60, 0, 50, "logo.png", 5),
        rec('S', 6, 10, 200, 200, 16, "logo.png", 5),
        rec('S', 7, 300, 100, 16, 100, "logo.png", 5),
    };
    EXPECT_EQ(d.records, want);
}

TEST(DialogDescription, NamesAndDialogBounds) {
    // Exact, case-sensitive names; the name may follow the letter directly.
    const std::string text =
        ".D About 10 10 Wrong case\n"
        ".E 1 0 0 1 1\n"
        ".Dabout 200 100 Found\n"
        ".B 3 1 2 3 4 Fine\n"
        ".D about 1 1 Second header is ignored\n"
        ".X 5 5 5 5 5\n"
        "# comment with .B 9 9 9 9 9 inside\n"
        " .B 8 8 8 8 8 indented is a comment too\n"
        "..\n"
        ".D about 999 999 Second dialog of the same name\n"
        ".E 4 0 0 1 1\n";
    DialogDescription d = ParseDialogDescription(text, "about");
    ASSERT_TRUE(d.found);
    EXPECT_EQ(d.width, 200);
    EXPECT_EQ(d.title, "Found");
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(d.records[0], rec('B', 3, 1, 2, 3, 4, "Fine", 6));

    EXPECT_FALSE(ParseDialogDescription(text, "abou").found);
    EXPECT_FALSE(ParseDialogDescription(text, "").found);

    // A one-letter name written without the blank keeps its fields.
    DialogDescription n = ParseDialogDescription(".Dn 30 40 T\n", "n");
    EXPECT_EQ(n.width, 30);
    EXPECT_EQ(n.height, 40);
    EXPECT_EQ(n.title, "T");

    // Without a closing ".." the dialog runs to the end of the text, and CR LF
    // line ends do not end up in texts.
    DialogDescription e = ParseDialogDescription(".D x 5 6 Title\r\n.L 1 2 3 4 Label\r\n", "x");
    EXPECT_EQ(e.title, "Title");
    ASSERT_EQ(e.records.size(), 1u);
    EXPECT_EQ(e.records[0].text, "Label");
}

TEST(DialogDescription, MissingFieldsKeepEarlierValues) {
    const std::string text =
        ".D d\n"
        ".B 1 10 20 30 40 First\n"
        ".B 2 11\n"         // y, w, h and the label are carried over
        ".E 3 x 5 5 5\n"    // scanning stops at the bad field
        ".C\n"              // nothing at all
        ".I -4 +5 99999999999 -99999999999 7\n"  // no base name; numbers saturate
        ".L 1 2 3\n";
    DialogDescription d = ParseDialogDescription(text, "d");
    ASSERT_TRUE(d.found);
    EXPECT_EQ(d.headerScanned, 0);
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(d.title, "");
    std::vector<DialogRecord> want = {
        rec('B', 1, 10, 20, 30, 40, "First", 6),
        rec('B', 2, 11, 20, 30, 40, "First", 2),
        rec('E', 3, 11, 20, 30, 40, "First", 1),
        rec('C', 3, 11, 20, 30, 40, "First", 0),
        rec('I', -4, 5, INT32_MAX, INT32_MIN, 7, "First", 5),
        rec('L', -4, 1, 2, 3, 7, "First", 3),
    };
    EXPECT_EQ(d.records, want);

    DialogDescription h = ParseDialogDescription(".D d 100 oops\n", "d");
    EXPECT_EQ(h.headerScanned, 1);
    EXPECT_EQ(h.width, 100);
    EXPECT_EQ(h.height, 0);
}

TEST(DialogDescription, OverlongLinesAndOddBytes) {
    // The tail of an overlong line is dropped, never read as a record of its own.
    std::string longLabel(2000, 'a');
    std::string text = ".D d 1 2 T\n.L 0 0 9 9 " + longLabel.substr(0, 1300) + ".B 7 7 7 7 7 hidden\n" +
                       ".B 1 1 1 1 1 " + longLabel + "\n" + ".E 2 3 4 5 6\n";
    DialogDescription d = ParseDialogDescription(text, "d");
    ASSERT_EQ(d.records.size(), 3u);
    EXPECT_EQ(d.records[0].letter, 'L');
    EXPECT_EQ(d.records[0].text.size(), kDialogLineLimit - 11);
    EXPECT_EQ(d.records[1].letter, 'B');
    EXPECT_EQ(d.records[1].id, 1);
    EXPECT_EQ(d.records[2], rec('E', 2, 3, 4, 5, 6, d.records[1].text, 5));

    // Brackets and lone dots are only text; a zero byte ends the line.
    using namespace std::string_literals;
    std::string odd = ".D d 1 1 [[(\n.\n.B 1 2 3 4 5 a\0b]]\n.."s;
    DialogDescription o = ParseDialogDescription(odd, "d");
    EXPECT_EQ(o.title, "[[(");
    ASSERT_EQ(o.records.size(), 1u);
    EXPECT_EQ(o.records[0].text, "a");

    // Random bytes: nothing crashes, whatever comes out.
    std::string noise;
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        char c = char(seed >> 16);
        noise.push_back(i % 7 == 0 ? '\n' : i % 11 == 0 ? '.' : c);
    }
    ParseDialogDescription(".D d 1 1 x\n" + noise, "d");
}

}  // namespace
}  // namespace tavlin
