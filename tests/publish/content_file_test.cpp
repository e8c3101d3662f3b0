// The content file written and read back through real pictures and sounds,
// and everything a damaged, foreign or hostile file can try.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "base/paths.h"
#include "base/safe_write.h"
#include "cipher/des_cipher.h"
#include "cipher/envelope.h"
#include "document/media_recount.h"
#include "document/project_file.h"
#include "media/video/ncrf_escape.h"
#include "publication.h"
#include "publish/content_file.h"
#include "publish/content_stream.h"
#include "support/recording_prompts.h"

namespace tavlin {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
    return s;
}

class ContentFile : public ::testing::Test {
protected:
    void SetUp() override {
        registerMedia();
        std::filesystem::create_directory(src.file("media"));
        std::filesystem::create_directory(out.file("pub"));
        folder = out.file("pub");
    }
    std::string source(const std::string& name) { return src.file(name); }
    // What the asset export does for this test's media: copy under the
    // published names the content file gives.
    void publishMedia(const ContentDescription& c, const Document& doc) {
        size_t p = 0;
        for (const auto& r : doc.imageResources)
            if (r->enabledUseCount > 0) std::filesystem::copy_file(r->name, joinPath(folder, c.pictureNames[p++]));
        size_t s = 0;
        for (const auto& r : doc.soundResources)
            if (r->enabledUseCount > 0) std::filesystem::copy_file(r->name, joinPath(folder, c.soundNames[s++]));
    }

    ScratchDir src, out;
    std::string folder;
};

// Write, publish the media beside it, read back into a new document: the
// project text is the same once the names of the media files are the
// published ones. Names, the lock and grab-from-thumb are left at what the
// file gives back, since it does not carry them.
TEST_F(ContentFile, WrittenAndReadBackGivesTheSameDocument) {
    std::string red = writePicture(src, "red.gif", 0xFFFF0000);
    std::string blue = writePicture(src, "blue.jpg", 0xFF0000FF, 8, 8);
    std::string beep = writeSound(src, "beep.au", 400);
    ASSERT_FALSE(red.empty() || blue.empty() || beep.empty());

    Document doc(400, 300);
    doc.setLength(150);
    auto* redR = loaded<ImageResource>(doc, MediaKind::Image, red);
    auto* blueR = loaded<ImageResource>(doc, MediaKind::Image, blue);
    auto* beepR = loaded<SoundResource>(doc, MediaKind::Sound, beep);
    ASSERT_TRUE(redR && blueR && beepR);
    append<VideoObject>(doc, "video0", 3, 4, 50, 60, {{0, 20}});
    append<ImageObject>(doc, "image0", -20, 10, 4, 3, {{0, 5}, {9, 12}})->picture = redR;
    auto* path = append<DragPath>(doc, "dpath0", 10, 20, 30, 40, {{0, 149}});
    path->statePictures = {blueR, nullptr, redR};
    path->stateWidths = {3, 4, 0};
    path->stateColours = {0x123456, 0xFF0000, 0x00FF7F};
    path->arrowMode = 4;
    path->curveFlag = 1;
    path->grabLimit = 9;
    path->thumbs = {redR, blueR};
    path->keepThumb = 1;
    path->thumbDirection = 1;
    for (int i = 0; i < 40; ++i) path->addPoint(10 + i * 7, 20 + (i * 13) % 50, i * 3, i % 9 != 4);
    path->computeCross();
    addEvent<PlayEvent>(doc, kPlayEvent, 0, 10, 100)->interruptible = 1;
    addEvent<JumpEvent>(doc, kJumpEvent, 5, 6, 0)->targets = {1, 50, 99};
    auto* sound = addEvent<SoundEvent>(doc, kSoundEvent, 10, 20, 7);
    sound->sound = beepR;
    sound->repeat = 1;
    addEvent<LinkEvent>(doc, kLinkEvent, 20, 30, 0);
    auto* link = addEvent<LinkEvent>(doc, kLinkEvent, 30, 40, 0);
    link->target = "_top";
    link->address = "http://example.test/page?a=1&b=\xC3\xBC";
    addEvent<ParamEvent>(doc, kParamEvent, 40, 50, 0)->text = "$play_speed=50";
    doc.recomputeFrameCodes();

    ASSERT_TRUE(writeContentFile(doc, folder, 41231).ok());
    ContentDescription written;
    ASSERT_TRUE(readContentFile(joinPath(folder, "tavlin.txt"), written).ok());
    publishMedia(written, doc);

    RecordingPrompts prompts;
    Document back(0, 0);
    ContentResult r = loadContentFile(joinPath(folder, "tavlin.txt"), back);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(back.contentFlag, 1);
    EXPECT_EQ(back.publishDate, 41231);
    auto* backPath = dynamic_cast<DragPath*>(back.objects[2].get());
    ASSERT_NE(backPath, nullptr);
    EXPECT_EQ(backPath->point(1)->cx, path->point(1)->cx);  // rebuilt from its points

    std::string expected = writeProject(doc);
    expected = replaceAll(expected, red, joinPath(folder, "i0.gif"));
    expected = replaceAll(expected, blue, joinPath(folder, "i1.jpg"));
    expected = replaceAll(expected, beep, joinPath(folder, "a0.au"));
    EXPECT_EQ(writeProject(back), expected);
    // The pictures really were read from the published files.
    auto* picture = dynamic_cast<ImageObject*>(back.objects[1].get())->picture;
    ASSERT_TRUE(picture && picture->image);
    EXPECT_EQ(picture->image->pixels[0], 0xFFFF0000u);
}

