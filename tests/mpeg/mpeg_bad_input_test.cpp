// Damaged streams and index files that lie: each one fails with a reason or
// gives the pictures that can still be decoded, and nothing crashes.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <regex>

#include "base/paths.h"
#include "media/media_registry.h"
#include "mpeg/mpeg_index.h"
#include "mpeg/mpeg_source.h"
#include "mpeg_streams.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

using test::MpegContainer;

class MpegBadInput : public ::testing::Test {
protected:
    void SetUp() override { setExecutableDirForTesting(dir.path()); }
    std::string make(const std::string& name, MpegContainer c, int frames = 30) {
        test::MpegSpec s;
        s.container = c;
        s.frames = frames;
        const std::string p = dir.file(name);
        EXPECT_TRUE(test::makeMpeg(p, s));
        return p;
    }
    // Loads, and on failure keeps the reason.
    std::unique_ptr<MpegSource> load(const std::string& path) {
        auto s = std::make_unique<MpegSource>();
        if (s->load(path)) return s;
        why = s->error();
        return nullptr;
    }
    // Every picture that comes out is a whole one; how many came out.
    static int readAll(MpegSource& s) {
        int good = 0;
        for (int32_t n = 0; n < s.frameCount; ++n) {
            const Image* p = s.frameAt(n);
            if (!p) continue;
            EXPECT_EQ(p->pixels.size(), size_t(s.current.width) * size_t(s.current.height));
            ++good;
        }
        return good;
    }
    void rewriteIndex(const std::string& video, const std::function<std::string(std::string)>& edit) {
        std::string text;
        for (const auto& l : test::fileLines(video + ".index")) text += l + "\n";
        const std::string edited = edit(text);
        ASSERT_NE(edited, text);
        std::ofstream(video + ".index", std::ios::binary | std::ios::trunc) << edited;
    }
    test::ScratchDir dir;
    std::string why;
};

TEST_F(MpegBadInput, FilesThatAreNoMpegVideoFailWithAReason) {
    std::vector<uint8_t> noise(50000);
    std::mt19937 rng(3);
    for (auto& b : noise) b = uint8_t(2 + rng() % 250);  // no zero bytes: no start codes
    test::writeBytes(dir.file("noise.mpg"), noise);
    EXPECT_FALSE(load(dir.file("noise.mpg")));
    EXPECT_EQ(why, "Cannot read Sequence Header");
    EXPECT_FALSE(fileExists(dir.file("noise.mpg.index"))) << "no index for what is no MPEG video";

    test::writeBytes(dir.file("empty.mpg"), {});
    EXPECT_FALSE(load(dir.file("empty.mpg")));
    EXPECT_FALSE(load(dir.file("missing.mpg")));
    EXPECT_NE(why.find("not found"), std::string::npos) << why;

    // A stream whose sequence headers are gone.
    std::vector<uint8_t> es = test::fileBytes(make("plain.m2v", MpegContainer::Elementary));
    for (size_t i = 0; i + 3 < es.size(); ++i)
        if (es[i] == 0 && es[i + 1] == 0 && es[i + 2] == 1 && es[i + 3] == 0xB3) es[i + 3] = 0xB0;
    test::writeBytes(dir.file("headless.m2v"), es);
    EXPECT_FALSE(load(dir.file("headless.m2v")));
    EXPECT_EQ(why, "Cannot read Sequence Header");

    // A transport stream that carries no video: audio packets only.
    std::vector<uint8_t> ts;
    for (int k = 0; k < 40; ++k) {
        uint8_t p[188];
        std::memset(p, 0xFF, sizeof p);
        p[0] = 0x47, p[1] = 0x41, p[2] = 0x01, p[3] = uint8_t(0x10 | (k & 15));
        const uint8_t pes[] = {0, 0, 1, 0xC0, 0, 0, 0x80, 0, 0};
        std::memcpy(p + 4, pes, sizeof pes);
        ts.insert(ts.end(), p, p + 188);
    }
    test::writeBytes(dir.file("audio.mpg"), ts);
    EXPECT_FALSE(load(dir.file("audio.mpg")));
    EXPECT_EQ(why, "No video in the transport stream");
    EXPECT_FALSE(fileExists(dir.file("audio.mpg.index")));

    // Through the registry: the next format claiming the name is tried, and
    // nothing opens it.
    clearRegistry();
    registerVideoFormats(std::make_unique<MpegFormat>());
    EXPECT_FALSE(openVideo(dir.file("noise.mpg")));
    EXPECT_EQ(findVideoFormat("CLIP.MPG")->description(), "MPEG video (*.mpg;*.mpeg;*.mpv;*.m2v)");
    EXPECT_EQ(videoFormats()[1]->pattern(), "*.mpg;*.mpeg;*.mpv;*.m2v");
    clearRegistry();
}

