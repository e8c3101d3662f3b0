// Frame lists written from real videos and read back, the block index code
// against bytes worked out by hand, and damaged lists of every kind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "media/media_registry.h"
#include "media/video/block_index_coder.h"
#include "media/video/frame_list_source.h"
#include "media/video/frame_list_writer.h"
#include "media/video/frame_scaler.h"
#include "media/video/ncrf_escape.h"
#include "support/scratch.h"
#include "test_videos.h"

namespace tavlin {
namespace {

std::string unwrapped(const std::string& path) {
    const std::string raw = test::readAll(path);
    auto v = NcrfEscape::unwrap(std::span(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
    return std::string(v.begin(), v.end());
}

double meanAbsError(const Image& a, const Image& b) {
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int s : {0, 8, 16}) sum += std::abs(int(a.pixels[i] >> s & 0xFF) - int(b.pixels[i] >> s & 0xFF));
    return sum / (3.0 * double(a.pixels.size()));
}

class FrameLists : public ::testing::Test {
protected:
    void SetUp() override {
        clearRegistry();
        registerImageFormats();
        registerVideoFormats();
    }
    void TearDown() override { clearRegistry(); }
    std::unique_ptr<VideoSource> video(test::VideoKind kind, int32_t w, int32_t h, int32_t frames) {
        const std::string path = dir.file("src.avi");
        EXPECT_TRUE(test::makeVideo(path, {kind, w, h, frames, 25}));
        return openVideo(path);
    }
    test::ScratchDir dir;
};

// Worked by hand: values 1 1 2 0 1 have counts 1, 3, 1 for 0, 1, 2. The heap
// pairs 0 with 2 (node 3), then node 3 with 1 (node 4, the root), giving
// codes 0 = 00, 2 = 01, 1 = 1. Bits: count 5 (31), M 2 (16), tree
// 1 1 0 00 0 10 0 01, paths 1 1 01 00 1, padding.
TEST(BlockIndexCoder, CodesAHandWorkedExampleAndBack) {
    const std::vector<uint32_t> values{1, 1, 2, 0, 1};
    const std::vector<uint8_t> expected{0x00, 0x00, 0x00, 0x0A, 0x00, 0x05, 0x84, 0x74, 0x80};
    auto coded = BlockIndexCoder::encode(values);
    ASSERT_TRUE(coded);
    EXPECT_EQ(*coded, expected);
    EXPECT_EQ(BlockIndexCoder::decode(expected, 100), values);

    // One distinct value: a single leaf and no path bits; 7 = 0b111 in 3 bits.
    auto one = BlockIndexCoder::encode(std::vector<uint32_t>{7, 7, 7});
    ASSERT_TRUE(one);
    EXPECT_EQ(*one, (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x06, 0x00, 0x0E, 0xE0}));
    EXPECT_EQ(BlockIndexCoder::decode(*one, 3), (std::vector<uint32_t>{7, 7, 7}));
    EXPECT_TRUE(BlockIndexCoder::encode({})->empty());
    EXPECT_FALSE(BlockIndexCoder::encode(std::vector<uint32_t>{65536}));

    // Random streams, skewed and flat, come back as they went in.
    std::mt19937 rng(3);
    for (uint32_t range : {1u, 2u, 3u, 40u, 1200u, 65535u}) {
        std::vector<uint32_t> v(1 + rng() % 3000);
        for (auto& x : v) x = std::min<uint32_t>(range, uint32_t(std::abs(std::normal_distribution<>(0, range / 4.0 + 1)(rng))));
        auto c = BlockIndexCoder::encode(v);
        ASSERT_TRUE(c);
        EXPECT_EQ(BlockIndexCoder::decode(*c, uint32_t(v.size())), v) << range;
    }
}

// Invalid streams are refused, and a tiny stream claiming two billion free
// integers costs nothing until they are asked for.
TEST(BlockIndexCoder, RefusesInvalidStreams) {
    std::mt19937 rng(9);
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> junk(rng() % 40);
        for (auto& b : junk) b = uint8_t(rng());
        BlockIndexCoder::Reader r;
        if (r.start(junk)) {
            for (int k = 0; k < 100 && r.next(); ++k) {
            }
        }
    }
    // M = 1 allows one inner node; a tree with two is invalid.
    const std::vector<uint8_t> twoInner{0x00, 0x00, 0x00, 0x02, 0x00, 0x01, 0xC0, 0x00};
    EXPECT_FALSE(BlockIndexCoder::Reader().start(twoInner));
    // Count 2^31 - 1 over a single leaf.
    const std::vector<uint8_t> endless{0xFF, 0xFF, 0xFF, 0xFE, 0x00, 0x00, 0x00};
    BlockIndexCoder::Reader r;
    ASSERT_TRUE(r.start(endless));
    EXPECT_EQ(r.next(), 0u);
    EXPECT_FALSE(BlockIndexCoder::decode(endless, 1000));
    // Cut short in the paths.
    auto coded = *BlockIndexCoder::encode(std::vector<uint32_t>{1, 2, 3, 1, 2, 3, 1, 1});
    coded.pop_back();
    EXPECT_FALSE(BlockIndexCoder::decode(coded, 100));
}

// The integer scaler gives what scaleAveraged gives, pixel for pixel.
TEST(FrameScaler, MatchesScaleAveraged) {
    std::mt19937 rng(1);
    FrameScaler scaler;
    // Mostly transparent-free pictures take the fast sums; a few holes and
    // half-transparent pixels send their cells the slow way.
    for (int holes : {0, 7, 500}) {
        for (auto [sw, sh, w, h] : {std::array{640, 480, 320, 240}, std::array{97, 61, 40, 23}, std::array{30, 20, 71, 45},
                                    std::array{1920, 1080, 333, 187}, std::array{8, 8, 3, 17}, std::array{1920, 1080, 320, 240},
                                    std::array{721, 3, 720, 1}, std::array{5, 300, 5, 17}, std::array{640, 240, 320, 240},
                                    std::array{640, 960, 320, 240}, std::array{1282, 3, 641, 1}, std::array{640, 720, 320, 240}}) {
            Image src(sw, sh);
            for (auto& p : src.pixels) {
                p = rng() | 0xFF000000u;
                if (holes && rng() % uint32_t(holes) == 0) p &= rng() % 2 ? 0x00FFFFFFu : 0x7FFFFFFFu;
            }
            Image out(w, h);
            ASSERT_TRUE(scaler.scale(src, out));
            EXPECT_EQ(out.pixels, scaleAveraged(src, w, h)->pixels) << sw << "x" << sh << " to " << w << "x" << h;
        }
    }
    // Cells too large for its sums are left to scaleAveraged.
    Image big(1920, 1080), small(40, 30);
    EXPECT_FALSE(scaler.scale(big, small));
}

// Codes 2,3,3,1,3: a key frame, a patch opened and continued, a full frame
// closing it, and a new patch.
TEST_F(FrameLists, FlagSequenceGivesItsLines) {
    auto src = video(test::VideoKind::AviRaw24, 64, 48, 5);
    ASSERT_TRUE(src);
    const std::string list = dir.file("v0.txt");
    const uint8_t flags[] = {2, 3, 3, 1, 3};
    std::string error;
    ASSERT_TRUE(writeFrameList(silentProgress(), list, *src, {64, 48}, flags, &error)) << error;
    const std::string text = unwrapped(list);
    EXPECT_EQ(text.substr(0, text.find("C\n") + 2), "64 48 5 5\nS 0 v0s0.jpg\nD 1 v0d1.jpg\nd 2\nN 3 v0n3.jpg\nD 4 v0d4.jpg\nC\n");
    for (const char* f : {"v0s0.jpg", "v0d1.jpg", "v0n3.jpg", "v0d4.jpg"}) EXPECT_TRUE(std::filesystem::exists(dir.file(f))) << f;
    // The wrapped file holds no line breaks.
    const std::string raw = test::readAll(list);
    EXPECT_EQ(raw.substr(0, 4), "NCRF");
    EXPECT_EQ(raw.find_first_of("\r\n"), std::string::npos);
}

// A testsrc video written with key frames every 8 and difference frames
// between them, read back: every timeline frame is within JPEG error of the
// source, and frames outside any record show the earlier record.
TEST_F(FrameLists, RoundTripRebuildsEveryFrame) {
    const std::string srcPath = dir.file("testsrc.avi");
    ASSERT_TRUE(test::makeLavfiVideo(srcPath, "testsrc=size=160x120:rate=25", 30));
    auto src = openVideo(srcPath);
    ASSERT_TRUE(src);
    std::vector<uint8_t> flags(30, 3);
    for (size_t i = 0; i < flags.size(); i += 8) flags[i] = 2;
    flags[13] = 1;
    flags[20] = 0;
    const std::string list = dir.file("sub/vround.txt");
    std::filesystem::create_directories(dir.file("sub"));
    FrameListWriteOptions o{160, 120, 0, 90, 90, 64};
    std::string error;
    ASSERT_TRUE(writeFrameList(silentProgress(), list, *src, o, flags, &error)) << error;

    // Read from another folder: names resolve against the list's own folder
    // and the current folder stays where it was.
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    auto back = openVideo("sub/vround.txt");
    EXPECT_EQ(std::filesystem::current_path(), dir.path());
    std::filesystem::current_path(before);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->frameCount, 30);
    for (int32_t i = 0; i < 30; ++i) {
        const Image* want = src->frameAt(i == 20 ? 19 : i);
        ASSERT_TRUE(want);
        const Image expected = *want;
        const Image* got = back->frameAt(i);
        ASSERT_TRUE(got) << i;
        EXPECT_LT(meanAbsError(*got, expected), 6.0) << "frame " << i;
    }
    auto* fl = dynamic_cast<FrameListSource*>(back.get());
    ASSERT_TRUE(fl);
    EXPECT_EQ(fl->records().size(), 29u);
}

