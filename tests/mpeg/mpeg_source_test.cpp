// MPEG sources against FFmpeg's own reading of the same streams: the index
// lines against a byte-by-byte scan, pictures by number against a straight
// decode pixel for pixel, and the frames' own counters for display order.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/paths.h"
#include "media/media_registry.h"
#include "mpeg/mpeg_index.h"
#include "mpeg/mpeg_source.h"
#include "mpeg_streams.h"
#include "support/scratch.h"
#include "test_videos.h"

namespace tavlin {
namespace {

using test::MpegContainer;
using test::MpegSpec;

struct Case {
    const char* name;
    MpegSpec recipe;
    const char* kindLine;
};

MpegSpec recipe(bool mpeg2, MpegContainer c, int frames = 30, bool closed = true) {
    MpegSpec s;
    s.mpeg2 = mpeg2;
    s.container = c;
    s.frames = frames;
    s.closedGops = closed;
    return s;
}

const Case kCases[] = {
    {"mpeg1_es", recipe(false, MpegContainer::Elementary), "ES"},
    {"mpeg2_es", recipe(true, MpegContainer::Elementary), "ES"},
    {"mpeg1_ps", recipe(false, MpegContainer::Program), "SS"},
    {"mpeg2_ps", recipe(true, MpegContainer::Program), "SS"},
    {"mpeg2_ts", recipe(true, MpegContainer::Transport), "TS 0x"},
};

class MpegStreams : public ::testing::Test {
protected:
    void SetUp() override { setExecutableDirForTesting(dir.path()); }
    test::ScratchDir dir;
};

// The raw positions of a start code in the file, where the bytes lie whole.
std::vector<int64_t> rawPositions(const std::vector<uint8_t>& f, uint8_t code) {
    std::vector<int64_t> out;
    for (size_t i = 0; i + 3 < f.size(); ++i)
        if (f[i] == 0 && f[i + 1] == 0 && f[i + 2] == 1 && f[i + 3] == code) out.push_back(int64_t(i));
    return out;
}

TEST_F(MpegStreams, IndexLinesAgreeWithAnIndependentScan) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string video = dir.file(std::string(c.name) + ".mpg");
        ASSERT_TRUE(test::makeMpeg(video, c.recipe));
        const std::string indexPath = video + ".index";
        ASSERT_EQ(buildMpegIndex(video, indexPath, silentProgress()), IndexBuild::Built);
        const auto lines = test::fileLines(indexPath);
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[0], "SRC " + video);
        EXPECT_EQ(lines[1].substr(0, std::string(c.kindLine).size()), c.kindLine);

        const test::ScannedIndex expected = test::scanElementary(test::elementaryBytes(video));
        const std::vector<uint8_t> raw = test::fileBytes(video);
        const auto rawGroups = rawPositions(raw, 0xB8), rawSequences = rawPositions(raw, 0xB3);
        std::vector<int32_t> firsts;
        std::vector<std::string> timecodes;
        int sequences = 0;
        for (size_t i = 2; i + 1 < lines.size(); ++i) {
            char kind = 0;
            unsigned long long offset = 0;
            if (lines[i][0] == 'S') {
                ASSERT_EQ(std::sscanf(lines[i].c_str(), "S %llx", &offset), 1) << lines[i];
                ASSERT_LT(size_t(sequences), rawSequences.size());
                const int64_t lastZero = rawSequences[size_t(sequences)] + 1;
                ++sequences;
                kind = 'S';
                EXPECT_LE(int64_t(offset), lastZero) << lines[i];
                if (c.recipe.container == MpegContainer::Elementary) {
                    EXPECT_EQ(int64_t(offset), lastZero / 16384 * 16384) << lines[i];
                }
                if (c.recipe.container == MpegContainer::Transport) {
                    EXPECT_LT(lastZero - int64_t(offset), 188) << lines[i];
                    EXPECT_EQ(raw[offset], 0x47);
                }
                if (c.recipe.container == MpegContainer::Program) {
                    EXPECT_EQ(raw[offset + 3], 0xE0) << "a video packet starts at " << lines[i];
                    EXPECT_LT(lastZero - int64_t(offset), 6 + (raw[offset + 4] << 8 | raw[offset + 5]));
                }
            } else if (lines[i][0] == 'G') {
                int first = 0;
                char tc[32] = {};
                ASSERT_EQ(std::sscanf(lines[i].c_str(), "G %d %llx %31s", &first, &offset, tc), 3) << lines[i];
                ASSERT_LT(firsts.size(), rawGroups.size());
                const int64_t lastZero = rawGroups[firsts.size()] + 1;
                EXPECT_LE(int64_t(offset), lastZero);
                EXPECT_LT(lastZero - int64_t(offset), c.recipe.container == MpegContainer::Elementary ? 16384 : 2048 + 32);
                firsts.push_back(first);
                timecodes.push_back(tc);
                kind = 'G';
            }
            EXPECT_NE(kind, 0) << "unexpected line " << lines[i];
        }
        EXPECT_EQ(firsts, expected.groupFirst);
        EXPECT_EQ(timecodes, expected.timecodes);
        EXPECT_EQ(sequences, expected.sequences);
        EXPECT_EQ(lines.back(), "MAX " + std::to_string(expected.max));
        // Two closed groups of fifteen.
        EXPECT_EQ(firsts, (std::vector<int32_t>{0, 15}));
        EXPECT_EQ(lines.back(), "MAX 30");
    }
}

