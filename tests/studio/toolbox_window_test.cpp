// The tool box beside the studio's main window, clicked as a user would: mode
// switches, drawing tools used on the stage, in and out points, its layout,
// the hint after a rest and what happens when a picture is missing.

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include <QPoint>
#include <QTest>
#include <QWidget>

#include "document/document.h"
#include "document/drag_path.h"
#include "editor/editor_tools.h"
#include "studio_fixture.h"
#include "studio/main_window.h"
#include "studio/toolbox_window.h"

namespace tavlin {
namespace {

using test::StudioTest;

class ToolboxTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        window = std::make_unique<MainWindow>(80, 40, 400, 400);
        window->NewDocument();
        window->Show(true);
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        resources().Open(test::shippedResFolder());
        StudioTest::TearDown();
    }
    static QPoint centre(int32_t button) {
        int32_t x = 0, y = 0;
        ToolboxWindow::ButtonOrigin(button, &x, &y);
        return QPoint(x + ToolboxWindow::kButtonWidth / 2, y + ToolboxWindow::kButtonHeight / 2);
    }
    void click(ToolboxWindow& box, int32_t button) {
        QTest::mouseClick(box.client(), Qt::LeftButton, Qt::NoModifier, centre(button));
    }
    // The top-left edge of a button: black when drawn pushed in, white when raised.
    static uint32_t edge(const ToolboxWindow& box, int32_t button) {
        int32_t x = 0, y = 0;
        ToolboxWindow::ButtonOrigin(button, &x, &y);
        const Image& img = box.canvas()->image();
        return img.pixels[size_t(y) * size_t(img.width) + size_t(x + 3)] & 0xFFFFFF;
    }
    std::unique_ptr<MainWindow> window;
};

TEST_F(ToolboxTest, ButtonsSitInThreeGroupsInsideTheWindow) {
    int32_t x = 0, y = 0;
    ToolboxWindow::ButtonOrigin(0, &x, &y);
    EXPECT_EQ(QPoint(x, y), QPoint(1, 1));
    ToolboxWindow::ButtonOrigin(1, &x, &y);
    EXPECT_EQ(QPoint(x, y), QPoint(26, 1));
    ToolboxWindow::ButtonOrigin(2, &x, &y);
    EXPECT_EQ(QPoint(x, y), QPoint(1, 26)) << "a gap after the modes";
    ToolboxWindow::ButtonOrigin(6, &x, &y);
    EXPECT_EQ(QPoint(x, y), QPoint(1, 72)) << "and another before the in and out points";
    ToolboxWindow::ButtonOrigin(12, &x, &y);
    EXPECT_EQ(QPoint(x, y), QPoint(1, 135));
    EXPECT_LE(y + ToolboxWindow::kButtonHeight + 1, ToolboxWindow::kClientHeight) << "the last frame fits";

    EXPECT_EQ(ToolboxWindow::ButtonAt(1, 1), 0);
    EXPECT_EQ(ToolboxWindow::ButtonAt(49, 155 - 2), -1) << "button 13 does not exist";
    EXPECT_EQ(ToolboxWindow::ButtonAt(10, 23), -1) << "the gap between groups";
    EXPECT_EQ(ToolboxWindow::ButtonAt(25, 10), -1) << "the frame between the columns";

    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    const Image& img = box->canvas()->image();
    auto rgb = [&](int px, int py) { return img.pixels[size_t(py) * size_t(img.width) + size_t(px)] & 0xFFFFFF; };
    EXPECT_EQ(rgb(0, 0), 0x000000u) << "each button is framed";
    EXPECT_EQ(rgb(10, 23), ToolboxWindow::kBackground);
    EXPECT_EQ(rgb(25, 155), 0x000000u) << "the last frame ends on the bottom row";
    EXPECT_EQ(rgb(50, 155), ToolboxWindow::kEmptyCell) << "beside the last button a hole, not a blank button";

    // Placed left of the main window, tops aligned.
    int32_t mx = 0, my = 0, tx = 0, ty = 0, tw = 0;
    window->GetRect(&mx, &my, nullptr, nullptr);
    box->GetRect(&tx, &ty, &tw, nullptr);
    EXPECT_EQ(tx + tw, mx);
    EXPECT_EQ(ty, my);
}

