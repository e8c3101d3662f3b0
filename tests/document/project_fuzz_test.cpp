// Damaged and hostile project texts: the reader rejects them or loads them,
// never crashes, and whatever it loads writes back to a text that reads back
// to the same document.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/project_file.h"
#include "core/prompts.h"

namespace tavlin {
namespace {

const char kRich[] =
    ".V 3\n.D 320 240\n.L 120\n.SF 2\n"
    ".O 0\n.OP 10 10 64 48\n.OR 0 9\n.OR 20 30\n.ON clip\n.OE 1\n.OL 1\n.OVS \n.OT 1 2 3 4 \n"
    ".O 1\n.OP -5 -6 40 30\n.OR 3 3\n.ON picture\n.OE 0\n.OL 0\n.OI \n"
    ".O 2\n.OP 20 20 200 100\n.OR 0 119\n.ON curve\n.OE 1\n.OL 0\n"
    ".ODMI0 \n.ODMW0 3\n.ODMC0 1 2 3\n.ODMI1 \n.ODMW1 4\n.ODMC1 255 0 0\n.ODMI2 \n.ODMW2 0\n.ODMC2 0 0 255\n"
    ".ODMA 4\n.ODMB 1\n.ODMD 12\n.ODMFT 1\n.ODMK 1\n.ODMTD 2\n"
    ".P 20 100 0 1\n.P 120 20 60 0\n.P 220 100 119 1\n"
    ".O 2\n.OP 0 0 16 16\n.OR 5 5\n.OR 40 40\n.ON button\n.OE 1\n.OL 0\n"
    ".ODMI0 \n.ODMW0 1\n.ODMC0 255 128 128\n.ODMI1 \n.ODMW1 1\n.ODMC1 255 0 0\n.ODMI2 \n.ODMW2 0\n.ODMC2 0 0 0\n"
    ".ODMA 3\n.ODMB 0\n.ODMD 0\n.ODMFT 0\n.ODMK 0\n.ODMTD 0\n.P 0 8 6 1\n.P 16 8 6 1\n"
    ".E 0\n.ER 6 40\n.ET 100\n.EI 1\n"
    ".E 1\n.ER 50 52\n.ET 10\n.EF 5\n.EF 300\n"
    ".E 2\n.ER 1 2\n.ET 0\n.ESR 1\n.EU \n"
    ".E 3\n.ER 7 7\n.ET 0\n.ETG _top\n.EU http://example.org/\n"
    ".E 4\n.ER 0 0\n.ET 0\n.EP $play_dir=-1;$play_speed=200\n"
    ".FFS 8 7\n.FFS 9 4\n..\n";

// Answers every question with "b_ignore".
class IgnoringPrompts : public Prompts {
public:
    void showMessage(const std::string&) override {}
    int askChoice(const std::string&, const std::vector<std::string>&) override { return 1; }
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }
};

class ProjectFuzz : public ::testing::Test {
protected:
    void SetUp() override { installPrompts(&prompts); }
    void TearDown() override { installPrompts(nullptr); }

    // Reads `text`; when it loads, the document must survive the operations
    // that follow opening and write back to a text that is a fixed point.
    void survive(const std::string& text) {
        auto doc = readProject(text);
        if (!doc) return;
        EXPECT_GE(doc->stageWidth, 1);
        EXPECT_LE(doc->stageWidth, kMaxStageSide);
        EXPECT_LE(doc->stageHeight, kMaxStageSide);
        EXPECT_GE(doc->length, 1);
        EXPECT_LE(doc->length, kMaxLength);
        doc->recomputeFrameCodes();
        std::string once = writeProject(*doc);
        auto again = readProject(once);
        ASSERT_NE(again, nullptr) << once;
        EXPECT_EQ(writeProject(*again), once);
    }

    IgnoringPrompts prompts;
};

TEST_F(ProjectFuzz, RichProjectRoundTripsByteForByte) {
    auto doc = readProject(kRich);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(writeProject(*doc), kRich);
    ASSERT_EQ(doc->objects.size(), 4u);
    auto* curve = dynamic_cast<DragPath*>(doc->objects[1].get());
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->stateColours[1], 0xFF0000);
    EXPECT_EQ(curve->stateColours[0], 0x010203);
    ASSERT_EQ(curve->count(), 3);
    EXPECT_TRUE(curve->point(1)->handOver());
    EXPECT_FALSE(curve->point(2)->handOver());
}