// A block index too long to hold goes through a spill file: the list still
// reads back whole, and nothing is left beside it but the list and its pictures.
TEST_F(FrameLists, LongBlockIndexIsSpilledAndReadBack) {
    const std::string srcPath = dir.file("big.avi");
    ASSERT_TRUE(test::makeLavfiVideo(srcPath, "testsrc=size=640x480:rate=25", 32));
    auto src = openVideo(srcPath);
    ASSERT_TRUE(src);
    std::vector<uint8_t> flags(32, 3);
    std::filesystem::create_directories(dir.file("out"));
    const std::string list = dir.file("out/v0.txt");
    // Quality 100 marks every block changed: 2 * 4800 integers a frame, and
    // a count for each patch.
    FrameListWriteOptions o{640, 480, 0, 90, 100, 1280};
    std::string error;
    ASSERT_TRUE(writeFrameList(silentProgress(), list, *src, o, flags, &error)) << error;
    for (const auto& e : std::filesystem::directory_iterator(dir.file("out"))) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "v0.txt" || (name.size() > 4 && name.substr(name.size() - 4) == ".jpg")) << name;
    }
    const std::string text = unwrapped(list);
    const size_t c = text.find("\nC\n");
    ASSERT_NE(c, std::string::npos);
    const std::span coded(reinterpret_cast<const uint8_t*>(text.data()) + c + 3, text.size() - c - 3);
    auto values = BlockIndexCoder::decode(coded, 1u << 30);
    ASSERT_TRUE(values);
    size_t patches = 0;
    for (size_t at = text.find("\nD "); at < c; at = text.find("\nD ", at + 1)) ++patches;
    EXPECT_GE(patches, 2u);
    EXPECT_EQ(values->size(), 4801u + 31u * 9600u + patches);
    auto back = openVideo(list);
    ASSERT_TRUE(back);
    for (int32_t i : {0, 1, 17, 31}) {
        const Image* want = src->frameAt(i);
        ASSERT_TRUE(want);
        const Image expected = *want;
        const Image* got = back->frameAt(i);
        ASSERT_TRUE(got) << i;
        EXPECT_LT(meanAbsError(*got, expected), 6.0) << "frame " << i;
    }
}