TEST_F(ToolboxTest, ModeButtonsSwitchAndShowTheMode) {
    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    Document& doc = *window->doc();
    EXPECT_TRUE(box->DrawnPressed(1));
    EXPECT_FALSE(box->DrawnPressed(0));

    click(*box, 0);
    EXPECT_FALSE(doc.editMode);
    EXPECT_EQ(window->activeTool(), editorTool(kPlayToolEntry));
    EXPECT_TRUE(box->DrawnPressed(0));
    EXPECT_FALSE(box->DrawnPressed(1));
    EXPECT_EQ(edge(*box, 0), 0x000000u);
    EXPECT_EQ(edge(*box, 1), 0xFFFFFFu);

    // A press taken off the button before the release does nothing.
    QTest::mousePress(box->client(), Qt::LeftButton, Qt::NoModifier, centre(1));
    EXPECT_TRUE(box->DrawnPressed(1)) << "held down";
    box->RouteMouseMove(centre(5).x(), centre(5).y(), 0);
    EXPECT_FALSE(box->DrawnPressed(1));
    QTest::mouseRelease(box->client(), Qt::LeftButton, Qt::NoModifier, centre(5));
    EXPECT_FALSE(doc.editMode);

    // Inserting a video asks where it comes from; closing the question adds nothing.
    click(*box, 2);
    EXPECT_FALSE(box->DrawnPressed(2));
    ASSERT_FALSE(prompts.questions.empty());
    EXPECT_EQ(prompts.questions.back(), text("select_video"));
    EXPECT_TRUE(doc.objects.empty());
    EXPECT_FALSE(doc.editMode);

    click(*box, 1);
    EXPECT_TRUE(doc.editMode);
    EXPECT_EQ(window->activeTool(), editorTool(kEditToolEntry));
    EXPECT_EQ(edge(*box, 1), 0x000000u);
    EXPECT_EQ(edge(*box, 0), 0xFFFFFFu);

    // Mode changes from elsewhere show too.
    setEditMode(*window, false);
    EXPECT_EQ(edge(*box, 0), 0x000000u);
}

