// The written content file taken apart without the program's own code:
// libcrypto's DES deciphers it, and a reader written here from the file's
// table parses it. Each case checks fields the viewer depends on.

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "document/media_recount.h"
#include "publication.h"
#include "publish/content_file.h"

namespace tavlin {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace test;

// "NCRF", then 01 01 stands for 01, 01 02 for CR and 01 03 for LF.
Bytes ncrfUnwrap(const Bytes& in) {
    EXPECT_GE(in.size(), 4u);
    EXPECT_EQ(std::string(in.begin(), in.begin() + 4), "NCRF");
    Bytes out;
    for (size_t i = 4; i < in.size(); ++i) {
        EXPECT_NE(in[i], 0x0A);
        EXPECT_NE(in[i], 0x0D);
        if (in[i] != 0x01) {
            out.push_back(in[i]);
            continue;
        }
        uint8_t next = in.at(++i);
        out.push_back(next == 1 ? 0x01 : next == 2 ? 0x0D : 0x0A);
    }
    return out;
}

// The key text of the viewer's constants 4711 and 815, with the top bit of
// each byte made an odd-parity bit over the low seven.
Bytes decipher(const Bytes& cipher) {
    DES_cblock key;
    const char* text = "47110815";
    for (int i = 0; i < 8; ++i) {
        uint8_t b = uint8_t(text[i]) & 0x7F;
        int ones = __builtin_popcount(b);
        key[i] = uint8_t(b | (ones % 2 == 0 ? 0x80 : 0));
    }
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    DES_cblock iv = {0};
    EXPECT_EQ(cipher.size() % 8, 0u);
    Bytes plain(cipher.size());
    DES_ncbc_encrypt(cipher.data(), plain.data(), long(cipher.size()), &schedule, &iv, DES_DECRYPT);
    return plain;
}

struct Reader {
    const Bytes& b;
    size_t at = 0;
    uint32_t u8() { return b.at(at++); }
    uint32_t u16() {
        uint32_t v = u8() << 8;
        return v | u8();
    }
    uint32_t u32() {
        uint32_t v = u16() << 16;
        return v | u16();
    }
    std::string bytes(size_t n) {
        EXPECT_LE(at + n, b.size());
        std::string s(b.begin() + long(at), b.begin() + long(at + n));
        at += n;
        return s;
    }
};

struct Obj {
    uint32_t kind, x, y, w, h;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    uint32_t ref = 0;  // video or picture
    uint32_t statePic[3], stateWidth[3], stateRgb[3];
    uint32_t arrow = 0, curve = 0, grab = 0, keep = 0, direction = 0;
    std::vector<uint32_t> thumbs;
    std::vector<std::vector<uint32_t>> points;
};

struct Ev {
    uint32_t kind, first, last, wait;
    uint32_t interruptible = 0, repeat = 0, sound = 0;
    std::vector<uint32_t> targets;
    std::string target, address, text;
    uint32_t targetLength = 0, addressLength = 0;
};

struct Parsed {
    uint32_t header, date, reserved, flag, version, videos, width, height, length;
    std::vector<std::string> pictures, sounds;
    std::vector<Obj> objects;
    std::vector<Ev> events;
    size_t plainLength = 0;
    Bytes plain;
};

Parsed parse(const Bytes& file) {
    Parsed p;
    p.plain = decipher(ncrfUnwrap(file));
    Reader r{p.plain};
    p.header = r.u32();
    p.date = r.u32();
    p.reserved = r.u32();
    p.flag = r.u8();
    p.version = r.u16();
    p.videos = r.u16();
    for (uint32_t n = r.u16(); n > 0; --n) p.pictures.push_back(r.bytes(r.u8()));
    for (uint32_t n = r.u16(); n > 0; --n) p.sounds.push_back(r.bytes(r.u8()));
    p.width = r.u16();
    p.height = r.u16();
    p.length = r.u16();
    for (uint32_t n = r.u16(); n > 0; --n) {
        Obj o;
        o.kind = r.u8();
        o.x = r.u16();
        o.y = r.u16();
        o.w = r.u16();
        o.h = r.u16();
        for (uint32_t k = r.u16(); k > 0; --k) {
            uint32_t a = r.u32();
            o.ranges.push_back({a, r.u32()});
        }
        if (o.kind == 0 || o.kind == 1) o.ref = r.u16();
        if (o.kind == 2) {
            for (int s = 0; s < 3; ++s) {
                o.statePic[s] = r.u16();
                o.stateWidth[s] = r.u8();
                uint32_t red = r.u8(), green = r.u8();
                o.stateRgb[s] = red << 16 | green << 8 | r.u8();
            }
            o.arrow = r.u8();
            o.curve = r.u8();
            o.grab = r.u8();
            for (uint32_t m = r.u8(); m > 0; --m) o.thumbs.push_back(r.u16());
            o.keep = r.u8();
            o.direction = r.u8();
            for (uint32_t k = r.u16(); k > 0; --k) {
                uint32_t x = r.u16(), y = r.u16(), f = r.u32();
                o.points.push_back({x, y, f, r.u8()});
            }
        }
        p.objects.push_back(o);
    }
    for (uint32_t n = r.u16(); n > 0; --n) {
        Ev e;
        e.kind = r.u8();
        e.first = r.u32();
        e.last = r.u32();
        e.wait = r.u32();
        switch (e.kind) {
        case 0: e.interruptible = r.u8(); break;
        case 1:
            for (uint32_t k = r.u16(); k > 0; --k) e.targets.push_back(r.u32());
            break;
        case 2:
            e.repeat = r.u8();
            e.sound = r.u16();
            break;
        case 3:
            e.targetLength = r.u8();
            e.target = r.bytes(e.targetLength);
            e.addressLength = r.u16();
            e.address = r.bytes(e.addressLength);
            break;
        case 4: e.text = r.bytes(r.u16()); break;
        }
        p.events.push_back(e);
    }
    p.plainLength = r.at;
    // Only the line-feed padding may follow, and less than a block of it.
    EXPECT_LT(p.plain.size() - r.at, 8u);
    for (size_t i = r.at; i < p.plain.size(); ++i) EXPECT_EQ(p.plain[i], 0x0A);
    return p;
}

class ContentCrossCheck : public ::testing::Test {
protected:
    Bytes write(Document& doc, int32_t date) {
        ContentResult r = writeContentFile(doc, dir.path(), date);
        EXPECT_TRUE(r.ok()) << r.reason;
        std::string bytes = readAll(dir.file("tavlin.txt"));
        return Bytes(bytes.begin(), bytes.end());
    }
    ScratchDir dir;
};

TEST_F(ContentCrossCheck, EmptyDocumentIs31BytesPaddedToOneMoreBlockThanFour) {
    Document doc(320, 240);
    Bytes file = write(doc, 0);
    Parsed p = parse(file);
    EXPECT_EQ(p.plainLength, 31u);
    EXPECT_EQ(p.plain.size(), 32u);
    EXPECT_EQ(p.plain[31], 0x0A);
    size_t escaped = 0;
    Bytes cipher = ncrfUnwrap(file);
    for (uint8_t b : cipher) escaped += (b == 0x01 || b == 0x0A || b == 0x0D);
    EXPECT_EQ(file.size(), 4 + 32 + escaped);
    EXPECT_EQ(p.header, 0x54564C4Eu);
    EXPECT_EQ(p.date, 0u);
    EXPECT_EQ(p.version, 3u);
    EXPECT_EQ(p.videos + p.pictures.size() + p.sounds.size() + p.objects.size() + p.events.size(), 0u);
    EXPECT_EQ(p.width, 320u);
    EXPECT_EQ(p.height, 240u);
    EXPECT_EQ(p.length, uint32_t(doc.length));
}

TEST_F(ContentCrossCheck, EveryFieldOfARichPublication) {
    Document doc(400, 300);
    doc.setLength(120);
    auto* dupA = named<ImageResource>(doc, MediaKind::Image, "/src/red.gif");
    auto* dupB = named<ImageResource>(doc, MediaKind::Image, "/src/red.gif");
    auto* hidden = named<ImageResource>(doc, MediaKind::Image, "/src/blue.png");
    auto* button = named<ImageResource>(doc, MediaKind::Image, "/src/button.png");
    auto* thumb = named<ImageResource>(doc, MediaKind::Image, "/src/Thumb.JPG");
    named<ImageResource>(doc, MediaKind::Image, "/src/unused.png");
    auto* beep = named<SoundResource>(doc, MediaKind::Sound, "/src/beep.wav");
    auto* clipA = named<VideoResource>(doc, MediaKind::Video, "/src/a.avi");
    auto* clipB = named<VideoResource>(doc, MediaKind::Video, "/src/b.avi");
    auto* clipC = named<VideoResource>(doc, MediaKind::Video, "/src/c.avi");

    append<VideoObject>(doc, "video0", 1, 2, 3, 4, {{0, 9}})->video = clipA;
    append<VideoObject>(doc, "video1", 5, 6, 7, 8, {{10, 19}, {30, 39}});  // no video: -1, counted
    auto* off = append<VideoObject>(doc, "video2", 0, 0, 1, 1, {{0, 1}});
    off->video = clipB;
    off->enabled = 0;
    append<VideoObject>(doc, "video3", -7, 9, 10, 11, {{20, 29}})->video = clipC;
    append<ImageObject>(doc, "image0", 0, 0, 4, 3, {{0, 5}})->picture = dupA;
    append<ImageObject>(doc, "image1", 0, 0, 4, 3, {{0, 5}})->picture = dupB;
    auto* offImage = append<ImageObject>(doc, "image2", 0, 0, 4, 3, {{0, 5}});
    offImage->picture = hidden;
    offImage->enabled = 0;
    auto* path = append<DragPath>(doc, "dpath0", 10, 20, 30, 40, {{0, 99}});
    path->statePictures = {button, nullptr, dupB};
    path->stateWidths = {3, 4, 0};
    path->stateColours = {0x123456, 0xFF0000, 0x00FF7F};
    path->arrowMode = 5;
    path->curveFlag = 1;
    path->grabLimit = 5;
    path->grabFromThumb = 0;
    path->thumbs = {thumb, nullptr};
    path->keepThumb = 1;
    path->thumbDirection = 2;
    path->addPoint(10, 20, 0, true);
    path->addPoint(-5, 300, 50, false);
    path->addPoint(40, 60, 99, true);
    auto* fromThumb = append<DragPath>(doc, "dpath1", 0, 0, 0, 0, {{0, 0}});
    fromThumb->grabLimit = 5;
    fromThumb->grabFromThumb = 1;

    addEvent<PlayEvent>(doc, kPlayEvent, 0, 10, 100)->interruptible = 1;
    addEvent<JumpEvent>(doc, kJumpEvent, 5, 6, 0)->targets = {1, 50, 99};
    auto* sound = addEvent<SoundEvent>(doc, kSoundEvent, 10, 20, 7);
    sound->sound = beep;
    sound->repeat = 1;
    addEvent<LinkEvent>(doc, kLinkEvent, 20, 30, 0);  // no target, no address
    auto* link = addEvent<LinkEvent>(doc, kLinkEvent, 30, 40, 0);
    link->target = "_blank";
    link->address = "http://example.test/\xC3\xBC";
    addEvent<ParamEvent>(doc, kParamEvent, 40, 50, 0)->text = "$play_dir=-1";

    Parsed p = parse(write(doc, 40229));
    EXPECT_EQ(p.date, 40229u);
    EXPECT_EQ(p.reserved, 0u);
    EXPECT_EQ(p.flag, 0u);
    EXPECT_EQ(p.videos, 3u);  // video0, video1 (empty) and video3; not the disabled one
    EXPECT_EQ(p.pictures, (std::vector<std::string>{"i0.gif", "i1.gif", "i2.gif", "i3.JPG"}));
    EXPECT_EQ(p.sounds, (std::vector<std::string>{"a0.au"}));
    EXPECT_EQ(p.width, 400u);
    EXPECT_EQ(p.height, 300u);
    EXPECT_EQ(p.length, 120u);

    ASSERT_EQ(p.objects.size(), 7u);
    EXPECT_EQ(p.objects[0].ref, 0u);
    EXPECT_EQ(p.objects[1].ref, 0xFFFFu);
    EXPECT_EQ(p.objects[1].ranges, (std::vector<std::pair<uint32_t, uint32_t>>{{10, 19}, {30, 39}}));
    EXPECT_EQ(p.objects[2].ref, 1u);  // the next video takes the number the empty one skipped
    EXPECT_EQ(p.objects[2].x, 0xFFF9u);
    EXPECT_EQ(p.objects[3].ref, 0u);
    EXPECT_EQ(p.objects[4].ref, 0u);  // a duplicate path resolves to the lower position
    const Obj& d = p.objects[5];
    EXPECT_EQ(d.kind, 2u);
    EXPECT_EQ((std::vector<uint32_t>{d.x, d.y, d.w, d.h}), (std::vector<uint32_t>{10, 20, 30, 40}));
    EXPECT_EQ((std::vector<uint32_t>{d.statePic[0], d.statePic[1], d.statePic[2]}),
              (std::vector<uint32_t>{2, 0xFFFF, 0}));
    EXPECT_EQ((std::vector<uint32_t>{d.stateWidth[0], d.stateWidth[1], d.stateWidth[2]}),
              (std::vector<uint32_t>{3, 4, 0}));
    EXPECT_EQ((std::vector<uint32_t>{d.stateRgb[0], d.stateRgb[1], d.stateRgb[2]}),
              (std::vector<uint32_t>{0x123456, 0xFF0000, 0x00FF7F}));
    EXPECT_EQ(d.arrow, 5u);
    EXPECT_EQ(d.curve, 1u);
    EXPECT_EQ(d.grab, 5u);
    EXPECT_EQ(d.thumbs, (std::vector<uint32_t>{3, 0xFFFF}));
    EXPECT_EQ(d.keep, 1u);
    EXPECT_EQ(d.direction, 2u);
    EXPECT_EQ(d.points,
              (std::vector<std::vector<uint32_t>>{{10, 20, 0, 1}, {0xFFFB, 300, 50, 0}, {40, 60, 99, 1}}));
    EXPECT_EQ(p.objects[6].grab, 0xFBu);  // grab from thumb: negated
    EXPECT_TRUE(p.objects[6].points.empty());

    ASSERT_EQ(p.events.size(), 6u);
    EXPECT_EQ(p.events[0].interruptible, 1u);
    EXPECT_EQ(p.events[0].wait, 100u);
    EXPECT_EQ(p.events[1].targets, (std::vector<uint32_t>{1, 50, 99}));
    EXPECT_EQ(p.events[2].repeat, 1u);
    EXPECT_EQ(p.events[2].sound, 0u);
    EXPECT_EQ(p.events[2].wait, 7u);
    EXPECT_EQ(p.events[3].targetLength, 0u);
    EXPECT_EQ(p.events[3].addressLength, 0u);
    EXPECT_EQ(p.events[4].target, "_blank");
    EXPECT_EQ(p.events[4].address, "http://example.test/\xC3\xBC");
    EXPECT_EQ(p.events[5].text, "$play_dir=-1");
    EXPECT_EQ((std::vector<uint32_t>{p.events[3].first, p.events[3].last}), (std::vector<uint32_t>{20, 30}));

    // The recount left the used pictures, the published ones first.
    ASSERT_EQ(doc.imageResources.size(), 5u);
    EXPECT_EQ(doc.imageResources[4].get(), hidden);
}

TEST_F(ContentCrossCheck, SwitchedOffKindsAndDisabledObjectsLeaveNoTrace) {
    Document doc(320, 240);
    auto* beep = named<SoundResource>(doc, MediaKind::Sound, "/src/beep.au");
    auto* song = named<SoundResource>(doc, MediaKind::Sound, "/src/song.au");
    auto* pic = named<ImageResource>(doc, MediaKind::Image, "/src/pic.gif");
    auto* image = append<ImageObject>(doc, "image0", 0, 0, 4, 3, {{0, 5}});
    image->picture = pic;
    image->enabled = 0;
    addEvent<SoundEvent>(doc, kSoundEvent, 0, 5, 0)->sound = beep;
    addEvent<SoundEvent>(doc, kSoundEvent, 6, 9, 0)->sound = song;
    addEvent<PlayEvent>(doc, kPlayEvent, 0, 9, 0);
    addEvent<ParamEvent>(doc, kParamEvent, 3, 4, 0)->text = "x";
    doc.kindSwitch[kSoundEvent] = 0;
    doc.kindSwitch[kParamEvent] = 0;

    Parsed p = parse(write(doc, 0));
    EXPECT_TRUE(p.pictures.empty());
    EXPECT_TRUE(p.sounds.empty());  // used only by switched-off events
    EXPECT_TRUE(p.objects.empty());
    ASSERT_EQ(p.events.size(), 1u);
    EXPECT_EQ(p.events[0].kind, 0u);
    // Unpublished, but still used: kept in the document.
    EXPECT_EQ(doc.soundResources.size(), 2u);
    EXPECT_EQ(doc.imageResources.size(), 1u);
}

TEST_F(ContentCrossCheck, PictureNamesKeepCopiedExtensionsAndCountInHex) {
    Document doc(320, 240);
    const char* sources[] = {"/a/Photo.JPG", "/a/logo.png", "/a/anim.gif", "/a/noext", "/a/x.jpeg",
                             "/a/b.c/d",     "/a/6.bmp",    "/a/7.gif",    "/a/8.gif",  "/a/9.gif",
                             "/a/10.jpg"};
    for (const char* s : sources)
        append<ImageObject>(doc, s, 0, 0, 1, 1, {{0, 0}})->picture = named<ImageResource>(doc, MediaKind::Image, s);
    Parsed p = parse(write(doc, 0));
    EXPECT_EQ(p.pictures, (std::vector<std::string>{"i0.JPG", "i1.gif", "i2.gif", "i3", "i4.jpeg", "i5", "i6.gif",
                                                     "i7.gif", "i8.gif", "i9.gif", "ia.jpg"}));
}

}  // namespace
}  // namespace tavlin