// Coding piece by piece gives the bytes of coding at once.
TEST(BlockIndexCoder, PiecewiseCodingMatchesWholeCoding) {
    std::mt19937 rng(7);
    for (uint32_t spread : {1u, 3u, 300u, 65536u}) {
        std::vector<uint32_t> values(20000);
        for (auto& v : values) v = std::min<uint32_t>(uint32_t(std::abs(std::normal_distribution<>(0, spread)(rng))), 65535);
        std::vector<uint64_t> counts(BlockIndexCoder::kLimit, 0);
        for (uint32_t v : values) ++counts[v];
        BlockIndexCoder::Encoder encoder;
        ASSERT_TRUE(encoder.start(counts));
        std::vector<uint8_t> pieces;
        for (uint32_t v : values) {
            encoder.put(v);
            if (rng() % 97 == 0) {
                auto part = encoder.take(false);
                pieces.insert(pieces.end(), part.begin(), part.end());
            }
        }
        auto last = encoder.take(true);
        pieces.insert(pieces.end(), last.begin(), last.end());
        EXPECT_EQ(pieces, *BlockIndexCoder::encode(values)) << spread;
        EXPECT_EQ(BlockIndexCoder::decode(pieces, 20000), values);
    }
    BlockIndexCoder::Encoder none;
    EXPECT_FALSE(none.start(std::vector<uint64_t>(10, 0)));
}