TEST_F(MpegBadInput, TruncatedAndInterruptedStreamsGiveWhatCanBeDecoded) {
    for (MpegContainer c : {MpegContainer::Elementary, MpegContainer::Program, MpegContainer::Transport}) {
        SCOPED_TRACE(int(c));
        const std::string whole = make("whole" + std::to_string(int(c)) + ".mpg", c, 45);
        const std::vector<Image> reference = test::referenceFrames(whole);
        std::vector<uint8_t> bytes = test::fileBytes(whole);

        // Cut off two thirds in.
        const std::string cut = dir.file("cut" + std::to_string(int(c)) + ".mpg");
        test::writeBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(bytes.size() * 2 / 3)));
        auto s = load(cut);
        ASSERT_TRUE(s) << why;
        EXPECT_LT(s->frameCount, 45);
        EXPECT_GT(s->frameCount, 15);
        for (int32_t n = 0; n < 15; ++n) {
            const Image* p = s->frameAt(n);
            ASSERT_TRUE(p) << n;
            EXPECT_EQ(p->pixels, reference[size_t(n)].pixels) << n;
        }
        readAll(*s);

        // Junk between the container's units: the stream reader finds its way.
        std::vector<uint8_t> junky;
        const std::vector<uint8_t> junk = {0xFF, 0x12, 0x47, 0x00, 0x00, 0x02, 0xEE, 0x47, 0x33};
        if (c == MpegContainer::Transport) {
            for (size_t i = 0; i < bytes.size(); i += 188) {
                if (i / 188 % 7 == 3) junky.insert(junky.end(), junk.begin(), junk.end());
                junky.insert(junky.end(), bytes.begin() + long(i), bytes.begin() + long(std::min(bytes.size(), i + 188)));
            }
        } else if (c == MpegContainer::Program) {
            for (size_t i = 0; i < bytes.size(); ++i) {
                if (i > 0 && i + 3 < bytes.size() && bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 &&
                    bytes[i + 3] == 0xBA)
                    junky.insert(junky.end(), junk.begin(), junk.end());
                junky.push_back(bytes[i]);
            }
        } else {
            continue;  // an elementary stream has no units to put junk between
        }
        const std::string withJunk = dir.file("junk" + std::to_string(int(c)) + ".mpg");
        test::writeBytes(withJunk, junky);
        auto j = load(withJunk);
        ASSERT_TRUE(j) << why;
        EXPECT_EQ(j->frameCount, 45);
        for (int32_t n : {40, 3, 17, 18, 44, 0, 29}) {
            const Image* p = j->frameAt(n);
            ASSERT_TRUE(p) << n;
            EXPECT_EQ(p->pixels, reference[size_t(n)].pixels) << n;
        }
    }
}

TEST_F(MpegBadInput, RandomDamageNeverCrashes) {
    std::mt19937 rng(99);
    for (MpegContainer c : {MpegContainer::Elementary, MpegContainer::Program, MpegContainer::Transport}) {
        const std::vector<uint8_t> bytes = test::fileBytes(make("src" + std::to_string(int(c)) + ".mpg", c, 45));
        for (int round = 0; round < 6; ++round) {
            std::vector<uint8_t> damaged = bytes;
            const int hits = 1 + int(rng() % 200);
            for (int k = 0; k < hits; ++k) damaged[rng() % damaged.size()] = uint8_t(rng());
            const std::string p = dir.file("damaged" + std::to_string(int(c)) + "_" + std::to_string(round) + ".mpg");
            test::writeBytes(p, damaged);
            if (auto s = load(p)) readAll(*s);
        }
    }
}

