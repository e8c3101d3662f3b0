// Old drag-video projects: an enciphered main file of drag paths, the video
// beside it and an event file in either of its two versions, made here byte
// by byte and imported into a document.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "cipher/envelope.h"
#include "mpeg/mpeg_source.h"
#include "publication.h"
#include "publish/side_format_import.h"
#include "support/recording_prompts.h"
#include "test_videos.h"

namespace tavlin {
namespace {

using Bytes = std::vector<uint8_t>;

struct Records {
    Bytes b{'V', '2', '.', '1', '\n', 0};
    Records& u8(int v) { return b.push_back(uint8_t(v)), *this; }
    Records& u16(int v) { return u8(v >> 8).u8(v & 0xFF); }
    Records& str16(const std::string& s) {
        u16(int(s.size()));
        b.insert(b.end(), s.begin(), s.end());
        return *this;
    }
    Records& head(int type, int start, int end) { return u8(type).u16(start).u16(end); }
};

class SideFormat : public ::testing::Test {
protected:
    void SetUp() override {
        test::registerMedia();
        registerVideoFormats(std::make_unique<MpegFormat>());
    }
    void TearDown() override { clearRegistry(); }
    std::string mainFile(const std::string& name, const std::string& payload) {
        Result<Bytes> sealed = sealEnvelope(Bytes(payload.begin(), payload.end()), kSideFormatKey);
        EXPECT_TRUE(sealed);
        const std::string p = dir.file(name);
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(sealed.value().data()),
                                                 std::streamsize(sealed.value().size()));
        return p;
    }
    void writeFile(const std::string& name, const Bytes& b) {
        std::ofstream(dir.file(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    void video(const std::string& name, test::VideoKind kind = test::VideoKind::AviMjpeg) {
        test::VideoSpec recipe;
        recipe.kind = kind;
        ASSERT_TRUE(test::makeVideo(dir.file(name), recipe));
    }
    template <typename T>
    std::vector<T*> all(Document& doc) {
        std::vector<T*> out;
        for (auto& o : doc.objects)
            if (auto* t = dynamic_cast<T*>(o.get())) out.push_back(t);
        return out;
    }
    template <typename T>
    std::vector<T*> events(Document& doc) {
        std::vector<T*> out;
        for (auto& e : doc.events)
            if (auto* t = dynamic_cast<T*>(e.get())) out.push_back(t);
        return out;
    }
    test::ScratchDir dir;
    test::RecordingPrompts prompts;
};

TEST_F(SideFormat, PathsVideoEventsAndPicturesOfAVersion21Project) {
    video("old.avi");
    const std::string pic = test::writePicture(dir, "pic.png", 0xFF00FF00, 8, 6);
    test::writePicture(dir, "bg.png", 0xFF0000FF, 200, 150);
    const std::string main = mainFile("old.qmb",
                                      "G 2\n"
                                      "+14FF0000 5 2\n"
                                      "10 20 0 1\n30 40.9 15 1\n50 60 29 0\n"
                                      ". E 10 20 30 *\n"
                                      "5 5 0 1\n. D\n"              // one point: dropped
                                      "M 0 16\n12 34\n"              // the two numbers are mask, not a point
                                      "7 8 2 1\n9 9 3\n. -4 5\n"
                                      "I ignored\nK\nS\n");
    Records r;
    r.head(0, 1, 5).u16(300).u8('2').str16("");
    r.head(1, 2, 3).u16(0).str16("main").str16("page.html");
    r.head(2, 4, 4).u8(0).u16(2).u16(0x3042).u16(0x0041);
    r.head(3, 6, 6).u16(10).u16(2).u16(7).u16(9);
    r.head(8, 0, 0).head(77, 0, 0);  // no payloads
    r.head(9, 8, 8).u16(0xFFFE);
    r.head(6, 0, 20).u16(3).u16(4).str16("pic.png");
    r.head(6, 0, 20).u16(3).u16(4).str16("");  // skipped
    r.head(4, 0, 29).u16(10).u16(20).str16("bg.png");
    r.head(5, 15, 15).u8(0).u16(1).str16("pic.png");
    r.head(7, 9, 12).u16(50).u8(1);
    r.u8(255).u8(0).u8(0);  // the end; nothing after it counts
    writeFile("old.qme", r.b);

    Document doc(0, 0);
    Status s = importSideFormat(main, doc);
    ASSERT_TRUE(s) << s.reason();

    auto videos = all<VideoObject>(doc);
    ASSERT_EQ(videos.size(), 1u);
    EXPECT_EQ(videos[0]->width, 128) << "scaled by G";
    EXPECT_EQ(videos[0]->height, 96);
    EXPECT_EQ(videos[0]->left, 10);
    EXPECT_EQ(videos[0]->top, 20);
    EXPECT_EQ(doc.stageWidth, 200) << "the background's size";
    EXPECT_EQ(doc.stageHeight, 150);

    auto paths = all<DragPath>(doc);
    ASSERT_EQ(paths.size(), 2u);
    DragPath* first = paths[0]->count() == 3 ? paths[0] : paths[1];
    DragPath* second = first == paths[0] ? paths[1] : paths[0];
    ASSERT_EQ(first->count(), 3);
    EXPECT_EQ(first->point(1)->y, 40);
    EXPECT_FALSE(first->point(1)->handOver());
    EXPECT_TRUE(first->point(2)->handOver());
    EXPECT_EQ(first->stateWidths, (std::array<int32_t, 3>{2, 3, 0}));
    EXPECT_EQ(first->stateColours, (std::array<int32_t, 3>{0xFF0000, 0xFF0000, 0xFF0000}));
    EXPECT_EQ(first->grabLimit, 5);
    EXPECT_EQ(first->enabled, 1);
    EXPECT_EQ(first->ranges, (std::vector<FrameRange>{{10, 20}, {30, 99999}}));
    ASSERT_EQ(first->thumbs.size(), 1u);
    EXPECT_EQ(first->thumbs[0]->name, pic);
    ASSERT_EQ(second->count(), 2);
    EXPECT_EQ(second->point(0)->x, 7);
    EXPECT_TRUE(second->point(1)->handOver()) << "three numbers: a hand-over point";
    EXPECT_EQ(second->ranges, (std::vector<FrameRange>{{0, 5}}));

    auto images = all<ImageObject>(doc);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(doc.objects.back().get(), images.back()) << "the background lies under everything";
    EXPECT_EQ(images.back()->picture->image->width, 200);
    EXPECT_EQ(images[0]->left, 3);
    EXPECT_EQ(images[0]->top, 4);
    EXPECT_EQ(images[0]->ranges, (std::vector<FrameRange>{{0, 20}}));

    auto sounds = events<SoundEvent>(doc);
    ASSERT_EQ(sounds.size(), 1u);
    EXPECT_EQ(sounds[0]->wait, 300);
    EXPECT_EQ(sounds[0]->repeat, 2);
    EXPECT_EQ(sounds[0]->sound, nullptr);
    auto links = events<LinkEvent>(doc);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0]->target, "main");
    EXPECT_EQ(links[0]->address, "page.html");
    auto params = events<ParamEvent>(doc);
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0]->text, "\xE3\x81\x82" "A");
    EXPECT_EQ(params[1]->text, "-2");
    auto jumps = events<JumpEvent>(doc);
    ASSERT_EQ(jumps.size(), 1u);
    EXPECT_EQ(jumps[0]->targets, (std::vector<int32_t>{7, 9}));
    auto plays = events<PlayEvent>(doc);
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0]->interruptible, 1);
    EXPECT_EQ(plays[0]->wait, 50);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SideFormat, OlderEventFileAndAnMpegVideo) {
    video("older.mpg", test::VideoKind::MpegPs);
    const std::string main = mainFile("older.QMB", "1 1 0 1\n2 2 9 1\n.\n");
    const std::string text = ".1 5 9 6d 61 69 6e 2c 70 2e 68\n"
                             ".1 1 1 2c 78\n"  // nothing before the comma: no target
                             ".2 -3 2000000 41 42\n"
                             ".0 1 2\n"
                             ".5 1 2 41\n"
                             "not an event\n";
    writeFile("older.qme", Bytes(text.begin(), text.end()));
    Document doc(0, 0);
    Status s = importSideFormat(main, doc);
    ASSERT_TRUE(s) << s.reason();
    auto videos = all<VideoObject>(doc);
    ASSERT_EQ(videos.size(), 1u);
    ASSERT_TRUE(videos[0]->video && videos[0]->video->video);
    EXPECT_EQ(videos[0]->video->video->frameCount, 30);
    EXPECT_EQ(doc.stageWidth, 64);
    EXPECT_EQ(all<DragPath>(doc).size(), 1u);
    auto links = events<LinkEvent>(doc);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0]->target, "main");
    EXPECT_EQ(links[0]->address, "p.h");
    EXPECT_EQ(links[1]->target, "");
    auto params = events<ParamEvent>(doc);
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(params[0]->first, 0);
    EXPECT_EQ(params[0]->last, 999999);
    EXPECT_EQ(params[0]->text, "AB");
    EXPECT_EQ(events<SoundEvent>(doc).size(), 1u);
    EXPECT_EQ(doc.events.size(), 4u) << "kind 5 makes nothing";
}