TEST_F(ToolboxTest, DrawingToolsDrawOnTheStageAndInOutPointsFollowTheFrame) {
    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    Document& doc = *window->doc();
    click(*box, 8);
    EXPECT_EQ(window->activeTool(), editorTool(8));
    EXPECT_TRUE(box->DrawnPressed(8));
    EXPECT_TRUE(box->DrawnPressed(1)) << "drawing happens in edit mode";
    EXPECT_EQ(edge(*box, 8), 0x000000u);

    QWidget* stage = window->client();
    QTest::mousePress(stage, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    for (int i = 1; i <= 10; ++i) QTest::mouseMove(stage, QPoint(40 + 10 * i, 40 + 4 * i));
    QTest::mouseRelease(stage, Qt::LeftButton, Qt::NoModifier, QPoint(140, 80));
    ASSERT_EQ(doc.objects.size(), 1u);
    ASSERT_EQ(doc.objects[0]->kind(), kDragPath);
    const auto& path = static_cast<const DragPath&>(*doc.objects[0]);
    EXPECT_GE(path.count(), 2);
    EXPECT_EQ(window->activeTool(), editorTool(8)) << "the tool stays for the next path";

    click(*box, 11);
    EXPECT_TRUE(box->DrawnPressed(11));
    EXPECT_FALSE(box->DrawnPressed(8));

    // Flip reverses the selected path.
    int32_t firstX = path.point(0)->x;
    int32_t lastX = path.point(path.count() - 1)->x;
    click(*box, 12);
    const auto& flipped = static_cast<const DragPath&>(*doc.objects[0]);
    EXPECT_EQ(flipped.point(0)->x, lastX);
    EXPECT_EQ(flipped.point(flipped.count() - 1)->x, firstX);

    box->RouteKey(4);  // Delete, typed while the tool box has the focus
    EXPECT_TRUE(doc.objects.empty());

    doc.length = 50;
    doc.currentFrame = 7;
    click(*box, 6);
    doc.currentFrame = 30;
    click(*box, 7);
    EXPECT_EQ(doc.inPoint, 7);
    EXPECT_EQ(doc.outPoint, 30);
}

TEST_F(ToolboxTest, TheHintShowsAfterASecondOfRestAndGoesWithThePointer) {
    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    int64_t now = 5000;
    box->SetClock([&now] { return now; });

    QPoint at = centre(8);
    box->RouteMouseMove(at.x(), at.y(), 0);
    now += 999;
    window->Idle();
    EXPECT_FALSE(box->hintShown());
    box->RouteMouseMove(at.x(), at.y(), 0);  // the same spot again: the rest goes on
    now += 1;
    window->Idle();
    ASSERT_TRUE(box->hintShown());
    EXPECT_EQ(box->hintText(), text("hint_bdrawpath"));
    QPoint screen = box->client()->mapToGlobal(at);
    EXPECT_EQ(box->hintWindow()->widget()->pos(), QPoint(screen.x() + 10, screen.y()));

    // Moving hides it, and the rest starts over.
    box->RouteMouseMove(at.x() + 1, at.y(), 0);
    EXPECT_FALSE(box->hintShown());
    now += 500;
    window->Idle();
    EXPECT_FALSE(box->hintShown());
    now += 500;
    window->Idle();
    EXPECT_TRUE(box->hintShown());

    // Pressing hides it, and it does not come back while the pointer stays.
    QTest::mousePress(box->client(), Qt::LeftButton, Qt::NoModifier, QPoint(at.x() + 1, at.y()));
    EXPECT_FALSE(box->hintShown());
    QTest::mouseRelease(box->client(), Qt::LeftButton, Qt::NoModifier, QPoint(at.x() + 1, at.y()));
    now += 5000;
    window->Idle();
    EXPECT_FALSE(box->hintShown());

    // Off the buttons, and after leaving the window, nothing shows.
    box->RouteMouseMove(10, 23, 0);
    now += 5000;
    window->Idle();
    EXPECT_FALSE(box->hintShown());
    box->RouteMouseMove(at.x(), at.y(), 0);
    box->PointerLeft();
    now += 5000;
    window->Idle();
    EXPECT_FALSE(box->hintShown());
}

// Whether a button's picture is drawn washed out: light greys only.
bool drawnGrey(const ToolboxWindow& box, int32_t button) {
    int32_t x = 0, y = 0;
    ToolboxWindow::ButtonOrigin(button, &x, &y);
    const Image& img = box.canvas()->image();
    for (int32_t yy = y + 1; yy < y + ToolboxWindow::kButtonHeight - 1; ++yy)
        for (int32_t xx = x + 1; xx < x + ToolboxWindow::kButtonWidth - 1; ++xx) {
            uint32_t p = img.at(xx, yy);
            if ((p >> 16 & 0xFF) != (p & 0xFF) || (p >> 8 & 0xFF) != (p & 0xFF) || (p & 0xFF) < 0x99) return false;
        }
    return true;
}

TEST_F(ToolboxTest, GreyedButtonsSayWhyInTheirHintAndTakeNoPress) {
    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    Document& doc = *window->doc();
    const std::string flip = text("hint_bflippath");
    const std::string noPath = flip + " (" + text("greyed_no_path_selected") + ")";

    // Nothing selected: only the flip is greyed, and its resting hint says why.
    for (int32_t i = 0; i < ToolboxWindow::kButtonCount; ++i) {
        EXPECT_EQ(drawnGrey(*box, i), i == 12) << i;
        EXPECT_EQ(*box->WhyGreyed(i) != 0, i == 12) << i;
    }
    int64_t now = 0;
    box->SetClock([&now] { return now; });
    QPoint at = centre(12);
    box->RouteMouseMove(at.x(), at.y(), 0);
    now += 1000;
    window->Idle();
    ASSERT_TRUE(box->hintShown());
    EXPECT_EQ(box->hintText(), noPath);
    EXPECT_FALSE(box->DrawnPressed(12));
    QTest::mousePress(box->client(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_FALSE(box->DrawnPressed(12)) << "a greyed button is not pushed in";
    QTest::mouseRelease(box->client(), Qt::LeftButton, Qt::NoModifier, at);

    // A path drawn and selected through the menu: the flip comes alive with
    // the main window's redraw, and acts.
    click(*box, 10);
    QWidget* stage = window->client();
    QTest::mousePress(stage, Qt::LeftButton, Qt::NoModifier, QPoint(60, 30));
    for (int i = 1; i <= 5; ++i) QTest::mouseMove(stage, QPoint(60, 30 + 20 * i));
    QTest::mouseRelease(stage, Qt::LeftButton, Qt::NoModifier, QPoint(60, 130));
    ASSERT_EQ(doc.objects.size(), 1u);
    window->Command(kCmdSelectAll);
    ASSERT_TRUE(doc.objects[0]->selected);
    EXPECT_FALSE(drawnGrey(*box, 12));
    EXPECT_EQ(box->HintFor(12), flip);
    const auto& path = static_cast<const DragPath&>(*doc.objects[0]);
    int32_t firstY = path.path.points().front().y;
    click(*box, 12);
    EXPECT_NE(path.path.points().front().y, firstY) << "the flip acted";
    window->Command(kCmdSelectNone);
    EXPECT_TRUE(drawnGrey(*box, 12));

    // Without a document every button is greyed and says so.
    window->Destroy();
    window = std::make_unique<MainWindow>(80, 40, 400, 400);
    window->Show(true);
    ASSERT_EQ(window->doc(), nullptr);
    box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    const std::string noDocument = " (" + text("greyed_no_document") + ")";
    for (int32_t i = 0; i < ToolboxWindow::kButtonCount; ++i) {
        EXPECT_TRUE(drawnGrey(*box, i)) << i;
        EXPECT_EQ(box->HintFor(i), text(ToolboxWindow::ButtonHint(i)) + noDocument) << i;
    }
    click(*box, 1);
    EXPECT_FALSE(box->DrawnPressed(1));
    EXPECT_EQ(window->doc(), nullptr);
}

TEST_F(ToolboxTest, TheMenuBringsTheClosedToolboxBack) {
    window->Command(kCmdToolbox);
    ToolboxWindow* box = window->toolbox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->widget()->isVisible());
    box->widget()->close();  // the close box
    EXPECT_TRUE(box->exists());
    EXPECT_FALSE(box->widget()->isVisible());
    window->Command(kCmdToolbox);
    EXPECT_EQ(window->toolbox(), box);
    EXPECT_TRUE(box->widget()->isVisible());
}

TEST_F(ToolboxTest, AMissingPictureMeansNoToolbox) {
    // A copy of the shipped folder without one button picture.
    std::string res = scratch.file("res");
    std::filesystem::create_directories(res);
    for (const auto& entry : std::filesystem::directory_iterator(test::shippedResFolder()))
        if (entry.is_regular_file() && entry.path().filename() != "bflippath.png")
            std::filesystem::copy_file(entry.path(), std::filesystem::path(res) / entry.path().filename());
    resources().Open(res);

    EXPECT_EQ(window->ShowToolbox(), nullptr);
    EXPECT_EQ(window->toolbox(), nullptr);
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(), text("e_no_button"));
    window->Idle();  // nothing to run, nothing breaks

    // Put right, the next request makes it.
    resources().Open(test::shippedResFolder());
    EXPECT_NE(window->ShowToolbox(), nullptr);
}

}  // namespace
}  // namespace tavlin
