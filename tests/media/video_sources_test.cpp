// Videos made by FFmpeg's encoders, read back through the registry: every
// frame must be the one asked for, whatever was asked before.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "media/media_registry.h"
#include "media/video/video_sources.h"
#include "support/scratch.h"
#include "test_videos.h"

namespace tavlin {
namespace {

using test::VideoKind;

class VideoSources : public ::testing::Test {
protected:
    void SetUp() override {
        clearRegistry();
        registerImageFormats();
        registerVideoFormats();
    }
    void TearDown() override { clearRegistry(); }
    std::string make(const std::string& name, test::VideoSpec recipe) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(test::makeVideo(path, recipe)) << name;
        return path;
    }
    // The description of the format that opens the path, as openVideo would pick it.
    static std::string openerOf(const std::string& path) {
        for (VideoFormat* f = findVideoFormat(path); f; f = findVideoFormat(path, f))
            if (f->open(path)) return f->description();
        return "";
    }
    test::ScratchDir dir;
};

struct Case {
    const char* name;
    VideoKind kind;
    int32_t width, height;
    const char* format;  // the registry entry expected to open it
};

// Each file is decoded front to back, then asked for frames in random order
// and backwards: every answer must carry its own index and equal the
// sequential decode pixel for pixel; sequential reading never seeks.
TEST_F(VideoSources, RandomAccessEqualsSequentialDecode) {
    const Case cases[] = {
        {"mjpeg.avi", VideoKind::AviMjpeg, 96, 64, "AVI video (*.avi)"},
        {"raw24.avi", VideoKind::AviRaw24, 85, 41, "AVI video (*.avi)"},  // odd width: padded rows
        {"pal8.avi", VideoKind::AviPal8, 88, 40, "AVI video (*.avi)"},
        {"rgb555.avi", VideoKind::AviRgb555, 80, 40, "AVI video (*.avi)"},
        {"h264.mov", VideoKind::MovH264, 96, 64, "QuickTime movie (*.mov)"},
        {"vfr.mov", VideoKind::MovVariable, 96, 64, "QuickTime movie (*.mov)"},
        {"ps.mpg", VideoKind::MpegPs, 96, 64, "DirectShow movie (*.avi,*.mpg,*.mpeg)"},
    };
    std::mt19937 rng(11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t frames = 40;
        const std::string path = make(c.name, {c.kind, c.width, c.height, frames, 25});
        EXPECT_EQ(openerOf(path), c.format);
        auto video = openVideo(path);
        ASSERT_TRUE(video);
        EXPECT_EQ(video->frameCount, frames);
        EXPECT_EQ(video->current.width, c.width);
        EXPECT_EQ(video->current.height, c.height);
        std::vector<Image> sequence;
        for (int32_t i = 0; i < frames; ++i) {
            const Image* f = video->frameAt(i);
            ASSERT_TRUE(f) << i;
            EXPECT_EQ(test::readIndex(*f), i);
            sequence.push_back(*f);
        }
        auto* ff = dynamic_cast<FfmpegSource*>(video.get());
        ASSERT_TRUE(ff);
        EXPECT_EQ(ff->video().seeks(), 0) << "sequential reading sought";
        std::vector<int32_t> order(frames);
        for (int32_t i = 0; i < frames; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), rng);
        for (int32_t i = frames; i-- > 0;) order.push_back(i);
        for (int32_t n : order) {
            const Image* f = video->frameAt(n);
            ASSERT_TRUE(f) << n;
            ASSERT_EQ(f->pixels, sequence[size_t(n)].pixels) << "frame " << n;
        }
        EXPECT_FALSE(video->frameAt(frames));
        EXPECT_FALSE(video->frameAt(-1));
        for (uint32_t p : sequence[5].pixels) ASSERT_EQ(p >> 24, 0xFFu);
    }
}

// Uncompressed pictures come back exactly: the colour table for 8-bit, the
// 5-5-5 channels with their low three bits zero for 16-bit, and 24-bit rows
// read past their padding.
TEST_F(VideoSources, UncompressedColoursAreExact) {
    for (VideoKind kind : {VideoKind::AviRaw24, VideoKind::AviPal8, VideoKind::AviRgb555}) {
        const std::string path = make("exact.avi", {kind, 37, 21, 3, 25});
        auto video = openVideo(path);
        ASSERT_TRUE(video);
        const Image* f = video->frameAt(2);
        ASSERT_TRUE(f);
        const Image want = test::indexedFrame(2, 37, 21);
        for (size_t i = 0; i < want.pixels.size(); ++i) {
            uint32_t expected = want.pixels[i];
            if (kind == VideoKind::AviRgb555) expected &= 0xFFF8F8F8u;
            ASSERT_EQ(f->pixels[i], expected) << "pixel " << i << " kind " << int(kind);
        }
    }
}

