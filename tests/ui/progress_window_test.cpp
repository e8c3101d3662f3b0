#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>

#include "recording_window.h"
#include "ui/control.h"
#include "ui/platform.h"
#include "ui/progress_window.h"

namespace tavlin {
namespace {

int32_t filledPixels(ProgressWindow* w) {
    // The top row of the bar lies above the counter text.
    const Image& img = w->canvas()->image();
    int32_t n = 0;
    for (int32_t x = ProgressWindow::kBarX; x < ProgressWindow::kBarX + ProgressWindow::kBarWidth; ++x)
        n += (img.at(x, ProgressWindow::kBarY) & 0xFFFFFF) == ProgressWindow::kBarColour;
    return n;
}

TEST(Progress, UpdateBeforeAnyOpenIsFalse) {
    ProgressWindow::close();
    EXPECT_FALSE(ProgressWindow::update(1, 2));
    EXPECT_EQ(ProgressWindow::current(), nullptr);
}

TEST(Progress, BarAndCounterArithmetic) {
    test::RecordingWindow main(nullptr, 100, 100, 400, 300, 0);
    main.Show(true);
    ProgressWindow::open(&main, "Writing frames");
    ProgressWindow* w = ProgressWindow::current();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->client()->width(), 250);
    EXPECT_EQ(w->client()->height(), 120);
    EXPECT_EQ(w->widget()->pos(), main.client()->mapToGlobal(QPoint(50, 50)));

    EXPECT_TRUE(ProgressWindow::update(5, 10));
    EXPECT_EQ(filledPixels(w), 115);
    const Image& img = w->canvas()->image();
    EXPECT_EQ(img.at(ProgressWindow::kBarX + 114, ProgressWindow::kBarY) & 0xFFFFFF, ProgressWindow::kBarColour);
    EXPECT_EQ(img.at(ProgressWindow::kBarX + 115, ProgressWindow::kBarY) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(ProgressWindow::counterText(5, 10), "5/10 (50%)");
    test::saveScreenshot(*w, "progress.png");

    EXPECT_TRUE(ProgressWindow::update(10, 10));
    EXPECT_EQ(filledPixels(w), 230);
    // Large counts: done x 230 and done x 100 do not overflow.
    EXPECT_TRUE(ProgressWindow::update(2000000000, 2100000000));
    EXPECT_EQ(filledPixels(w), 219);
    EXPECT_EQ(ProgressWindow::counterText(2000000000, 2100000000), "2000000000/2100000000 (95%)");
    // No total: only the empty bar, no division.
    EXPECT_TRUE(ProgressWindow::update(3, 0));
    EXPECT_EQ(filledPixels(w), 0);
    EXPECT_TRUE(ProgressWindow::update(3, -4));

    // A second open replaces the first window.
    ProgressWindow::open(&main, "Indexing");
    EXPECT_NE(ProgressWindow::current(), nullptr);
    EXPECT_TRUE(ProgressWindow::update(1, 3));
    ProgressWindow::close();
    EXPECT_FALSE(ProgressWindow::update(1, 3));
}

TEST(Progress, StopAndTheCloseBoxEndTheOperation) {
    test::RecordingWindow main(nullptr, 0, 0, 300, 200, 0);
    main.Show(true);
    ProgressWindow::open(&main, "Publishing");
    ProgressWindow* w = ProgressWindow::current();
    ASSERT_NE(w, nullptr);
    Control* stop = w->ControlById(ProgressWindow::kStopId);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->x(), 90);
    EXPECT_EQ(stop->y(), 75);
    EXPECT_EQ(stop->width(), 70);
    EXPECT_EQ(stop->height(), 35);
    EXPECT_TRUE(ProgressWindow::update(1, 100));
    QTest::mouseClick(stop->NativeHandle(), Qt::LeftButton);
    EXPECT_FALSE(ProgressWindow::update(2, 100));
    EXPECT_FALSE(ProgressWindow::update(3, 100));
    ProgressWindow::close();  // nothing left to close
    EXPECT_FALSE(ProgressWindow::update(4, 100));
    EXPECT_TRUE(main.exists());  // the owner and the main loop live on

    ProgressWindow::open(&main, "Again");
    EXPECT_TRUE(ProgressWindow::update(1, 2));
    ProgressWindow::current()->widget()->close();
    EXPECT_FALSE(ProgressWindow::update(2, 2));
    ProgressWindow::close();

    // Without a parent the first top-level window owns it: closing it does
    // not empty the top-level list.
    size_t before = TopLevelWindows().size();
    ProgressWindow::open(nullptr, "Orphan");
    EXPECT_EQ(TopLevelWindows().size(), before);
    ProgressWindow::close();
}

}  // namespace
}  // namespace tavlin