TEST_F(MpegBadInput, IndexFilesThatLieAreCaughtOrCostOnlyTheirPictures) {
    const std::string ps = make("lie.mpg", MpegContainer::Program);
    const std::vector<Image> reference = test::referenceFrames(ps);
    ASSERT_TRUE(load(ps));
    const std::string honest = [&] {
        std::string t;
        for (const auto& l : test::fileLines(ps + ".index")) t += l + "\n";
        return t;
    }();
    auto restore = [&] { std::ofstream(ps + ".index", std::ios::binary | std::ios::trunc) << honest; };

    // Offsets past the end of the file.
    rewriteIndex(ps, [](std::string t) { return std::regex_replace(t, std::regex("G 15 [0-9a-f]+"), "G 15 7fffffff"); });
    EXPECT_FALSE(load(ps));
    EXPECT_EQ(why, "Invalid index file (group offset)");
    restore();
    rewriteIndex(ps, [](std::string t) { return std::regex_replace(t, std::regex("\nS [0-9a-f]+\n"), "\nS 7fffffff\n", std::regex_constants::format_first_only); });
    EXPECT_FALSE(load(ps));

    // Groups out of order.
    restore();
    rewriteIndex(ps, [](std::string t) { return std::regex_replace(t, std::regex("G 15 "), "G 3 "); });
    auto swapped = [](std::string t) {
        const size_t a = t.find("\nG 0 "), b = t.find("\nG 3 ");
        const size_t aEnd = t.find('\n', a + 1), bEnd = t.find('\n', b + 1);
        const std::string ga = t.substr(a + 1, aEnd - a - 1), gb = t.substr(b + 1, bEnd - b - 1);
        t.replace(b + 1, gb.size(), ga);
        t.replace(a + 1, ga.size(), gb);
        return t;
    };
    rewriteIndex(ps, swapped);
    EXPECT_FALSE(load(ps));
    EXPECT_EQ(why, "Invalid index file (groups out of order)");

    // A count larger than the stream: the pictures past its end are nothing.
    restore();
    rewriteIndex(ps, [](std::string t) { return std::regex_replace(t, std::regex("MAX 30"), "MAX 1000"); });
    auto big = load(ps);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->frameCount, 1000);
    ASSERT_TRUE(big->frameAt(29));
    EXPECT_EQ(big->frameAt(29)->pixels, reference[29].pixels);
    EXPECT_FALSE(big->frameAt(500));
    EXPECT_FALSE(big->frameAt(30));
    ASSERT_TRUE(big->frameAt(2));
    EXPECT_EQ(big->frameAt(2)->pixels, reference[2].pixels);

    // A group offset that points elsewhere in the file: no crash, and the
    // pictures of the first group stay right.
    restore();
    rewriteIndex(ps, [](std::string t) {
        std::smatch m;
        std::regex_search(t, m, std::regex("G 0 ([0-9a-f]+)"));
        const long first = std::stol(m[1].str(), nullptr, 16);
        char moved[32];
        std::snprintf(moved, sizeof moved, "G 15 %lx", first + 5);
        return std::regex_replace(t, std::regex("G 15 [0-9a-f]+"), moved);
    });
    auto off = load(ps);
    ASSERT_TRUE(off);
    readAll(*off);
    ASSERT_TRUE(off->frameAt(7));
    EXPECT_EQ(off->frameAt(7)->pixels, reference[7].pixels);

    // An index cut off before its count; another stream kind.
    restore();
    rewriteIndex(ps, [](std::string t) { return t.substr(0, t.find("MAX")); });
    EXPECT_FALSE(load(ps));
    restore();
    rewriteIndex(ps, [](std::string t) { return std::regex_replace(t, std::regex("\nSS\n"), "\nES\n"); });
    EXPECT_FALSE(load(ps));

    // The packet identifier of a transport stream.
    const std::string ts = make("lie.ts.mpg", MpegContainer::Transport);
    ASSERT_TRUE(load(ts));
    rewriteIndex(ts, [](std::string t) { return std::regex_replace(t, std::regex("\nTS 0x[0-9a-f]+\n"), "\nTS 0x1ff\n"); });
    EXPECT_FALSE(load(ts));
    EXPECT_EQ(why, "Invalid index file (PID)");
}

}  // namespace
}  // namespace tavlin
