#include <gtest/gtest.h>

#include "canvas/canvas.h"
#include "document/document.h"
#include "document/event.h"
#include "render/timeline_bars.h"
#include "support/gui_app.h"

namespace tavlin {
namespace {

TEST(EventBars, RowPerKindTargetsMarkedAndTheShownEventOutlinedTwice) {
    test::ensureGuiApp();
    Document doc(0, 0);
    Canvas canvas(400, 200);
    TimelineArea tl;
    tl.canvas = &canvas;
    tl.firstFrame = 0;
    tl.zoom = 4.0;
    tl.width = 400;
    tl.barHeight = 12;
    tl.firstEventRow = 1;  // the play row is scrolled away
    tl.rowHeight = 20;
    tl.eventTop = 50;
    PlayEvent play(0, 10);
    drawTimelineBar(tl, play);
    for (uint32_t p : canvas.image().pixels) ASSERT_EQ(p & 0xFFFFFF, 0xFFFFFFu);

    JumpEvent jump(5, 20);  // row 0 of the visible ones: y = 54; X(5) = 160, X(21) = 224
    jump.targets = {40, -100};
    tl.shownEvent = &jump;
    drawTimelineBar(tl, jump);
    const Image& img = canvas.image();
    EXPECT_EQ(img.at(190, 60) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(img.at(160, 60) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(img.at(161, 60) & 0xFFFFFF, 0x000000u);  // the second outline
    EXPECT_EQ(img.at(162, 60) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(img.at(301, 55) & 0xFFFFFF, 0xFF0000u);  // target 40 at X = 300
    for (int32_t x = 0; x < 140; ++x) ASSERT_EQ(img.at(x, 55) & 0xFFFFFF, 0xFFFFFFu) << x;

    SoundEvent sound(0, 3);  // row 1: y = 74
    drawTimelineBar(tl, sound);
    EXPECT_EQ(img.at(145, 80) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(img.at(145, 75) & 0xFFFFFF, 0x0000FFu);  // not shown: one outline only
}

}  // namespace
}  // namespace tavlin