// A missing picture is asked about and skipped; the objects of the others
// still get their own pictures, not their neighbour's. A kept entry of the
// same path is reused and reloaded when its file changed.
TEST_F(ContentFile, MissingMediaAreAskedAboutAndSkippedWithoutShiftingTheRest) {
    Document doc(320, 240);
    std::string a = writePicture(src, "a.gif", 0xFF00FF00);
    std::string b = writePicture(src, "b.gif", 0xFF0000FF);
    append<ImageObject>(doc, "image0", 0, 0, 1, 1, {{0, 0}})->picture = loaded<ImageResource>(doc, MediaKind::Image, a);
    append<ImageObject>(doc, "image1", 0, 0, 1, 1, {{0, 0}})->picture = loaded<ImageResource>(doc, MediaKind::Image, b);
    append<VideoObject>(doc, "video0", 0, 0, 1, 1, {{0, 0}});  // no video: no frame list to ask about
    ASSERT_TRUE(writeContentFile(doc, folder, 0).ok());
    std::filesystem::copy_file(b, joinPath(folder, "i1.gif"));  // i0.gif never published

    RecordingPrompts prompts;
    prompts.answers = {1};  // "b_ignore"
    Document back(0, 0);
    // Already holding i1.gif under its published path, loaded long ago.
    auto stale = createResource(MediaKind::Image);
    stale->name = joinPath(folder, "i1.gif");
    stale->modificationTime = 1;
    MediaResource* kept = stale.get();
    back.imageResources.push_back(std::move(stale));

    ASSERT_TRUE(loadContentFile(joinPath(folder, "tavlin.txt"), back).ok());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("i0.gif"), std::string::npos);
    EXPECT_EQ(dynamic_cast<ImageObject*>(back.objects[0].get())->picture, nullptr);
    EXPECT_EQ(dynamic_cast<ImageObject*>(back.objects[1].get())->picture, kept);
    EXPECT_TRUE(kept->loaded());
    EXPECT_EQ(kept->modificationTime, fileModificationTime(kept->name));
    EXPECT_EQ(back.imageResources.size(), 1u);
}

TEST_F(ContentFile, OverLongTextsAreRefusedAndLeaveThePreviousFile) {
    Document doc(320, 240);
    ASSERT_TRUE(writeContentFile(doc, folder, 0).ok());
    std::string before = readAll(joinPath(folder, "tavlin.txt"));

    auto* link = addEvent<LinkEvent>(doc, kLinkEvent, 20, 30, 0);
    link->address = std::string(65535, 'a');
    link->target = std::string(255, 't');
    EXPECT_TRUE(writeContentFile(doc, folder, 0).ok());  // exactly at the limits
    before = readAll(joinPath(folder, "tavlin.txt"));
    ContentDescription c;
    ASSERT_TRUE(readContentFile(joinPath(folder, "tavlin.txt"), c).ok());
    EXPECT_EQ(c.events.at(0).address.size(), 65535u);

    link->address.push_back('a');
    ContentResult r = writeContentFile(doc, folder, 0);
    EXPECT_EQ(r.failure, ContentFailure::TooLong);
    EXPECT_NE(r.reason.find("link event at frames 20..30"), std::string::npos) << r.reason;
    EXPECT_NE(r.reason.find("65535"), std::string::npos) << r.reason;
    link->address.pop_back();
    link->target.push_back('t');
    r = writeContentFile(doc, folder, 0);
    EXPECT_NE(r.reason.find("window name"), std::string::npos) << r.reason;
    EXPECT_NE(r.reason.find("255"), std::string::npos) << r.reason;
    link->target = "_self";
    addEvent<ParamEvent>(doc, kParamEvent, 1, 2, 0)->text = std::string(70000, 'p');
    EXPECT_NE(writeContentFile(doc, folder, 0).reason.find("parameter text of the param event at frames 1..2"),
              std::string::npos);
    auto* path = append<DragPath>(doc, "dpath7", 0, 0, 0, 0, {{0, 1}});
    doc.events.pop_back();
    for (int i = 0; i < 65536; ++i) path->addPoint(i % 300, 1, 0, true);
    r = writeContentFile(doc, folder, 0);
    EXPECT_NE(r.reason.find("point list of the drag path \"dpath7\""), std::string::npos) << r.reason;

    EXPECT_EQ(readAll(joinPath(folder, "tavlin.txt")), before);
    doc.objects.pop_back();
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename(), "tavlin.txt");
    EXPECT_EQ(writeContentFile(doc, out.file("no/such/folder"), 0).failure, ContentFailure::CannotWrite);
}

