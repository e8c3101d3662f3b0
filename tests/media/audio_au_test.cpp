#include "media/audio/au_format.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "media/media_registry.h"
#include "media/audio/mulaw.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

Sound soundOf(const std::vector<int16_t>& samples) {
    Sound s;
    for (int16_t v : samples) {
        s.data.push_back(uint8_t(uint16_t(v)));
        s.data.push_back(uint8_t(uint16_t(v) >> 8));
    }
    return s;
}

std::string be32(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string header(uint32_t offset, uint32_t size, uint32_t encoding = 1, uint32_t rate = 8000,
                   uint32_t channels = 1, uint32_t magic = 0x2E736E64) {
    return be32(magic) + be32(offset) + be32(size) + be32(encoding) + be32(rate) + be32(channels);
}

TEST(AuFormatTest, WrittenFileHasTheHeaderAndOneCodePerSample) {
    test::ScratchDir dir;
    AuFormat au;
    std::vector<int16_t> samples{0, 1000, -1000, 32767, -32768, 12345};
    ASSERT_TRUE(au.write(dir.file("a.au"), soundOf(samples)));
    std::string bytes = test::readAll(dir.file("a.au"));
    ASSERT_EQ(bytes.size(), 24u + samples.size());
    EXPECT_EQ(bytes.substr(0, 24), header(24, 6));
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(uint8_t(bytes[24 + i]), muLawEncode(samples[i]));

    auto back = au.read(dir.file("a.au"));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->sampleCount(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(back->sample(i), muLawDecode(muLawEncode(samples[i])));
}

TEST(AuFormatTest, EdgeLengths) {
    test::ScratchDir dir;
    AuFormat au;
    // An odd byte at the end is not a sample.
    Sound odd = soundOf({100, 200});
    odd.data.push_back(7);
    ASSERT_TRUE(au.write(dir.file("odd.au"), odd));
    EXPECT_EQ(test::readAll(dir.file("odd.au")).size(), 26u);

    ASSERT_TRUE(au.write(dir.file("empty.au"), Sound{}));
    auto empty = au.read(dir.file("empty.au"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->length(), 0u);

    // Data may start after an annotation.
    auto withNote = au.read(dir.write("note.au", header(32, 2) + "annotate" + "\xff\x81"));
    ASSERT_TRUE(withNote);
    ASSERT_EQ(withNote->sampleCount(), 2u);
    EXPECT_EQ(withNote->sample(0), 0);
    EXPECT_EQ(withNote->sample(1), 30037);
    // Bytes beyond the declared size are ignored.
    auto extra = au.read(dir.write("extra.au", header(24, 1) + std::string(3, '\0')));
    ASSERT_TRUE(extra);
    EXPECT_EQ(extra->sampleCount(), 1u);
}

TEST(AuFormatTest, OtherFormsAndDamagedFilesYieldNothing) {
    test::ScratchDir dir;
    AuFormat au;
    std::string data(10, '\x55');
    EXPECT_FALSE(au.read(dir.write("magic.au", header(24, 10, 1, 8000, 1, 0x2E736E65) + data)));
    EXPECT_FALSE(au.read(dir.write("linear.au", header(24, 10, 3) + data)));
    EXPECT_FALSE(au.read(dir.write("rate.au", header(24, 10, 1, 44100) + data)));
    EXPECT_FALSE(au.read(dir.write("stereo.au", header(24, 10, 1, 8000, 2) + data)));
    EXPECT_FALSE(au.read(dir.write("short.au", header(24, 11) + data)));
    EXPECT_FALSE(au.read(dir.write("offset.au", header(35, 0) + data)));
    EXPECT_FALSE(au.read(dir.write("offset2.au", header(0xFFFFFFF0u, 4) + data)));
    // An "unknown size" or absurd size must not be allocated.
    EXPECT_FALSE(au.read(dir.write("huge.au", header(24, 0xFFFFFFFFu) + data)));
    EXPECT_FALSE(au.read(dir.file("missing.au")));
    EXPECT_FALSE(au.read(dir.path()));
    std::string good = header(24, 10) + data;
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(au.read(dir.write("cut.au", good.substr(0, cut)))) << cut;
}

TEST(AuFormatTest, FailedWriteKeepsTheOldFile) {
    test::ScratchDir dir;
    AuFormat au;
    EXPECT_FALSE(au.write(dir.file("no/such/dir/a.au"), soundOf({1, 2})));
    ::mkdir(dir.file("sub.au").c_str(), 0700);
    EXPECT_FALSE(au.write(dir.file("sub.au"), soundOf({1, 2})));
    std::string old = header(24, 1) + "\xff";
    dir.write("keep.au", old);
    ASSERT_TRUE(au.write(dir.file("keep.au"), soundOf({20000})));
    EXPECT_NE(test::readAll(dir.file("keep.au")), old);
}

TEST(AuFormatTest, RegisteredBeforeWavAndChosenByExtension) {
    clearRegistry();
    registerAudioFormats();
    ASSERT_EQ(audioFormats().size(), 2u);
    EXPECT_EQ(audioFormats()[0]->description(), "Sum u-law audio (*.au)");
    EXPECT_EQ(audioFormats()[0]->pattern(), "*.au");
    EXPECT_EQ(audioFormats()[1]->description(), "Windows wav audio (*.wav)");
    EXPECT_EQ(audioFormats()[1]->pattern(), "*.wav");
    EXPECT_EQ(std::string(audioFilter().c_str()), "All Wave");

    test::ScratchDir dir;
    ASSERT_TRUE(findAudioFormat("x.AU")->write(dir.file("x.AU"), soundOf({300})));
    auto s = readSound(dir.file("x.AU"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sampleCount(), 1u);
    EXPECT_FALSE(findAudioFormat("x.wav")->write(dir.file("x.wav"), soundOf({300})));
    clearRegistry();
}

}  // namespace
}  // namespace tavlin