TEST_F(MpegStreams, PicturesByNumberMatchAStraightDecode) {
    std::vector<Case> cases(std::begin(kCases), std::end(kCases));
    cases.push_back({"open_gops_ps", recipe(true, MpegContainer::Program, 75, false), "SS"});
    cases.push_back({"open_gops_ts", recipe(true, MpegContainer::Transport, 75, false), "TS"});
    // A width whose rows are no whole vector width, and a height that is no
    // whole macroblock row.
    Case odd{"odd_size_es", recipe(false, MpegContainer::Elementary, 75), "ES"};
    odd.recipe.width = 88, odd.recipe.height = 52;
    cases.push_back(odd);
    std::mt19937 rng(16);
    for (Case c : cases) {
        SCOPED_TRACE(c.name);
        if (c.recipe.frames < 75) c.recipe.frames = 75;
        const std::string video = dir.file(std::string(c.name) + ".mpg");
        ASSERT_TRUE(test::makeMpeg(video, c.recipe));
        const std::vector<Image> reference = test::referenceFrames(video);
        ASSERT_EQ(reference.size(), size_t(c.recipe.frames));
        // The frames' own counters say the reference is in display order
        // (a counter blurred by the coding reads as -1).
        int readable = 0;
        for (size_t i = 0; i < reference.size(); ++i) {
            const int32_t counter = test::readIndex(reference[i]);
            if (counter >= 0) {
                ASSERT_EQ(counter, int32_t(i));
            }
            readable += counter >= 0;
        }
        EXPECT_GT(readable, c.recipe.frames * 8 / 10);

        MpegFormat format;
        auto opened = format.open(video);
        ASSERT_TRUE(opened);
        auto& source = static_cast<MpegSource&>(*opened);
        EXPECT_EQ(source.frameCount, c.recipe.frames);
        EXPECT_DOUBLE_EQ(source.frameRate, 25.0) << "the sequence header's rate";
        ASSERT_EQ(source.current.width, c.recipe.width);

        // Straight through first: no seeking after the first picture.
        for (int32_t n = 0; n < source.frameCount; ++n) {
            const Image* got = source.frameAt(n);
            ASSERT_TRUE(got) << n;
            ASSERT_EQ(got->pixels, reference[size_t(n)].pixels) << "picture " << n;
        }
        EXPECT_EQ(source.decoder().seeks(), 1);
        // Then jumps, backwards and forwards, with short runs between.
        std::uniform_int_distribution<int32_t> pick(0, source.frameCount - 1);
        for (int k = 0; k < 40; ++k) {
            int32_t n = pick(rng);
            for (int run = k % 3; run >= 0 && n < source.frameCount; --run, ++n) {
                const Image* got = source.frameAt(n);
                ASSERT_TRUE(got) << n;
                ASSERT_EQ(got->pixels, reference[size_t(n)].pixels) << "picture " << n;
            }
        }
        EXPECT_FALSE(source.frameAt(source.frameCount));
        EXPECT_FALSE(source.frameAt(-1));
    }
}

}  // namespace
}  // namespace tavlin