TEST_F(SideFormat, DamagedAndIncompleteProjectsFailWithAReason) {
    // No video beside it.
    mainFile("novideo.qmb", "1 1 0 1\n2 2 9 1\n");
    Document empty(0, 0);
    Status s = importSideFormat(dir.file("novideo.qmb"), empty);
    EXPECT_FALSE(s);
    EXPECT_NE(s.reason().find("no .avi or .mpg"), std::string::npos) << s.reason();
    EXPECT_TRUE(empty.objects.empty());

    // A main file under another key, cut off, or not enciphered at all.
    video("bad.avi");
    Result<Bytes> foreign = sealEnvelope(Bytes{'1', ' ', '2', '\n'}, desKeyFromText("12345678"));
    writeFile("bad.qmb", foreign.value());
    Document doc(0, 0);
    s = importSideFormat(dir.file("bad.qmb"), doc);
    EXPECT_FALSE(s);
    EXPECT_TRUE(s.failure() == Failure::KeyMismatch || s.failure() == Failure::LengthMismatch) << s.reason();
    EXPECT_EQ(all<VideoObject>(doc).size(), 1u) << "what was made so far stays";
    Result<Bytes> good = sealEnvelope(Bytes(200, '1'), kSideFormatKey);
    writeFile("bad.qmb", Bytes(good.value().begin(), good.value().begin() + 96));
    Document cut(0, 0);
    EXPECT_FALSE(importSideFormat(dir.file("bad.qmb"), cut));
    writeFile("bad.qmb", Bytes{'h', 'e', 'l', 'l', 'o'});
    Document plain(0, 0);
    EXPECT_FALSE(importSideFormat(dir.file("bad.qmb"), plain));

    // No event file: the paths are there, the import still fails.
    mainFile("bad.qmb", "1 1 0 1\n2 2 9 1\n");
    Document noEvents(0, 0);
    s = importSideFormat(dir.file("bad.qmb"), noEvents);
    EXPECT_FALSE(s);
    EXPECT_NE(s.reason().find(".qme"), std::string::npos);
    EXPECT_EQ(all<DragPath>(noEvents).size(), 1u);

    // Records cut off in the middle, lengths that run past the end, and a
    // missing picture that the author skips.
    Records r;
    r.head(6, 0, 5).u16(1).u16(1).str16("missing.png");
    r.head(3, 0, 0).u16(1).u16(60000).u16(1);
    writeFile("bad.qme", r.b);
    prompts.answers = {1};  // "b_ignore"
    Document partial(0, 0);
    s = importSideFormat(dir.file("bad.qmb"), partial);
    EXPECT_TRUE(s) << s.reason();
    auto images = all<ImageObject>(partial);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]->picture, nullptr);
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(partial.events.empty()) << "the record that runs past the end is dropped";

    std::mt19937 rng(5);
    for (int round = 0; round < 30; ++round) {
        Bytes noise = r.b;
        for (int k = 0; k < 8; ++k) noise[6 + rng() % (noise.size() - 6)] = uint8_t(rng());
        noise.resize(6 + rng() % (noise.size() - 5));
        writeFile("bad.qme", noise);
        prompts.answers.assign(20, 1);
        Document d(0, 0);
        (void)importSideFormat(dir.file("bad.qmb"), d);
    }
}

}  // namespace
}  // namespace tavlin