// A plain stream for the hostile cases: version first, no header.
struct Plain {
    ContentStream s;
    Plain() { s.putU16(3); }
    Bytes bytes() const { return s.bytes(); }
};

ContentResult decode(const Bytes& bytes, ContentDescription* out = nullptr) {
    ContentDescription c;
    ContentResult r = decodeContent(bytes, c);
    if (out) *out = c;
    return r;
}

Bytes enciphered(const Bytes& plain, const DesKey& key) {
    DesCipher des;
    des.setKey(key);
    return NcrfEscape::wrap(des.cipherBuffer(plain, CipherDirection::Encrypt));
}

TEST(ContentFileHostile, ForeignKeysDamageAndTruncationFailCleanly) {
    Document doc(320, 240);
    auto* path = append<DragPath>(doc, "dpath0", 0, 0, 0, 0, {{0, 9}});
    for (int i = 0; i < 3000; ++i) path->addPoint(i % 320, i % 240, i % 100, true);  // thousands of points read fine
    addEvent<LinkEvent>(doc, kLinkEvent, 1, 2, 0)->address = "http://x";
    recountMedia(doc);
    Bytes plain;
    ASSERT_TRUE(encodeContent(describeContent(doc, 0), plain).ok());
    Bytes file = encipherContent(plain);
    ContentDescription c;
    ASSERT_TRUE(decode(file, &c).ok());
    EXPECT_EQ(c.objects.at(0).points.size(), 3000u);

    EXPECT_EQ(decode(enciphered(plain, desKeyFromText("47110816"))).failure, ContentFailure::WrongKey);
    EXPECT_EQ(decode(enciphered(plain, kSideFormatKey)).failure, ContentFailure::WrongKey);
    // Every truncation of the file and of the plain stream fails, nothing crashes.
    Bytes cipher = NcrfEscape::unwrap(file);
    for (size_t n = 0; n < cipher.size(); n += (n < 200 ? 1 : 97))
        EXPECT_FALSE(decode(NcrfEscape::wrap(std::span(cipher).first(n))).ok()) << n;
    Bytes headless(plain.begin() + 13, plain.end());
    ASSERT_TRUE(decode(headless).ok());  // a plain stream starts 0x00 0x03
    for (size_t n = 0; n + 1 < headless.size(); n += (n < 300 ? 1 : 101))
        EXPECT_FALSE(decode(Bytes(headless.begin(), headless.begin() + long(n))).ok()) << n;
    // Flipped bits anywhere: a clean result either way.
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        Bytes damaged = cipher;
        damaged[rng() % damaged.size()] ^= uint8_t(1 + rng() % 255);
        (void)decode(damaged);
        Bytes noise(8 * (1 + rng() % 64));
        for (auto& b : noise) b = uint8_t(rng());
        EXPECT_FALSE(decode(noise).ok());
    }
}

