#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "media/audio/au_format.h"
#include "support/scratch.h"

namespace tavlin {
namespace {

struct CliRun {
    int status = -1;
    std::string err;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun tavlin(const test::ScratchDir& dir, const std::vector<std::string>& args) {
    std::string cmd = quoted(TAVLIN_CLI);
    for (const auto& a : args) cmd += " " + quoted(a);
    cmd += " >/dev/null 2>" + quoted(dir.file("stderr.txt"));
    int rc = std::system(cmd.c_str());
    CliRun r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.err = test::readAll(dir.file("stderr.txt"));
    return r;
}

std::string le16(uint32_t v) { return {char(v), char(v >> 8)}; }
std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

// Half a second of a rising ramp, 22050 Hz stereo 16-bit.
std::string stereoWav() {
    std::string data;
    for (int i = 0; i < 11025; ++i) data += le16(uint16_t(i)) + le16(uint16_t(i));
    std::string fmt = le16(1) + le16(2) + le32(22050) + le32(22050 * 4) + le16(4) + le16(16);
    std::string body = "WAVE" + std::string("fmt ") + le32(16) + fmt + "data" + le32(uint32_t(data.size())) + data;
    return "RIFF" + le32(uint32_t(body.size())) + body;
}

bool oneLineNaming(const std::string& err, const std::string& file, const std::string& what) {
    return err.find(file) != std::string::npos && err.find(what) != std::string::npos &&
           err.find('\n') == err.size() - 1;
}

TEST(AudioCliTest, ConvertsWavAndAuToAu) {
    test::ScratchDir dir;
    std::string in = dir.write("in.wav", stereoWav());
    CliRun r = tavlin(dir, {"audio", "convert", in, dir.file("out.au")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    auto s = AuFormat().read(dir.file("out.au"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sampleCount(), 4000u);

    r = tavlin(dir, {"audio", "convert", dir.file("out.au"), dir.file("again.AU")});
    EXPECT_EQ(r.status, 0) << r.err;
    auto again = AuFormat().read(dir.file("again.AU"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->sampleCount(), 4000u);
}

TEST(AudioCliTest, FailuresNameTheFileAndTheProblem) {
    test::ScratchDir dir;
    std::string good = dir.write("in.wav", stereoWav());
    std::string missing = dir.file("missing.wav");
    CliRun r = tavlin(dir, {"audio", "convert", missing, dir.file("o.au")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(oneLineNaming(r.err, missing, "no such file")) << r.err;

    std::string unknown = dir.write("in.xyz", "whatever");
    r = tavlin(dir, {"audio", "convert", unknown, dir.file("o.au")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(oneLineNaming(r.err, unknown, "no sound format claims this name")) << r.err;

    std::string damaged = dir.write("bad.wav", stereoWav().substr(0, 100));
    r = tavlin(dir, {"audio", "convert", damaged, dir.file("o.au")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(oneLineNaming(r.err, damaged, "cannot be decoded as a sound")) << r.err;
    std::string compressedJunk = stereoWav();
    compressedJunk[20] = 0x02;  // MS ADPCM over data that is not
    damaged = dir.write("junk.wav", compressedJunk);
    r = tavlin(dir, {"audio", "convert", damaged, dir.file("o.au")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(oneLineNaming(r.err, damaged, "cannot be decoded as a sound")) << r.err;

    // A header asking for more than four hours: refused with the reason.
    std::string endless = stereoWav();
    // Mono at one sample per second: 22,050 seconds.
    endless.replace(22, 12, le16(1) + le32(1) + le32(2) + le16(2));
    damaged = dir.write("endless.wav", endless);
    r = tavlin(dir, {"audio", "convert", damaged, dir.file("o.au")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(oneLineNaming(r.err, damaged, "longer than four hours")) << r.err;

    for (std::string out : {dir.file("o.wav"), dir.file("no/such/folder/o.au")}) {
        r = tavlin(dir, {"audio", "convert", good, out});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(oneLineNaming(r.err, out, "cannot be written")) << r.err;
    }
    r = tavlin(dir, {"audio", "convert", good, dir.file("o.mp3")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(oneLineNaming(r.err, dir.file("o.mp3"), "no sound format claims this name")) << r.err;
    EXPECT_FALSE(std::ifstream(dir.file("o.au")).good());

    r = tavlin(dir, {"audio", "convert", good});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err, "");
}

}  // namespace
}  // namespace tavlin