TEST_F(VideoSources, FrameRatesFollowEachFormatsRule) {
    auto avi = openVideo(make("r.avi", {VideoKind::AviMjpeg, 32, 32, 50, 25}));
    ASSERT_TRUE(avi);
    EXPECT_DOUBLE_EQ(avi->frameRate, 25.0);
    // QuickTime: (count + 1) / duration, here 51 frames' worth over 2 s.
    auto mov = openVideo(make("r.mov", {VideoKind::MovH264, 32, 32, 50, 25}));
    ASSERT_TRUE(mov);
    EXPECT_NEAR(mov->frameRate, 51.0 / 2.0, 0.01);
    auto ps = openVideo(make("r.mpg", {VideoKind::MpegPs, 32, 32, 50, 25}));
    ASSERT_TRUE(ps);
    EXPECT_EQ(ps->frameRate, 0.0);
}

// A program stream named .avi is refused by the AVI reader and taken by the
// generic one; anything that is not a video opens nothing.
TEST_F(VideoSources, RegistryFallsThroughToTheGenericReader) {
    const std::string ps = make("ps.mpg", {VideoKind::MpegPs, 32, 32, 10, 25});
    const std::string renamed = dir.file("really_mpeg.AVI");
    std::filesystem::copy_file(ps, renamed);
    EXPECT_EQ(openerOf(renamed), "DirectShow movie (*.avi,*.mpg,*.mpeg)");
    auto v = openVideo(renamed);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->frameCount, 10);
    EXPECT_FALSE(openVideo(dir.write("notes.mov", "just text\n")));
    EXPECT_FALSE(openVideo(dir.file("missing.avi")));
    EXPECT_FALSE(openVideo(dir.path()));
}

// Damaged files: truncated at many points, bytes overwritten in the middle,
// random bytes, and a header declaring an enormous picture. Each either
// fails to open or opens and answers every frame with a picture or nothing.
TEST_F(VideoSources, HostileFilesFailCleanly) {
    std::mt19937 rng(5);
    auto exercise = [&](const std::string& path) {
        auto v = openVideo(path);
        if (!v) return;
        ASSERT_GT(v->frameCount, 0);
        for (int32_t n : {0, v->frameCount - 1, v->frameCount / 2, 1, v->frameCount + 3}) {
            const Image* f = v->frameAt(n);
            if (f) {
                ASSERT_EQ(f->pixels.size(), size_t(v->current.width) * size_t(v->current.height));
            }
        }
    };
    for (auto [name, kind] : {std::pair{"d.avi", VideoKind::AviMjpeg}, std::pair{"d.mov", VideoKind::MovH264},
                              std::pair{"d.mpg", VideoKind::MpegPs}, std::pair{"p.avi", VideoKind::AviPal8}}) {
        SCOPED_TRACE(name);
        const std::string good = make(std::string("good_") + name, {kind, 64, 48, 30, 25});
        const std::string bytes = test::readAll(good);
        for (size_t cut : {size_t(12), bytes.size() / 7, bytes.size() / 3, bytes.size() / 2, bytes.size() - 9}) {
            exercise(dir.write(name, bytes.substr(0, cut)));
        }
        // Later frames damaged: the early ones still come out right.
        std::string damaged = bytes;
        for (size_t i = bytes.size() * 2 / 3; i < bytes.size() * 2 / 3 + 400 && i < bytes.size(); i += 3)
            damaged[i] = char(rng());
        const std::string dpath = dir.write(name, damaged);
        exercise(dpath);
        if (auto v = openVideo(dpath)) {
            const Image* f = v->frameAt(1);
            ASSERT_TRUE(f);
            EXPECT_EQ(test::readIndex(*f), 1);
        }
        std::string noise(bytes.size(), '\0');
        for (char& c : noise) c = char(rng());
        exercise(dir.write(name, noise));
        noise.replace(0, std::min<size_t>(64, bytes.size()), bytes.substr(0, 64));
        exercise(dir.write(name, noise));
    }
    // An AVI whose bitmap header claims 1,000,000 x 1,000,000 pixels.
    std::string avi = test::readAll(make("huge.avi", {VideoKind::AviRaw24, 16, 16, 3, 25}));
    const size_t strf = avi.find("strf");
    ASSERT_NE(strf, std::string::npos);
    const uint32_t big = 1000000;
    std::memcpy(&avi[strf + 12], &big, 4);
    std::memcpy(&avi[strf + 16], &big, 4);
    exercise(dir.write("huge.avi", avi));
}

}  // namespace
}  // namespace tavlin