TEST(ContentFileHostile, CountsBeyondTheDataAndAbsurdValuesAreRefusedBeforeAnythingIsMade) {
    auto stage = [](ContentStream& s, int64_t w, int64_t h, int64_t length) {
        s.putU16(w);
        s.putU16(h);
        s.putU16(length);
    };
    {   // 65535 pictures promised, none there
        Plain p;
        p.s.putU16(0);
        p.s.putU16(0xFFFF);
        EXPECT_EQ(decode(p.bytes()).failure, ContentFailure::Damaged);
    }
    {   // 65535 objects promised in a few bytes
        Plain p;
        p.s.putU16(0), p.s.putU16(0), p.s.putU16(0);
        stage(p.s, 320, 240, 100);
        p.s.putU16(0xFFFF);
        p.s.putU8(2);
        EXPECT_NE(decode(p.bytes()).reason.find("object count"), std::string::npos);
    }
    {   // a path promising 65535 points, holding one
        Plain p;
        p.s.putU16(0), p.s.putU16(0), p.s.putU16(0);
        stage(p.s, 320, 240, 100);
        p.s.putU16(1);
        p.s.putU8(2);
        for (int i = 0; i < 4; ++i) p.s.putU16(0);
        p.s.putU16(0);
        for (int i = 0; i < 18 + 4 + 2; ++i) p.s.putU8(0);
        p.s.putU16(0xFFFF);
        p.s.putU16(1), p.s.putU16(1), p.s.putU32(1), p.s.putU8(1);
        EXPECT_NE(decode(p.bytes()).reason.find("points run past"), std::string::npos);
    }
    {   // a stage of 65535 x 0, and a "negative" length word
        Plain p;
        p.s.putU16(0), p.s.putU16(0), p.s.putU16(0);
        stage(p.s, -1, 0, -1);
        p.s.putU16(0), p.s.putU16(0);
        EXPECT_NE(decode(p.bytes()).reason.find("stage size"), std::string::npos);
    }
    {   // frames beyond any timeline, and unknown kinds
        Plain p;
        p.s.putU16(0), p.s.putU16(0), p.s.putU16(0);
        stage(p.s, 320, 240, 100);
        p.s.putU16(1);
        p.s.putU8(1);
        for (int i = 0; i < 4; ++i) p.s.putU16(0);
        p.s.putU16(1);
        p.s.putU32(0), p.s.putU32(-2000000000);
        p.s.putU16(0);
        p.s.putU16(0);
        EXPECT_EQ(decode(p.bytes()).failure, ContentFailure::Damaged);
        Plain q;
        q.s.putU16(0), q.s.putU16(0), q.s.putU16(0);
        stage(q.s, 320, 240, 100);
        q.s.putU16(0);
        q.s.putU16(1);
        q.s.putU8(9);
        for (int i = 0; i < 12; ++i) q.s.putU8(0);
        EXPECT_NE(decode(q.bytes()).reason.find("unknown kind 9"), std::string::npos);
    }
    {   // names that would reach outside the folder
        for (std::string bad : {"../x.gif", "/etc/passwd", "..", "a\\b"}) {
            Plain p;
            p.s.putU16(0);
            p.s.putU16(1);
            p.s.putStr8(bad);
            EXPECT_EQ(decode(p.bytes()).failure, ContentFailure::Damaged) << bad;
        }
    }
    {   // another version, enciphered with the right key and header
        Document doc(320, 240);
        Bytes plain;
        ASSERT_TRUE(encodeContent(describeContent(doc, 0), plain).ok());
        plain[14] = 4;
        ContentResult r = decode(encipherContent(plain));
        EXPECT_EQ(r.failure, ContentFailure::Version) << r.reason;
    }
}

TEST_F(ContentFile, ReferencesOutOfRangeLeaveObjectsWithoutMedia) {
    ContentDescription c;
    c.hasHeader = false;
    c.stageWidth = 320, c.stageHeight = 240, c.length = 50;
    c.videoCount = 1;
    ContentObject video;
    video.kind = kVideoObject;
    video.media = 7;  // beyond the one frame list
    ContentObject image;
    image.kind = kImageObject;
    image.media = 32000;
    ContentObject path;
    path.kind = kDragPath;
    path.statePictures = {5, -1, 40000 - 65536};
    path.thumbs = {-1, 3, 9};
    path.points = {{0, 0, 0, 1}, {10, 10, 9, 0}};
    c.objects = {video, image, path};
    ContentEvent sound;
    sound.kind = kSoundEvent;
    sound.sound = 12;
    c.events = {sound};
    Bytes plain;
    ASSERT_TRUE(encodeContent(c, plain).ok());
    ASSERT_TRUE(writeFileSafely(joinPath(folder, "tavlin.txt"), std::string(plain.begin(), plain.end())));

    RecordingPrompts prompts;
    Document back(0, 0);
    ContentResult r = loadContentFile(joinPath(folder, "tavlin.txt"), back);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_TRUE(prompts.messages.empty());  // v0.txt: unused and absent, not asked about
    ASSERT_EQ(back.objects.size(), 3u);
    EXPECT_EQ(back.publishDate, 0);  // a plain stream has no date
    auto* p = dynamic_cast<DragPath*>(back.objects[2].get());
    EXPECT_TRUE(p->thumbs.empty());
    EXPECT_EQ(p->count(), 2);
    EXPECT_TRUE(p->point(1)->handOver());
    EXPECT_EQ(dynamic_cast<SoundEvent*>(back.events[0].get())->sound, nullptr);
    EXPECT_EQ(back.length, 50);

    // Not a file, and no file at all.
    EXPECT_EQ(readContentFile(folder, c).failure, ContentFailure::CannotRead);
    EXPECT_EQ(readContentFile(joinPath(folder, "none.txt"), c).failure, ContentFailure::CannotRead);
}

}  // namespace
}  // namespace tavlin
