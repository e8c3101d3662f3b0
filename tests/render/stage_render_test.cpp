// The document: defaults, names, object order, lengths, frame codes, seeking,
// ranges, media attachment, resources and drawing.

#include <gtest/gtest.h>

#include "render/object_painter.h"
#include "render/stage_test_helpers.h"

#include "document/document.h"
#include "document/drag_path.h"
#include "document/image_object.h"
#include "document/video_object.h"
#include "support/document_fakes.h"
#include "support/gui_app.h"
#include "media/image/image_formats.h"
#include "core/settings.h"
#include "support/scratch.h"
#include "canvas/canvas.h"

namespace tavlin {
namespace {

using test::renderStage;
using test::stageOf;

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

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ensureGuiApp();
        clearRegistry();
        registerImageFormats();
    }
    void TearDown() override { clearRegistry(); }
    test::ScratchDir dir;
};

TEST_F(DrawingTest, ImagesDrawBackToFrontAndPlaceholdersWithoutMedia) {
    Wired w;
    Image red(10, 10), blue(10, 10);
    for (auto& p : red.pixels) p = 0xFFFF0000;
    for (auto& p : blue.pixels) p = 0xFF0000FF;
    std::string redPath = dir.file("red.png"), bluePath = dir.file("blue.png");
    ASSERT_TRUE(PngFormat().write(redPath, red));
    ASSERT_TRUE(PngFormat().write(bluePath, blue));

    ImageObject* back = addImage(w.doc, 0, 0, 20, 20, {0, 10});
    back->attachImage(static_cast<ImageResource*>(w.doc.loadResource(MediaKind::Image, redPath)));
    ImageObject* front = addImage(w.doc, 10, 10, 20, 20, {0, 10});
    front->attachImage(static_cast<ImageResource*>(w.doc.loadResource(MediaKind::Image, bluePath)));
    addImage(w.doc, 100, 100, 60, 40, {5, 6});  // no picture, not visible at 0
    ASSERT_EQ(w.doc.objects[0]->name, "image2");
    EXPECT_EQ(w.doc.loadResource(MediaKind::Image, redPath), back->picture);  // loaded once
    EXPECT_EQ(w.doc.imageResources.size(), 2u);

    renderStage(w.doc);
    const Image& stage = stageOf(w.doc).image();
    EXPECT_EQ(stage.at(5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(stage.at(15, 15) & 0xFFFFFF, 0x0000FFu);  // the front object covers the back one
    EXPECT_EQ(stage.at(25, 25) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(stage.at(120, 120) & 0xFFFFFF, 0xFFFFFFu);

    w.doc.currentFrame = 5;
    back->enabled = 0;
    renderStage(w.doc);
    EXPECT_EQ(stage.at(5, 5) & 0xFFFFFF, 0xFFFFFFu);    // disabled: not drawn, white stage
    EXPECT_EQ(stage.at(100, 100) & 0xFFFFFF, 0x000000u);  // the placeholder's outline
    EXPECT_EQ(stage.at(101, 101) & 0xFFFFFF, 0xFFFFFFu);
    bool text = false;
    for (int32_t y = 101; y < 139; ++y)
        for (int32_t x = 101; x < 159; ++x)
            if ((stage.at(x, y) & 0xFFFFFF) != 0xFFFFFF) text = true;
    EXPECT_TRUE(text);
}

TEST_F(DrawingTest, VideoObjectsShowTheFrameOfTheirStep) {
    Wired w;
    w.doc.currentFrame = 10;
    VideoResource res;
    auto* video = new test::ColourVideo(100, 4, 4);
    res.video.reset(video);
    VideoObject* o = addVideo(w.doc);
    o->frameStep = 2;
    o->attachVideo(&res);
    o->setRect(0, 0, 4, 4);
    w.doc.currentFrame = 13;
    renderStage(w.doc);
    ASSERT_FALSE(video->requested.empty());
    EXPECT_EQ(video->requested.back(), 9);  // (13 - 10) * 3
    EXPECT_EQ(stageOf(w.doc).image().at(1, 1) & 0xFFFFFF, test::ColourVideo::colourOf(9));
}

TEST_F(DrawingTest, AbsurdRectanglesDoNotAllocateHugeCopies) {
    Wired w;
    Image red(4, 4);
    std::string path = dir.file("r.png");
    ASSERT_TRUE(PngFormat().write(path, red));
    ImageObject* o = addImage(w.doc, -100000, -100000, 1000000, 1000000, {0, 1});
    o->attachImage(static_cast<ImageResource*>(w.doc.loadResource(MediaKind::Image, path)));
    renderStage(w.doc);  // must neither crash nor try to scale to 10^12 pixels
    EXPECT_EQ(stageOf(w.doc).image().at(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(DrawingTest, TimelineBarsAreCutAtTheFramesColumn) {
    Canvas canvas(400, 40);
    TimelineArea tl;
    tl.canvas = &canvas;
    tl.firstFrame = 10;
    tl.zoom = 2.0;
    tl.width = 400;
    tl.barHeight = 10;
    Document doc(0, 0);
    ImageObject o(doc);
    o.ranges = {{0, 19}, {100, 200}};
    drawTimelineBar(tl, o, 5);
    // First range: X(0) = 120 is cut to 140, X(20) = 160.
    EXPECT_EQ(canvas.image().at(145, 10) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(canvas.image().at(140, 10) & 0xFFFFFF, 0x00FF00u);  // no left outline where cut
    EXPECT_EQ(canvas.image().at(160, 10) & 0xFFFFFF, 0x000000u);  // right end outlined
    EXPECT_EQ(canvas.image().at(145, 5) & 0xFFFFFF, 0x000000u);   // top edge
    // Second range: X(100) = 320 outlined on the left, cut at 380 on the right.
    EXPECT_EQ(canvas.image().at(320, 10) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(canvas.image().at(385, 10) & 0xFFFFFF, 0xFFFFFFu);
    o.locked = 1;
    Canvas other(400, 40);
    tl.canvas = &other;
    drawTimelineBar(tl, o, 5);
    EXPECT_EQ(other.image().at(145, 10) & 0xFFFFFF, 0xC0FFC0u);
}

}  // namespace
}  // namespace tavlin