TEST_F(FrameLists, SmallCases) {
    auto src = video(test::VideoKind::AviMjpeg, 40, 24, 6);
    ASSERT_TRUE(src);
    // Only full frames: no C line; with skip 1 the timeline has 3 frames.
    const uint8_t full[] = {1, 1, 1};
    ASSERT_TRUE(writeFrameList(silentProgress(), dir.file("vn.txt"), *src, {40, 24, 1}, full));
    EXPECT_EQ(unwrapped(dir.file("vn.txt")), "40 24 3 3\nN 0 vnn0.jpg\nN 1 vnn1.jpg\nN 2 vnn2.jpg\n");
    // A first frame coded 3 is written as a key frame; a difference frame
    // without change still opens its patch (1x1) and adds 0 to the stream.
    const uint8_t still[] = {3, 3};
    src = video(test::VideoKind::AviRaw24, 40, 24, 1);
    src->frameCount = 1;
    ASSERT_TRUE(writeFrameList(silentProgress(), dir.file("vs.txt"), *src, {40, 24}, still));
    const std::string t = unwrapped(dir.file("vs.txt"));
    EXPECT_EQ(t.substr(0, t.find("C\n")), "40 24 1 1\nS 0 vss0.jpg\n");
    // R = 0 opens, and gives no frame.
    const std::string empty = dir.write("vempty.txt", "12 8 4 0\n");
    auto none = openVideo(empty);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->frameCount, 4);
    EXPECT_FALSE(none->frameAt(0));
    // A plain still-picture list with "-" at its end, picture 100 wide shown in 64x48.
    Image pic(100, 30);
    ASSERT_TRUE(findImageFormat("a.png")->write(dir.file("a.png"), pic));
    auto plain = openVideo(dir.write("vplain.txt", "64 48 2 1\nN 0 a.png\n-\n"));
    ASSERT_TRUE(plain);
    const Image* f = plain->frameAt(1);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->width, 64);
    EXPECT_EQ(f->at(63, 29), 0xFFFFFFFFu);
    EXPECT_EQ(f->at(0, 30), 0u);  // padded transparent
}

// Stopping the progress ends the writing with failure, yet the list written
// so far is whole and opens.
TEST_F(FrameLists, StoppedWritingLeavesAUsableList) {
    struct StopAfter : Progress {
        int left;
        explicit StopAfter(int n) : left(n) {}
        bool update(int64_t, int64_t) override { return left-- > 0; }
    } stop(3);
    auto src = video(test::VideoKind::AviMjpeg, 32, 32, 10);
    std::vector<uint8_t> flags(10, 3);
    std::string error;
    EXPECT_FALSE(writeFrameList(stop, dir.file("vstop.txt"), *src, {32, 32}, flags, &error));
    EXPECT_EQ(error, "stopped");
    auto back = openVideo(dir.file("vstop.txt"));
    ASSERT_TRUE(back);
    EXPECT_EQ(dynamic_cast<FrameListSource*>(back.get())->records().size(), 3u);
    // An unwritable place fails at once.
    EXPECT_FALSE(writeFrameList(silentProgress(), dir.file("no/such/v.txt"), *src, {32, 32}, flags, &error));
    EXPECT_EQ(diffSumHeight(nullptr), 1280);
    const std::string zero = "0", odd = "100", junk = "tall";
    EXPECT_EQ(diffSumHeight(&zero), 1280);
    EXPECT_EQ(diffSumHeight(&junk), 1280);
    EXPECT_EQ(diffSumHeight(&odd), 104);
}

