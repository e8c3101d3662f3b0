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
#include "support/scratch.h"

namespace tavlin {
namespace {

// Every kind of object and event, each record once.
const std::string kRich = test::fixture("projects/rich.tvl");

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

// Projects made of every record with values at and just beyond each bound the
// program keeps (stage sides, length, coordinates, frames, widths, grab
// distances, frame skips, texts): opening, saving, reopening and undoing all
// agree on one text.
class BoundaryProjects {
public:
    explicit BoundaryProjects(uint32_t seed) : rng_(seed) {}

    std::string make() {
        std::string t = ".V 3\n";
        t += ".D " + pick({"1", "320", "2048", "2049", "4096", "16384"}) + " " + pick({"1", "240", "2160", "16384"}) +
             "\n";
        // Mostly short timelines: a million frames is slow to recount each time.
        t += ".L " + (rng_() % 8 ? pick({"1", "2", "100"}) : pick({"999999", "1000000"})) + "\n";
        if (coin()) t += ".SF " + pick({"-1", "0", "3", "1000000", "1000001", "2147483647"}) + "\n";
        for (int n = int(rng_() % 6); n > 0; --n) t += object();
        for (int n = int(rng_() % 7); n > 0; --n) t += event();
        for (int n = int(rng_() % 4); n > 0; --n)
            t += ".FFS " + frame() + " " + pick({"4", "5", "6", "7", "255", "256", "-1"}) + "\n";
        return t + "..\n";
    }

private:
    std::string pick(std::initializer_list<const char*> values) { return *(values.begin() + rng_() % values.size()); }
    bool coin() { return rng_() % 2 != 0; }
    std::string coordinate() {
        return pick(
            {"0", "-1", "639", "999999", "1000000", "1000001", "-1000000", "-1000001", "2147483647", "-2147483648"});
    }
    std::string frame() {
        return pick({"0", "1", "99", "-1", "999999", "1000000", "1000001", "-1000001", "2147483647"});
    }
    std::string width() { return pick({"-1", "0", "1", "3", "255", "256", "100000"}); }
    std::string text() {
        std::string s = pick({"", "a b  c", "C:\\old project\\red.png", "sub/dir/clip.avi", "x\ty"});
        if (rng_() % 5 == 0) s += std::string(size_t(pick({"254", "255", "256", "65535"}) == "255" ? 255 : 300), 'w');
        return s;
    }

    std::string object() {
        int kind = int(rng_() % 3);
        std::string t = ".O " + std::to_string(kind) + "\n";
        t += ".OP " + coordinate() + " " + coordinate() + " " + coordinate() + " " + coordinate() + "\n";
        for (int n = int(rng_() % 3); n > 0; --n) t += ".OR " + frame() + " " + frame() + "\n";
        t += ".ON " + text() + "\n.OE " + pick({"0", "1", "2"}) + "\n.OL " + pick({"0", "1", "-1"}) + "\n";
        if (kind == 0) {
            t += ".OVS " + pick({"0", "1", "7", "99999999999"}) + " " + text() + "\n";
            t += ".OT " + coordinate() + " " + coordinate() + " 0 " + frame() + " \n";
        } else if (kind == 1) {
            t += ".OI " + text() + "\n";
        } else {
            for (int s = 0; s < 3; ++s) {
                std::string d(1, char('0' + s));
                t += ".ODMI" + d + " \n.ODMW" + d + " " + width() + "\n.ODMC" + d + " " +
                     pick({"0", "255", "256", "-1"}) + " 7 9\n";
            }
            t += ".ODMA " + pick({"0", "3", "4"}) + "\n.ODMB " + pick({"0", "1"}) + "\n.ODMD " + width() + "\n.ODMFT " +
                 pick({"0", "1"}) + "\n.ODMK 1\n.ODMTD " + pick({"0", "2"}) + "\n";
            for (int n = int(rng_() % 5); n > 0; --n)
                t += ".P " + coordinate() + " " + coordinate() + " " + frame() + " " + pick({"0", "1"}) + "\n";
        }
        return t;
    }

    std::string event() {
        int kind = int(rng_() % 5);
        std::string t = ".E " + std::to_string(kind) + "\n.ER " + frame() + " " + frame() + "\n.ET " +
                        pick({"0", "100", "-5", "2147483647"}) + "\n";
        switch (kind) {
        case 0: t += ".EI " + pick({"0", "1"}) + "\n"; break;
        case 1:
            for (int n = int(rng_() % 3); n > 0; --n) t += ".EF " + frame() + "\n";
            break;
        case 2: t += ".ESR " + pick({"0", "1"}) + "\n.EU " + text() + "\n"; break;
        case 3: t += ".ETG " + text() + "\n.EU " + text() + "\n"; break;
        default: t += ".EP " + text() + "\n"; break;
        }
        return t;
    }

    std::mt19937 rng_;
};

TEST_F(ProjectFuzz, ValuesAtAndBeyondEveryBoundOpenSaveReopenAndUndoAlike) {
    BoundaryProjects projects(4242);
    int opened = 0;
    for (int round = 0; round < 150; ++round) {
        std::string text = projects.make();
        auto doc = readProject(text);
        if (!doc) continue;
        ++opened;
        doc->recomputeFrameCodes();
        std::string saved = writeProject(*doc);
        auto reopened = readProject(saved);
        ASSERT_NE(reopened, nullptr) << text;
        reopened->recomputeFrameCodes();
        ASSERT_EQ(writeProject(*reopened), saved) << text;

        // An edit undone gives the saved text back, and redone gives the edit.
        reopened->snapshot();
        if (!reopened->objects.empty())
            reopened->removeObject(reopened->objects.front().get());
        else
            reopened->setLength(reopened->length == 1 ? 2 : 1);
        std::string edited = writeProject(*reopened);
        reopened->undo();
        ASSERT_EQ(writeProject(*reopened), saved) << text;
        reopened->redo();
        ASSERT_EQ(writeProject(*reopened), edited) << text;
    }
    // Most of them open: the bounds clamp rather than refuse.
    EXPECT_GT(opened, 100);
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
