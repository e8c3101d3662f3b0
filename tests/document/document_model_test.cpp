// The document: defaults, names, object order, lengths, frame codes, seeking,
// ranges, media attachment, resources and drawing.

#include <gtest/gtest.h>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/image_object.h"
#include "document/video_object.h"
#include "support/document_fakes.h"
#include "media/image/image_formats.h"
#include "core/settings.h"
#include "support/scratch.h"
#include "canvas/canvas.h"

namespace tavlin {
namespace {

using test::Wired;

VideoObject* addVideo(Document& doc) {
    auto o = std::make_unique<VideoObject>(doc);
    o->uniqueName("video");
    return static_cast<VideoObject*>(doc.addObject(std::move(o)));
}

ImageObject* addImage(Document& doc, int32_t x, int32_t y, int32_t w, int32_t h, FrameRange range) {
    auto o = std::make_unique<ImageObject>(doc);
    o->uniqueName("image");
    o->setRect(x, y, w, h);
    o->ranges.push_back(range);
    return static_cast<ImageObject*>(doc.addObject(std::move(o)));
}

std::vector<std::string> names(const Document& doc) {
    std::vector<std::string> out;
    for (const auto& o : doc.objects) out.push_back(o->name);
    return out;
}

TEST(DocumentDefaults, NewDocumentTakesDefaultSettings) {
    Document doc(0, 0);
    EXPECT_EQ(doc.stageWidth, 320);
    EXPECT_EQ(doc.stageHeight, 240);
    EXPECT_EQ(doc.length, 100);
    EXPECT_EQ(doc.frameFlags.size(), 100u);
    EXPECT_EQ(doc.jpegQuality, 75);
    EXPECT_EQ(doc.diffQuality, 75);
    EXPECT_EQ(doc.inPoint, 0);
    EXPECT_EQ(doc.outPoint, 99);
    EXPECT_EQ(doc.playSpeed, 100);
    EXPECT_EQ(doc.playDirection, 1);
    for (int32_t k = 0; k < kEventKinds; ++k) EXPECT_EQ(doc.kindSwitch[size_t(k)], 1);
    EXPECT_EQ(doc.editMode, 0);
    EXPECT_EQ(doc.fileName, documentString("newdoc"));
}

TEST(DocumentDefaults, SettingsAreReadAtConstructionAndAbsurdOnesIgnored) {
    settings().Set("def_width", "400");
    settings().Set("def_length", "250");
    settings().Set("def_height", "99999");
    Document doc(0, -5);
    EXPECT_EQ(doc.stageWidth, 400);
    EXPECT_EQ(doc.stageHeight, 240);  // above the largest stage: the built-in default
    EXPECT_EQ(doc.length, 250);
    Document given(640, 480);
    EXPECT_EQ(given.stageWidth, 640);
    EXPECT_EQ(given.stageHeight, 480);
    settings().Set("def_width", "320");
    settings().Set("def_length", "100");
    settings().Set("def_height", "240");
}

// Defaults handed in are the only ones the model uses: the settings say
// otherwise and are not read.
TEST(DocumentDefaults, GivenDefaultsReachNewPathsAndEventsWithoutTheSettings) {
    settings().Set("dmlinew0", "9");
    settings().Set("def_wtime", "777");
    DocumentDefaults given;
    given.length = 30;
    given.eventWait = 250;
    given.dragPath.widths = {4, 5, 6};
    given.dragPath.colours = {0x010203, 0x040506, 0x070809};
    given.dragPath.grabLimit = 17;
    given.dragPath.curveFlag = 1;
    Document doc(0, 0, [&] { return given; });
    EXPECT_EQ(doc.length, 30);
    DragPath path(doc);
    EXPECT_EQ(path.stateWidths, (std::array<int32_t, 3>{4, 5, 6}));
    EXPECT_EQ(path.stateColours[2], 0x070809);
    EXPECT_EQ(path.grabLimit, 17);
    EXPECT_EQ(path.curveFlag, 1);
    EXPECT_EQ(doc.addEvent(kPlayEvent, 0, 3)->wait, 250);
    // Asked again for each new one.
    given.eventWait = 40;
    EXPECT_EQ(doc.addEvent(kLinkEvent, 0, 3)->wait, 40);

    // The settings' form reads them, within what a project file carries.
    settings().Set("dmdist", "300");
    DocumentDefaults read = DocumentDefaults::fromSettings();
    EXPECT_EQ(read.dragPath.widths[0], 9);
    EXPECT_EQ(read.dragPath.grabLimit, 255);
    EXPECT_EQ(read.eventWait, 777);
    Document fromSettings(0, 0);
    EXPECT_EQ(fromSettings.addEvent(kJumpEvent, 0, 0)->wait, 777);
    settings().Set("def_wtime", "778");
    EXPECT_EQ(fromSettings.addEvent(kSoundEvent, 0, 0)->wait, 778);
    settings().Set("dmlinew0", "1");
    settings().Set("def_wtime", "100");
    settings().Set("dmdist", "0");
}

TEST(DocumentObjects, UniqueNamesReuseTheSmallestFreeNumber) {
    Wired w;
    addVideo(w.doc);
    addVideo(w.doc);
    addVideo(w.doc);
    EXPECT_EQ(names(w.doc), (std::vector<std::string>{"video2", "video1", "video0"}));
    w.doc.removeObject(w.doc.objects[1].get());
    EXPECT_EQ(addVideo(w.doc)->name, "video1");
    // Names are compared exactly: "image01" does not take "image1".
    auto odd = std::make_unique<ImageObject>(w.doc);
    odd->name = "image01";
    w.doc.addObject(std::move(odd));
    auto fresh = std::make_unique<ImageObject>(w.doc);
    fresh->uniqueName("image");
    EXPECT_EQ(fresh->name, "image0");
}

TEST(DocumentObjects, NewObjectsGoInFrontOfTheFirstSelected) {
    Wired w;
    addVideo(w.doc);  // video0
    addVideo(w.doc);  // video1, in front
    addVideo(w.doc);  // video2, in front
    EXPECT_EQ(names(w.doc), (std::vector<std::string>{"video2", "video1", "video0"}));
    w.doc.objects[2]->selected = 1;
    addVideo(w.doc);
    EXPECT_EQ(names(w.doc), (std::vector<std::string>{"video2", "video1", "video3", "video0"}));
    EXPECT_EQ(w.doc.firstSelectedIndex(), 3);
    EXPECT_EQ(w.doc.selectedCount(), 1);
    w.doc.selectAll(true);
    EXPECT_EQ(w.doc.selectedCount(), 4);
    w.doc.selectAll(false);
    EXPECT_EQ(w.doc.firstSelectedIndex(), 0);
}

TEST(DocumentObjects, RemovingClosesTheInfoWindowAndClearingKeepsResources) {
    Wired w;
    VideoObject* v = addVideo(w.doc);
    w.doc.videoResources.push_back(std::make_unique<VideoResource>());
    w.doc.removeObject(v);
    EXPECT_EQ(w.info.closes, 1);
    EXPECT_TRUE(w.doc.objects.empty());
    addVideo(w.doc);
    w.doc.addEvent(kPlayEvent, 1, 2);
    w.doc.frameFlags[3] = 7;
    w.doc.clear();
    EXPECT_TRUE(w.doc.objects.empty());
    EXPECT_TRUE(w.doc.events.empty());
    EXPECT_EQ(w.doc.frameFlags[3], 0);
    EXPECT_EQ(w.doc.videoResources.size(), 1u);
}

TEST(DocumentLength, AbsurdSizesAreRefused) {
    Wired w;
    for (int32_t bad : {0, -1, kMaxLength + 1, INT32_MAX}) {
        EXPECT_FALSE(w.doc.setLength(bad)) << bad;
        EXPECT_EQ(w.doc.length, 100);
    }
    EXPECT_TRUE(w.doc.setLength(kMaxLength));
    EXPECT_EQ(w.doc.frameFlags.size(), size_t(kMaxLength));
    EXPECT_FALSE(w.doc.setStageSize(kMaxStageSide + 1, 10));
    EXPECT_FALSE(w.doc.setStageSize(10, 0));
    EXPECT_EQ(w.doc.stageWidth, 320);
    EXPECT_TRUE(w.doc.setStageSize(kMaxStageSide, kMaxStageSide));
}

TEST(DocumentLength, ShrinkKeepsBytesGrowStartsThemFreshAndRefreshesTheTimeline) {
    Wired w;
    w.doc.frameFlags[80] = kFixedMark | kKeyFrame;
    EXPECT_TRUE(w.doc.setLength(50));
    EXPECT_EQ(w.doc.frameFlags.size(), 100u);
    EXPECT_EQ(w.doc.frameFlags[80], kFixedMark | kKeyFrame);
    EXPECT_EQ(w.doc.frameCode(80), 0);  // beyond the length: ignored
    EXPECT_TRUE(w.doc.setLength(120));
    EXPECT_EQ(w.doc.frameFlags.size(), 120u);
    EXPECT_EQ(w.doc.frameFlags[80], 0);
    EXPECT_EQ(w.timeline.refreshes, 2);
}

TEST(DocumentLength, ObjectsExtendTheLengthByTheirFirstRangeOnly) {
    Wired w;
    ImageObject* a = addImage(w.doc, 0, 0, 10, 10, {0, 149});
    EXPECT_EQ(w.doc.length, 150);
    a->ranges.push_back({0, 500});  // later ranges do not count
    w.doc.extendLength();
    EXPECT_EQ(w.doc.length, 150);
    addImage(w.doc, 0, 0, 10, 10, {10, 2000000000});
    EXPECT_EQ(w.doc.length, 150);  // beyond the largest timeline: unchanged
    EXPECT_EQ(w.doc.frameFlags.size(), 150u);
}

TEST(FrameCodes, PlayRangeWithSkipTwoSamplesEveryThirdFrameAndTheLast) {
    Wired w;
    w.doc.frameSkip = 2;
    w.doc.addEvent(kPlayEvent, 10, 20);
    EXPECT_EQ(w.doc.recomputeFrameCodes(), 5);
    EXPECT_EQ(w.doc.codedFrameCount(), 5);
    for (int32_t f = 0; f < 100; ++f) {
        uint8_t want = f == 10 ? kKeyFrame : (f == 13 || f == 16 || f == 19 || f == 20) ? kDiffFrame : kNotCoded;
        EXPECT_EQ(w.doc.frameCode(f), want) << f;
    }
    // With the switch off the kind marks nothing.
    w.doc.kindSwitch[kPlayEvent] = 0;
    EXPECT_EQ(w.doc.recomputeFrameCodes(), 0);
}

TEST(FrameCodes, EnabledDragPathsMarkTheirPointFrames) {
    Wired w;
    w.doc.frameSkip = 2;
    auto owned = std::make_unique<DragPath>(w.doc);
    owned->addPoint(40, 120, 10, true);
    owned->addPoint(100, 120, 14, true);
    owned->addPoint(280, 120, 20, true);
    owned->ranges.push_back({0, 99});
    auto* path = static_cast<DragPath*>(w.doc.addObject(std::move(owned)));
    auto empty = std::make_unique<DragPath>(w.doc);
    empty->ranges.push_back({0, 99});
    w.doc.addObject(std::move(empty));  // no points: marks nothing
    EXPECT_EQ(w.doc.codedFrameCount(), 5);
    std::vector<int32_t> coded;
    for (int32_t f = 0; f < 100; ++f)
        if (w.doc.frameCode(f)) coded.push_back(f);
    EXPECT_EQ(coded, (std::vector<int32_t>{10, 13, 16, 19, 20}));
    EXPECT_EQ(w.doc.frameCode(10), kKeyFrame);
    path->enabled = 0;
    EXPECT_EQ(w.doc.recomputeFrameCodes(), 0);
}

TEST(FrameCodes, KeyFramesAreNeverDowngradedAndRangesAreCut) {
    Wired w;
    w.doc.addEvent(kPlayEvent, 13, 30);
    w.doc.addEvent(kPlayEvent, 10, 20);
    w.doc.addEvent(kPlayEvent, 95, 400);  // runs past the end
    w.doc.addEvent(kPlayEvent, -50, -10);  // wholly before the start
    w.doc.recomputeFrameCodes();
    EXPECT_EQ(w.doc.frameCode(10), kKeyFrame);
    EXPECT_EQ(w.doc.frameCode(13), kKeyFrame);
    EXPECT_EQ(w.doc.frameCode(14), kDiffFrame);
    EXPECT_EQ(w.doc.frameCode(95), kKeyFrame);
    EXPECT_EQ(w.doc.frameCode(99), kDiffFrame);
    EXPECT_EQ(w.doc.frameCode(0), kNotCoded);
}

TEST(FrameCodes, JumpTargetsInsideTheTimelineBecomeKeyFrames) {
    Wired w;
    auto* jump = static_cast<JumpEvent*>(w.doc.addEvent(kJumpEvent, 0, 0));
    jump->targets = {150, -3, 40};
    EXPECT_EQ(w.doc.recomputeFrameCodes(), 1);
    EXPECT_EQ(w.doc.frameCode(40), kKeyFrame);
    // A fixed frame keeps the user's code.
    w.doc.fixFrameCodes(0, 40, 40, kFullFrame);
    w.doc.recomputeFrameCodes();
    EXPECT_EQ(w.doc.frameFlags[40], kFixedMark | kFullFrame);
}

TEST(FrameCodes, FixedMarksSurviveAndShapeTheRangeEnds) {
    Wired w;
    w.doc.fixFrameCodes(1, 10, 14, kFullFrame);  // 10, 12, 14 fixed as full frames
    EXPECT_EQ(w.doc.frameFlags[10], kFixedMark | kFullFrame);
    EXPECT_EQ(w.doc.frameFlags[11], 0);
    EXPECT_EQ(w.doc.frameFlags[12], kFixedMark | kFullFrame);
    w.doc.addEvent(kPlayEvent, 10, 16);
    w.doc.recomputeFrameCodes();
    EXPECT_EQ(w.doc.frameFlags[10], kFixedMark | kFullFrame);  // the fixed start stays
    EXPECT_EQ(w.doc.frameCode(11), kDiffFrame);
    EXPECT_EQ(w.doc.frameCode(16), kDiffFrame);
    // Code 4 takes the mark away and keeps the code bits.
    w.doc.fixFrameCodes(0, 12, 12, kFixedMark);
    EXPECT_EQ(w.doc.frameFlags[12], kFullFrame);
    // Ranges outside the timeline touch nothing.
    w.doc.fixFrameCodes(0, 200, 300, kKeyFrame);
    w.doc.fixFrameCodes(-7, -10, 2, kKeyFrame);
    EXPECT_EQ(w.doc.frameFlags[0], kFixedMark | kKeyFrame);
    EXPECT_EQ(w.doc.frameFlags[2], kFixedMark | kKeyFrame);
}

TEST(SeekCodedFrame, WalksBackToTheNearestCodedFrame) {
    Wired w;
    w.doc.seekCodedFrame(55);
    EXPECT_EQ(w.doc.currentFrame, 0);  // nothing coded
    w.doc.addEvent(kPlayEvent, 10, 50);
    w.doc.recomputeFrameCodes();
    w.doc.seekCodedFrame(55);
    EXPECT_EQ(w.doc.currentFrame, 50);
    EXPECT_EQ(w.timeline.shown.back(), 50);
    w.doc.seekCodedFrame(-20);
    EXPECT_EQ(w.doc.currentFrame, 0);
    w.doc.seekCodedFrame(5000);
    EXPECT_EQ(w.doc.currentFrame, 50);
    w.doc.seekCodedFrame(30);
    EXPECT_EQ(w.doc.currentFrame, 30);
}

TEST(Ranges, NormalisingMergesTouchingRangesInListOrder) {
    Document doc(0, 0);
    ImageObject o(doc);
    o.ranges = {{5, 9}, {10, 12}, {20, 15}, {-3, 2}};
    o.normalizeRanges();
    EXPECT_EQ(o.ranges, (std::vector<FrameRange>{{5, 12}, {0, 2}}));
    // A later negative range merged into one at 0 does not drag it below 0.
    o.ranges = {{0, 4}, {-3, 2}, {30, 31}, {6, 8}, {5, 5}};
    o.normalizeRanges();
    EXPECT_EQ(o.ranges, (std::vector<FrameRange>{{0, 8}, {30, 31}}));
    EXPECT_TRUE(o.visibleAt(8));
    EXPECT_FALSE(o.visibleAt(9));
}

TEST(Media, AttachingAVideoFitsTheFirstRangeToItsFrames) {
    Wired w;
    w.doc.setLength(200);
    w.doc.currentFrame = 40;
    VideoResource res;
    res.video = std::make_unique<test::ColourVideo>(25, 64, 48);
    auto o = std::make_unique<VideoObject>(w.doc);
    o->frameStep = 1;
    o->attachVideo(&res);
    EXPECT_EQ(o->ranges, (std::vector<FrameRange>{{40, 52}}));
    EXPECT_EQ(o->width, 64);
    EXPECT_EQ(o->height, 48);
    EXPECT_EQ(o->videoFrameAt(42), 4);
    o->setFrameStep(0);
    EXPECT_EQ(o->ranges[0], (FrameRange{40, 64}));
    o->setFrameStep(-3);  // would divide by zero; counts as step 0
    EXPECT_EQ(o->ranges[0], (FrameRange{40, 64}));
    // An empty video keeps one frame instead of inverting the range.
    VideoResource empty;
    empty.video = std::make_unique<test::ColourVideo>(0, 8, 8);
    o->attachVideo(&empty);
    EXPECT_EQ(o->ranges[0], (FrameRange{40, 40}));
    EXPECT_EQ(o->width, 64);  // a sized rectangle keeps its size
}

TEST(Resources, PurgeDropsUnusedAndPutsEnabledFirst) {
    Wired w;
    auto add = [&](MediaKind kind, const char* name) {
        auto r = createResource(kind);
        r->name = name;
        MediaResource* p = r.get();
        w.doc.resources(kind).push_back(std::move(r));
        return p;
    };
    auto* unused = add(MediaKind::Image, "unused");
    (void)unused;
    auto* disabledOnly = static_cast<ImageResource*>(add(MediaKind::Image, "disabled"));
    auto* enabled = static_cast<ImageResource*>(add(MediaKind::Image, "enabled"));
    auto* sound = static_cast<SoundResource*>(add(MediaKind::Sound, "sound"));
    add(MediaKind::Video, "video");
    ImageObject* a = addImage(w.doc, 0, 0, 1, 1, {0, 0});
    a->picture = disabledOnly;
    a->enabled = 0;
    ImageObject* b = addImage(w.doc, 0, 0, 1, 1, {0, 0});
    b->picture = enabled;
    ImageObject* c = addImage(w.doc, 0, 0, 1, 1, {0, 0});
    c->picture = enabled;
    static_cast<SoundEvent*>(w.doc.addEvent(kSoundEvent, 0, 1))->sound = sound;
    auto* button = add(MediaKind::Image, "button");
    auto* thumb = add(MediaKind::Image, "thumb");
    auto path = std::make_unique<DragPath>(w.doc);
    path->statePictures[2] = static_cast<ImageResource*>(button);
    path->thumbs = {static_cast<ImageResource*>(thumb), static_cast<ImageResource*>(thumb)};
    w.doc.addObject(std::move(path));
    w.doc.kindSwitch[kSoundEvent] = 0;

    w.doc.purgeResources();
    ASSERT_EQ(w.doc.imageResources.size(), 4u);
    EXPECT_EQ(w.doc.imageResources[0].get(), enabled);
    EXPECT_EQ(w.doc.imageResources[1].get(), button);
    EXPECT_EQ(w.doc.imageResources[2].get(), thumb);
    EXPECT_EQ(w.doc.imageResources[3].get(), disabledOnly);
    EXPECT_EQ(thumb->useCount, 2);
    EXPECT_EQ(enabled->useCount, 2);
    EXPECT_EQ(enabled->enabledUseCount, 2);
    EXPECT_EQ(disabledOnly->useCount, 1);
    EXPECT_EQ(disabledOnly->enabledUseCount, 0);
    EXPECT_TRUE(w.doc.videoResources.empty());
    ASSERT_EQ(w.doc.soundResources.size(), 1u);
    EXPECT_EQ(sound->useCount, 1);
    EXPECT_EQ(sound->enabledUseCount, 0);  // its kind is switched off
}

TEST(Resources, LoadFailureAddsNothingAndClearsTheName) {
    Wired w;
    clearRegistry();
    registerImageFormats();
    EXPECT_EQ(w.doc.loadResource(MediaKind::Image, "/no/such/picture.png"), nullptr);
    EXPECT_EQ(w.doc.loadResource(MediaKind::Video, ""), nullptr);
    EXPECT_TRUE(w.doc.imageResources.empty());
    ImageResource r;
    r.name = "old";
    EXPECT_FALSE(r.load("/no/such/picture.png"));
    EXPECT_EQ(r.name, "");
    EXPECT_EQ(fileModificationTime("/no/such/picture.png"), 0);
    clearRegistry();
}

TEST(HitTest, RectangleCornersEdgesAndOutside) {
    Document doc(0, 0);
    ImageObject o(doc);
    o.setRect(10, 20, 100, 50);
    EXPECT_EQ(o.hitTest(10, 20, 3, nullptr), kHitTopLeft);
    EXPECT_EQ(o.hitTest(109, 20, 3, nullptr), kHitTopRight);
    EXPECT_EQ(o.hitTest(8, 69, 3, nullptr), kHitBottomLeft);
    EXPECT_EQ(o.hitTest(111, 71, 3, nullptr), kHitBottomRight);
    EXPECT_EQ(o.hitTest(50, 20, 3, nullptr), kHitMove);  // top edge
    EXPECT_EQ(o.hitTest(50, 40, 3, nullptr), kHitMove);
    EXPECT_EQ(o.hitTest(6, 40, 3, nullptr), kHitNone);
    EXPECT_EQ(o.hitTest(113, 40, 3, nullptr), kHitNone);
    EXPECT_EQ(o.hitTest(50, 73, 3, nullptr), kHitNone);
    o.setRect(INT32_MAX - 5, 0, 100, 10);  // sums past 32 bits stay sane
    EXPECT_EQ(o.hitTest(INT32_MAX - 1, 5, 0, nullptr), kHitMove);
}

}  // namespace
}  // namespace tavlin