TEST_F(ProjectFuzz, EveryTruncationIsRejectedOrLoads) {
    std::string text = kRich;
    for (size_t n = 0; n < text.size(); ++n) {
        std::string cut = text.substr(0, n);
        survive(cut);
        // Ending without the end marker's line feed is never complete.
        EXPECT_EQ(readProject(cut), nullptr) << n;
    }
}

TEST_F(ProjectFuzz, FlippedBytesAreRejectedOrLoad) {
    std::string text = kRich;
    const char replacements[] = {'\n', '.', ' ', '-', '9', '0', '\0', '\r', 'P', 'O', 'E'};
    for (size_t i = 0; i < text.size(); ++i) {
        for (char r : replacements) {
            std::string t = text;
            t[i] = r;
            survive(t);
        }
        std::string t = text;
        t[i] = char(t[i] ^ 0x80);
        survive(t);
    }
}

TEST_F(ProjectFuzz, RandomBytesAreRejectedOrLoad) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        std::string t(rng() % 400, '\0');
        for (char& c : t) c = char(rng());
        survive(t);
        // A valid header in front makes the rest reach the object reader.
        survive(std::string(".V 3\n.D 50 50\n.L 10\n") + t);
    }
}

// Random record sequences with extreme numbers reach every record handler.
TEST_F(ProjectFuzz, RandomRecordsWithAbsurdNumbersAreRejectedOrLoad) {
    const char* keywords[] = {"O",     "E",     "OP",    "OR",    "ON",   "OE",   "OL",    "OVS",  "OV",
                              "OT",    "OI",    "ODMI0", "ODMI7", "ODMW1", "ODMW9", "ODMC2", "ODMC", "ODMA",
                              "ODMB",  "ODMD",  "ODMFT", "ODMK",  "ODMTD", "ODMT",  "P",     "PX",   "ER",
                              "ET",    "EI",    "EF",    "ESR",   "EU",    "ETG",   "EP",    "FFS",  "."};
    const char* numbers[] = {"0",           "1",          "2",           "-1",  "99",  "2147483647", "-2147483648",
                             "99999999999", "1000000",    "1000001",     "2048", "nan", "1e300",      "-7.9",
                             "",            "3 4 5 6 7", "x"};
    std::mt19937 rng(777);
    auto pick = [&](auto& list) { return std::string(list[rng() % (sizeof list / sizeof list[0])]); };
    for (int round = 0; round < 3000; ++round) {
        std::string t = ".V 3\n.D " + pick(numbers) + " " + pick(numbers) + "\n.L " + pick(numbers) + "\n";
        if (rng() % 2) t = ".V 3\n.D 64 48\n.L 30\n";
        int records = int(rng() % 40);
        for (int i = 0; i < records; ++i) {
            t += "." + pick(keywords) + " ";
            int n = int(rng() % 5);
            for (int k = 0; k < n; ++k) t += (k ? " " : "") + pick(numbers);
            t += "\n";
        }
        if (rng() % 4) t += "..\n";
        survive(t);
    }
}

TEST_F(ProjectFuzz, MillionsOfRangesAndPointsStayBounded) {
    std::string ranges = ".V 3\n.D 10 10\n.L 10\n.O 1\n.ON many\n";
    for (int i = 0; i < 1000000; ++i) ranges += ".OR 0 2147483647\n";
    ranges += "..\n";
    auto doc = readProject(ranges);
    if (doc) {
        EXPECT_LE(doc->length, kMaxLength);
    }

    std::string points = ".V 3\n.D 10 10\n.L 10\n.O 2\n.OR 0 9\n";
    for (int i = 0; i < 1000000; ++i) points += ".P -2147483648 2147483647 1e300 0\n";
    points += "..\n";
    auto doc2 = readProject(points);
    if (doc2) {
        doc2->recomputeFrameCodes();
        EXPECT_LE(doc2->length, kMaxLength);
    }
}

}  // namespace
}  // namespace tavlin
