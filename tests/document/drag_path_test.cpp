#include "document/drag_path.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "document/document.h"
#include "document/event.h"
#include "document/media_resource.h"
#include "document/project_text.h"
#include "core/settings.h"
#include "canvas/canvas.h"

namespace tavlin {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;

// A document with one horizontal path (40,120)-(280,120) over frames f0..f1,
// shown at frames 0..299.
struct Stage {
    explicit Stage(int32_t f0 = 0, int32_t f1 = 99) : doc(320, 240) {
        auto p = std::make_unique<DragPath>(doc);
        p->addPoint(40, 120, f0, true);
        p->addPoint(280, 120, f1, true);
        p->computeCross();
        p->ranges.push_back({0, 299});
        p->fitRectangle();
        path = static_cast<DragPath*>(doc.addObject(std::move(p)));
    }
    Document doc;
    DragPath* path;
};

std::unique_ptr<ImageResource> picture(int32_t w, int32_t h, uint32_t colour, const std::string& name) {
    auto r = std::make_unique<ImageResource>();
    r->image = std::make_unique<Image>(w, h);
    std::fill(r->image->pixels.begin(), r->image->pixels.end(), colour);
    r->name = name;
    return r;
}

TEST(DragPathObject, NewPathsTakeTheirLookFromTheSettings) {
    Document doc(320, 240);
    DragPath plain(doc);
    EXPECT_EQ(plain.stateColours, (std::array<int32_t, 3>{0xFF8080, 0xFF0000, 0x000000}));
    EXPECT_EQ(plain.stateWidths, (std::array<int32_t, 3>{1, 1, 0}));
    EXPECT_EQ(plain.arrowMode, 3);
    EXPECT_EQ(plain.curveFlag, 0);
    EXPECT_EQ(plain.grabLimit, 0);
    EXPECT_EQ(plain.kind(), kDragPath);
    EXPECT_EQ(plain.icon(), "bdm.png");

    settings().Set("dmcolor1", "00ff00");
    settings().Set("dmlinew2", "4");
    settings().Set("dmthumbdir", "2");
    settings().Set("dmcolor2", "nonsense");
    DragPath custom(doc);
    settings().Set("dmcolor1", "ff0000");
    settings().Set("dmlinew2", "0");
    settings().Set("dmthumbdir", "0");
    settings().Set("dmcolor2", "000000");
    EXPECT_EQ(custom.stateColours[1], 0x00FF00);
    EXPECT_EQ(custom.stateColours[2], 0x000000);
    EXPECT_EQ(custom.stateWidths[2], 4);
    EXPECT_EQ(custom.thumbDirection, kThumbRotate);
}

// --- drawing ----------------------------------------------------------------

TEST(DragPathEditing, HitTestFindsPointsThenSegmentsThenTheShape) {
    Document doc(320, 240);
    DragPath p(doc);
    p.addPoint(40, 120, 0, true);
    p.addPoint(160, 120, 50, true);
    p.addPoint(280, 200, 99, true);
    p.computeCross();
    p.fitRectangle();
    int32_t index = 0;
    EXPECT_EQ(p.hitTest(163, 117, 4, &index), kHitPathPoint);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(p.hitTest(100, 124, 4, &index), kHitPathSegment);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(p.hitTest(220, 160, 4, &index), kHitPathSegment);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(p.hitTest(100, 125, 4, &index), kHitNone);  // inside the rectangle, off the line
    EXPECT_EQ(index, -1);
    EXPECT_EQ(p.hitTest(20, 120, 4, nullptr), kHitNone);  // beyond the end of the line

    p.curveFlag = 1;  // the curve is hit anywhere along it
    EXPECT_EQ(p.hitTest(160, 140, 4, &index), kHitMove);
    EXPECT_EQ(p.hitTest(160, 160, 4, &index), kHitNone);

    auto pic = picture(10, 10, 0xFF000000u, "b.png");
    p.curveFlag = 0;
    p.setStatePicture(kStatePressed, pic.get());
    p.left = 200;
    p.top = 10;
    p.width = 30;
    p.height = 30;
    EXPECT_EQ(p.hitTest(201, 11, 2, &index), kHitTopLeft);
    EXPECT_EQ(p.hitTest(215, 25, 2, &index), kHitMove);
    EXPECT_EQ(p.hitTest(100, 100, 2, &index), kHitNone);

    DragPath one(doc);
    one.addPoint(5, 5, 0, true);
    EXPECT_EQ(one.hitTest(5, 5, 4, &index), kHitNone);  // a lone point is no handle
}

TEST(DragPathEditing, MovingCarriesThePointsAlong) {
    Stage s;
    PathPoint before = *s.path->point(0);
    s.path->moveTo(50, 100);
    EXPECT_EQ(s.path->left, 50);
    EXPECT_EQ(s.path->top, 100);
    EXPECT_EQ(s.path->point(0)->x, 50);
    EXPECT_EQ(s.path->point(0)->y, 100);
    EXPECT_EQ(s.path->point(1)->x, 290);
    EXPECT_EQ(s.path->point(0)->cy, before.cy);  // cross directions stay
    s.path->moveTo(2147483600, 0);
    EXPECT_EQ(s.path->point(1)->x, 2147483647);  // saturates instead of wrapping
}

// --- playing ----------------------------------------------------------------

TEST(DragPathPlay, DraggingSeeksTheMappedCodedFrame) {
    Stage s;
    EXPECT_EQ(pickPath(s.doc, 160, 200), s.path);
    EXPECT_EQ(pickPath(s.doc, -1, 200), nullptr);
    EXPECT_EQ(pickPath(s.doc, 160, 240), nullptr);
    dragTo(s.doc, 160, 200);  // no active path yet
    EXPECT_EQ(s.doc.currentFrame, 0);

    s.doc.setActiveDragPath(s.path);
    dragTo(s.doc, 160, 200);  // 49.5 rounds to 50
    EXPECT_EQ(s.doc.currentFrame, 50);
    dragTo(s.doc, 10, 120);
    EXPECT_EQ(s.doc.currentFrame, 0);

    s.doc.frameSkip = 2;  // coded: 0, 3, 6, ..., 48, 51, ..., 99
    s.doc.recomputeFrameCodes();
    dragTo(s.doc, 160, 200);
    EXPECT_EQ(s.doc.currentFrame, 48);
}

TEST(DragPathPlay, GrabDistanceLimitsPicking) {
    Stage s;
    s.path->grabLimit = 10;
    EXPECT_EQ(pickPath(s.doc, 160, 130), s.path);
    EXPECT_EQ(pickPath(s.doc, 160, 131), nullptr);
    s.path->grabFromThumb = 1;  // measured to the thumb at frame 0: (40,120)
    EXPECT_EQ(pickPath(s.doc, 46, 128), s.path);
    EXPECT_EQ(pickPath(s.doc, 160, 120), nullptr);
    s.path->grabLimit = 0;
    s.path->enabled = 0;
    EXPECT_EQ(pickPath(s.doc, 160, 120), nullptr);
}

TEST(DragPathPlay, HandOverPointsPassTheDragToTheNextPath) {
    Stage s(0, 49);
    s.path->point(1)->x = 160;
    s.path->point(1)->flags |= PathPoint::kHandOver;
    s.path->computeCross();
    auto next = std::make_unique<DragPath>(s.doc);
    next->addPoint(160, 120, 50, true);
    next->addPoint(280, 120, 99, true);
    next->computeCross();
    next->ranges.push_back({0, 99});
    DragPath* second = static_cast<DragPath*>(s.doc.addObject(std::move(next)));

    s.doc.setActiveDragPath(s.path);
    dragTo(s.doc, 200, 125);
    EXPECT_EQ(s.doc.activeDragPath(), second);
    EXPECT_EQ(s.doc.currentFrame, 66);  // 50 + 49 * 40 / 120, rounded

    // Without the hand-over mark the drag stays on its path, at its end.
    s.path->point(1)->flags = 0;
    s.doc.setActiveDragPath(s.path);
    dragTo(s.doc, 200, 125);
    EXPECT_EQ(s.doc.activeDragPath(), s.path);
    EXPECT_EQ(s.doc.currentFrame, 49);
}

TEST(DragPathPlay, ANonInterruptiblePlayEventBlocksDragging) {
    Stage s;
    s.doc.setActiveDragPath(s.path);
    s.doc.currentFrame = 10;
    PlayEvent play(0, 99);
    s.doc.runningEvent[kPlayEvent] = &play;
    dragTo(s.doc, 160, 200);
    EXPECT_EQ(s.doc.currentFrame, 10);
    play.interruptible = 1;
    dragTo(s.doc, 160, 200);
    EXPECT_EQ(s.doc.currentFrame, 50);
    s.doc.runningEvent[kPlayEvent] = nullptr;
}

// --- project records --------------------------------------------------------

const char* const kBlock =
    ".OP 40 120 241 1\n"
    ".OR 0 99\n"
    ".ON dpath0\n"
    ".OE 1\n"
    ".OL 0\n"
    ".ODMI0 \n"
    ".ODMW0 1\n"
    ".ODMC0 255 128 128\n"
    ".ODMI1 \n"
    ".ODMW1 1\n"
    ".ODMC1 255 0 0\n"
    ".ODMI2 \n"
    ".ODMW2 0\n"
    ".ODMC2 0 0 0\n"
    ".ODMA 3\n"
    ".ODMB 0\n"
    ".ODMD 0\n"
    ".ODMFT 0\n"
    ".ODMK 0\n"
    ".ODMTD 0\n"
    ".P 40 120 0 1\n"
    ".P 280 120 99 1\n";

bool readBlock(DragPath& p, const std::string& text) {
    ProjectReader in(text);
    if (!in.next()) return false;
    return p.read(in);
}

TEST(DragPathRecords, WritesTheBlockExactlyAndReadsItBack) {
    Stage s;
    s.path->name = "dpath0";
    s.path->ranges = {{0, 99}};
    ProjectWriter out;
    ASSERT_TRUE(s.path->write(out));
    EXPECT_EQ(out.text(), kBlock);

    Document doc(320, 240);
    DragPath back(doc);
    ASSERT_TRUE(readBlock(back, std::string(kBlock) + "..\n"));
    ProjectWriter again;
    back.write(again);
    EXPECT_EQ(again.text(), kBlock);
    EXPECT_EQ(back.thumbX, 40);  // the thumb starts on the first point
    EXPECT_EQ(back.point(0)->cy, 240);  // cross directions computed
}

TEST(DragPathRecords, ReadsTheStoredFieldsAndIgnoresStrayStates) {
    Document doc(320, 240);
    settings().Set("dmfromthumb", "1");
    DragPath p(doc);
    settings().Set("dmfromthumb", "0");
    ASSERT_TRUE(readBlock(p,
                          ".ODMC1 255 0 0\n.ODMW7 9\n.ODMC9 1 2 3\n.ODMW 5\n.ODMA 4\n.ODMB 1\n.ODMD 12\n"
                          ".ODMK 1\n.ODMTD 2\n.ODMW2 3\n.ON late\n"
                          ".P 1 2 3.9 0\n.P -4 5 -6.5 1\n.P 7 8 9 1\n.O 1\n"));
    EXPECT_EQ(p.stateColours[1], 0xFF0000);
    EXPECT_EQ(p.stateWidths, (std::array<int32_t, 3>{1, 1, 3}));
    EXPECT_EQ(p.arrowMode, 4);
    EXPECT_EQ(p.curveFlag, 1);
    EXPECT_EQ(p.grabLimit, 12);
    EXPECT_EQ(p.grabFromThumb, 0);  // not stored: off
    EXPECT_EQ(p.keepThumb, 1);
    EXPECT_EQ(p.thumbDirection, 2);
    EXPECT_EQ(p.name, "late");
    ASSERT_EQ(p.count(), 3);
    EXPECT_EQ(p.point(0)->frame, 3);
    EXPECT_TRUE(p.point(0)->handOver());
    EXPECT_EQ(p.point(1)->frame, -6);
    EXPECT_FALSE(p.point(1)->handOver());
}

TEST(DragPathRecords, RejectsMalformedAndCutOffBlocks) {
    Document doc(320, 240);
    DragPath a(doc);
    EXPECT_FALSE(readBlock(a, ".ODMC0 255 0\n.P 1 1 1 1\n..\n"));
    DragPath b(doc);
    EXPECT_FALSE(readBlock(b, ".P 1 1 1\n..\n"));
    DragPath c(doc);
    EXPECT_FALSE(readBlock(c, ".P 1 1 1 1\n.P 2 2 2 1\n"));  // ends inside the points
    DragPath d(doc);
    EXPECT_TRUE(readBlock(d, ".ODMA 1\n.E 0\n"));  // no points at all
    EXPECT_EQ(d.count(), 0);
}

}  // namespace
}  // namespace tavlin