// Damaged lists: every one fails to load with a reason, or loads and answers.
TEST_F(FrameLists, HostileListsFailCleanly) {
    auto src = video(test::VideoKind::AviRaw24, 48, 32, 6);
    const uint8_t flags[] = {2, 3, 3, 2, 3, 1};
    ASSERT_TRUE(writeFrameList(silentProgress(), dir.file("vgood.txt"), *src, {48, 32}, flags));
    const std::string good = unwrapped(dir.file("vgood.txt"));
    const size_t c = good.find("C\n") + 2;
    auto tryLoad = [&](const std::string& bytes, bool mayLoad) {
        FrameListSource s;
        const bool ok = s.load(dir.write("vbad.txt", bytes));
        if (!mayLoad) {
            EXPECT_FALSE(ok) << bytes.substr(0, 60);
        }
        if (ok) {
            for (int32_t i = -1; i < 8; ++i) s.frameAt(i);
        } else {
            EXPECT_FALSE(s.error().empty());
        }
    };
    tryLoad(good, true);
    for (size_t cut = 0; cut < good.size(); cut += 7) tryLoad(good.substr(0, cut), cut >= c);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    tryLoad(replaced("48 32 6 6", "10001 32 6 6"), false);
    tryLoad(replaced("48 32 6 6", "48 32 6 10001"), false);
    tryLoad(replaced("48 32 6 6", "48 32 6 9999"), false);  // records the file does not have
    tryLoad(replaced("48 32 6 6", "48 32 -6 6"), false);
    tryLoad(replaced("48 32 6 6", "x48 32 6 6"), false);
    tryLoad(replaced("48 32 6 6", "48 32 6 99999999999"), false);
    tryLoad(replaced("S 0 vgoods0.jpg", "S 0 missing.jpg"), false);
    tryLoad(replaced("S 0 vgoods0.jpg", "Q 0 vgoods0.jpg"), false);
    tryLoad(replaced("S 0 vgoods0.jpg", "D 0 vgoods0.jpg"), false);  // difference before any key
    tryLoad(replaced("N 5 vgoodn5.jpg", "N 5 " + std::string(3000, 'a')), false);
    // A key patch wider than the frame's block grid.
    Image wide(800, 8);
    ASSERT_TRUE(findImageFormat("w.jpg")->write(dir.file("wide.jpg"), wide));
    tryLoad(replaced("S 0 vgoods0.jpg", "S 0 wide.jpg"), false);
    // Block index streams: garbage, a patch listing a record of another
    // group, block indices past the frame, and a record listing itself past the end.
    std::mt19937 rng(2);
    for (int i = 0; i < 200; ++i) {
        std::string s = good;
        for (size_t k = c; k < s.size(); ++k)
            if (rng() % 4 == 0) s[k] = char(rng());
        tryLoad(s, true);
    }
    auto withStream = [&](const std::vector<uint32_t>& v) {
        auto coded = *BlockIndexCoder::encode(v);
        return good.substr(0, c) + std::string(coded.begin(), coded.end());
    };
    // Records: 0 S, 1 D, 2 d, 3 S, 4 D, 5 N. 24 blocks per frame.
    std::vector<uint32_t> sBlocks{24};
    for (uint32_t k = 0; k < 24; ++k) sBlocks.push_back(k);
    auto stream = [&](std::vector<uint32_t> d1, std::vector<uint32_t> d4) {
        std::vector<uint32_t> v = sBlocks;
        v.insert(v.end(), d1.begin(), d1.end());
        v.insert(v.end(), sBlocks.begin(), sBlocks.end());
        v.insert(v.end(), d4.begin(), d4.end());
        return v;
    };
    tryLoad(withStream(stream({1, 2, 5}, {0})), true);
    tryLoad(withStream(stream({1, 4, 5}, {0})), false);    // record 4 is not in the patch's group
    tryLoad(withStream(stream({1, 5, 5}, {0})), false);    // an N record
    tryLoad(withStream(stream({1, 900, 5}, {0})), false);  // no such record
    tryLoad(withStream(stream({1, 1, 24}, {0})), false);   // block past the frame
    tryLoad(withStream(stream({60000, 1, 2}, {0})), false);
    tryLoad(withStream(stream({1, 1, 2}, {})), false);     // ends too soon
    // Raw line breaks inside a wrapped file are ignored.
    std::string wrapped = test::readAll(dir.file("vgood.txt"));
    wrapped.insert(9, "\r\n");
    FrameListSource s;
    EXPECT_TRUE(s.load(dir.write("vbreaks.txt", wrapped)));
}

}  // namespace
}  // namespace tavlin
