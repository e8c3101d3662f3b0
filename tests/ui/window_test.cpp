#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWidget>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "ui/control.h"
#include "ui/menu.h"
#include "ui/platform.h"
#include "ui/window.h"
#include "recording_window.h"

namespace tavlin {
namespace {

using test::RecordingWindow;

TEST(WindowModal, CloseBoxReturnsMinusOneAndReenablesTheOwner) {
    RecordingWindow owner(nullptr, 0, 0, 200, 150, 0);
    owner.Show(true);
    ModalWindow dialog(&owner, 10, 10, 100, 80, 1);
    bool ownerDisabledWhileRunning = false;
    QTimer::singleShot(0, [&] {
        ownerDisabledWhileRunning = !owner.client()->isEnabled();
        ASSERT_TRUE(dialog.widget());
        dialog.widget()->close();  // the close box
    });
    EXPECT_EQ(dialog.RunModal(), -1);
    EXPECT_TRUE(ownerDisabledWhileRunning);
    EXPECT_TRUE(owner.client()->isEnabled());
    EXPECT_FALSE(dialog.exists());
    EXPECT_TRUE(owner.exists());
}

TEST(WindowModal, EndModalHandsBackTheResult) {
    ModalWindow dialog(nullptr, 0, 0, 100, 80, 1);
    QTimer::singleShot(0, [&] { dialog.EndModal(7); });
    EXPECT_EQ(dialog.RunModal(), 7);
    EXPECT_TRUE(dialog.exists());
    // Destroyed from code while running (no answer given) counts as closed.
    QTimer::singleShot(0, [&] { dialog.Destroy(); });
    EXPECT_EQ(dialog.RunModal(), -1);
}

TEST(WindowFocus, TabCyclesOverVisibleEnabledControlsOnly) {
    RecordingWindow w(nullptr, 0, 0, 300, 200, 0);
    Slider a(&w, 10, 10, 100, 16, 1, true);
    Slider b(&w, 10, 40, 100, 16, 2, true);
    Slider c(&w, 10, 70, 100, 16, 3, true);
    w.Show(true);
    w.SetFocusControl(&a);
    QTest::keyClick(w.client(), Qt::Key_Tab);
    EXPECT_EQ(w.focusedControl(), &b);
    QTest::keyClick(w.client(), Qt::Key_Tab);
    EXPECT_EQ(w.focusedControl(), &c);
    QTest::keyClick(w.client(), Qt::Key_Tab);
    EXPECT_EQ(w.focusedControl(), &a);  // wraps around

    // One enabled control left: Tab keeps the focus on it.
    b.Enable(false);
    c.Show(false);
    QTest::keyClick(w.client(), Qt::Key_Tab);
    EXPECT_EQ(w.focusedControl(), &a);
    // Tab is always taken by the focus cycling when there are controls.
    EXPECT_TRUE(w.keys.empty());
}

TEST(WindowFocus, TabWithoutControlsReachesOnKey) {
    RecordingWindow w(nullptr, 0, 0, 100, 100, 0);
    w.Show(true);
    QTest::keyClick(w.client(), Qt::Key_Tab);
    EXPECT_EQ(w.keys, std::vector<int32_t>{9});
}

TEST(WindowFocus, TabInsideANativeControlMovesToTheNext) {
    RecordingWindow w(nullptr, 0, 0, 300, 200, 0);
    Edit first(&w, 10, 10, 100, 24, 1);
    Edit second(&w, 10, 40, 100, 24, 2);
    w.Show(true);
    w.SetFocusControl(&first);
    QTest::keyClick(first.NativeHandle(), Qt::Key_Tab);
    EXPECT_EQ(w.focusedControl(), &second);
    // A click into a native control makes it the focused control too.
    QTest::mouseClick(first.NativeHandle(), Qt::LeftButton);
    if (first.NativeHandle()->hasFocus()) {
        EXPECT_EQ(w.focusedControl(), &first);
    }
}

TEST(WindowKeys, KeyTableAndTypedCharacters) {
    RecordingWindow w(nullptr, 0, 0, 100, 100, 0);
    w.Show(true);
    QWidget* c = w.client();
    QTest::keyClick(c, Qt::Key_Left);
    QTest::keyClick(c, Qt::Key_Right);
    QTest::keyClick(c, Qt::Key_Up);
    QTest::keyClick(c, Qt::Key_Down);
    QTest::keyClick(c, Qt::Key_Home);
    QTest::keyClick(c, Qt::Key_End);
    QTest::keyClick(c, Qt::Key_Delete);
    QTest::keyClick(c, Qt::Key_Backspace);
    QTest::keyClick(c, Qt::Key_Return);
    QTest::keyClick(c, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(c, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(c, 'x');
    QTest::keyClick(c, 'Q', Qt::ShiftModifier);
    QTest::keyClick(c, Qt::Key_F5);  // not in the vocabulary: left to Qt
    EXPECT_EQ(w.keys, (std::vector<int32_t>{2, 6, 16, 14, 1, 5, 4, 8, 13, 1, 26, 'x', 'Q'}));
}

TEST(WindowKeys, FocusedControlTakesKeysFirst) {
    RecordingWindow w(nullptr, 0, 0, 200, 100, 0);
    Slider s(&w, 10, 10, 100, 16, 5, true);
    s.SetPosition(10);
    w.Show(true);
    w.SetFocusControl(&s);
    QTest::keyClick(w.client(), Qt::Key_Right);
    QTest::keyClick(w.client(), 'k');
    EXPECT_EQ(s.position(), 11);
    EXPECT_EQ(w.controlIds, std::vector<int32_t>{5});
    EXPECT_EQ(w.keys, std::vector<int32_t>{'k'});  // the slider does not take letters
}

TEST(WindowMouse, ButtonsOutsideControlsReachTheWindowWithModifiers) {
    RecordingWindow w(nullptr, 0, 0, 200, 100, 0);
    Slider s(&w, 100, 10, 80, 16, 5, true);
    w.Show(true);
    QTest::mousePress(w.client(), Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 30));
    QTest::mouseRelease(w.client(), Qt::LeftButton, Qt::ShiftModifier | Qt::ControlModifier, QPoint(21, 31));
    QTest::mousePress(w.client(), Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
    QTest::mouseRelease(w.client(), Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
    EXPECT_EQ(w.log, (std::vector<std::string>{"ldown 20 30 1", "lup 21 31 3", "rdown 5 6 0", "rup 5 6 0"}));

    // On a control the press and release are the control's.
    w.log.clear();
    QTest::mousePress(w.client(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 15));
    EXPECT_EQ(w.pressedControl(), &s);
    EXPECT_EQ(w.focusedControl(), &s);
    QTest::mouseRelease(w.client(), Qt::LeftButton, Qt::NoModifier, QPoint(120, 15));
    EXPECT_EQ(w.pressedControl(), nullptr);
    EXPECT_TRUE(w.log.empty());
    EXPECT_FALSE(s.tracking());
    // A press outside every control clears the focus.
    QTest::mousePress(w.client(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 90));
    EXPECT_EQ(w.focusedControl(), nullptr);
    QTest::mouseRelease(w.client(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 90));
}

TEST(WindowWheel, GoesToTheWindowUnderThePointerEvenWhenNotFocused) {
    RecordingWindow focused(nullptr, 0, 0, 200, 150, 0);
    RecordingWindow other(nullptr, 400, 300, 200, 150, 1);
    Slider slider(&other, 10, 10, 150, 20, 9, true);
    slider.SetPosition(50);
    other.Show(true);
    focused.Show(true);
    focused.client()->setFocus();
    QApplication::processEvents();

    QPoint global = other.client()->mapToGlobal(QPoint(60, 20));
    QPoint local = focused.client()->mapFromGlobal(global);
    // Qt hands the wheel to the focused window's client; it must still end up
    // at the window under the pointer.
    QWheelEvent ev(QPointF(local), QPointF(global), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(focused.client(), &ev);
    EXPECT_EQ(slider.position(), 48);  // two steps up
    EXPECT_TRUE(slider.tracking());
    EXPECT_EQ(other.controlIds, std::vector<int32_t>{9});
    EXPECT_TRUE(focused.controlIds.empty());

    // Over no control the steps are offered to the controls in order.
    QWheelEvent down(QPointF(150, 120), QPointF(other.client()->mapToGlobal(QPoint(150, 120))), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(other.client(), &down);
    EXPECT_EQ(slider.position(), 49);

    // Small amounts (touchpads) add up to whole steps.
    for (int i = 0; i < 3; ++i) {
        QWheelEvent small(QPointF(150, 120), QPointF(other.client()->mapToGlobal(QPoint(150, 120))), QPoint(),
                          QPoint(0, 40), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(other.client(), &small);
        EXPECT_EQ(slider.position(), i < 2 ? 49 : 48);
    }
}

TEST(WindowDrop, EveryFileOfADropWithTheSamePosition) {
    RecordingWindow w(nullptr, 0, 0, 200, 150, 0);
    w.Show(true);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile("/tmp/a.png"), QUrl::fromLocalFile("/tmp/b c.jpg"),
                  QUrl::fromLocalFile("/tmp/d.wav")});
    QDragEnterEvent enter(QPoint(33, 44), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.client(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(33, 44), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.client(), &drop);
    EXPECT_EQ(w.log, (std::vector<std::string>{"drop /tmp/a.png 33 44", "drop /tmp/b c.jpg 33 44",
                                               "drop /tmp/d.wav 33 44"}));
}

TEST(WindowBackBuffer, GrowingKeepsOldContentTopLeftAndPaintsNewAreaWhite) {
    RecordingWindow w(nullptr, 0, 0, 100, 80, 0);
    w.canvas()->FillRect(0, 0, 100, 80, 0xFF0000);
    w.Show(true);
    w.widget()->resize(160, 120);  // as the user would, through Qt
    QApplication::processEvents();
    ASSERT_EQ(w.canvas()->width(), 160);
    ASSERT_EQ(w.canvas()->height(), 120);
    const Image& img = w.canvas()->image();
    EXPECT_EQ(img.at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(img.at(99, 79), 0xFFFF0000u);
    EXPECT_EQ(img.at(100, 0), 0xFFFFFFFFu);
    EXPECT_EQ(img.at(0, 80), 0xFFFFFFFFu);
    EXPECT_EQ(img.at(159, 119), 0xFFFFFFFFu);
    ASSERT_FALSE(w.sizes.empty());
    EXPECT_EQ(w.sizes.back(), std::make_pair(160, 120));

    // Shrinking keeps the larger buffer and what it holds.
    w.ResizeClient(50, 40);
    EXPECT_EQ(w.sizes.back(), std::make_pair(50, 40));
    EXPECT_EQ(w.canvas()->width(), 160);
    EXPECT_EQ(w.canvas()->height(), 120);
    EXPECT_EQ(w.canvas()->image().at(99, 79), 0xFFFF0000u);
    // Wider but lower: nothing drawn below the new height is lost either.
    w.ResizeClient(200, 60);
    EXPECT_EQ(w.canvas()->width(), 200);
    EXPECT_EQ(w.canvas()->height(), 120);
    EXPECT_EQ(w.canvas()->image().at(99, 79), 0xFFFF0000u);
    EXPECT_EQ(w.canvas()->image().at(199, 0), 0xFFFFFFFFu);

    // The paint event shows the buffer as it is.
    test::saveScreenshot(w, "window_grown.png");
}

TEST(WindowLifecycle, TopLevelListAndTheMainLoop) {
    size_t before = TopLevelWindows().size();
    auto a = std::make_unique<RecordingWindow>(nullptr, 0, 0, 50, 50, 0);
    {
        RecordingWindow owned(a.get(), 0, 0, 40, 40, 1);
        EXPECT_EQ(TopLevelWindows().size(), before + 1);  // owned windows are not top-level
    }
    auto b = std::make_unique<RecordingWindow>(nullptr, 0, 0, 50, 50, 1);
    EXPECT_EQ(TopLevelWindows().size(), before + 2);
    a->Show(true);
    b->Show(true);
    int idles = 0;
    // The idle function runs while nothing happens; closing the windows one by
    // one (the second by its close box) ends the loop.
    RunMainLoop([&] {
        ++idles;
        if (idles == 3) b->Destroy();
        if (idles == 5 && a->widget()) a->widget()->close();
        if (idles > 1000) PostQuit();
    });
    EXPECT_EQ(idles, 5);
    EXPECT_EQ(TopLevelWindows().size(), before);
    EXPECT_FALSE(MainLoopRunning());
    EXPECT_EQ(a->closes, 1);
    EXPECT_EQ(b->closes, 0);
}

TEST(WindowLifecycle, QKeyEndsTheLoopAndOwnedWindowsCloseWithTheirOwner) {
    RecordingWindow main(nullptr, 0, 0, 100, 100, 0);
    main.passKeys = true;
    main.Show(true);
    int idles = 0;
    RunMainLoop([&] {
        if (++idles == 2) QTest::keyClick(main.client(), 'q');
        if (idles > 100) PostQuit();
    });
    EXPECT_EQ(idles, 2);
    EXPECT_TRUE(main.exists());

    auto tool = std::make_unique<RecordingWindow>(&main, 10, 10, 50, 50, 1);
    auto child = std::make_unique<RecordingWindow>(tool.get(), 1, 1, 20, 20, 0);
    main.Destroy();
    // The owner takes the owned windows with it.
    EXPECT_FALSE(tool->exists());
    EXPECT_FALSE(child->exists());
    EXPECT_EQ(child->closes, 1);
    FlushDestroyedWindows();
    EXPECT_EQ(tool->closes, 1);
}

TEST(WindowLifecycle, TheSplashDoesNotTakeTheMainWindowWithIt) {
    RecordingWindow splash(nullptr, 0, 0, 80, 40, 2);
    splash.Show(true);
    RecordingWindow main(nullptr, 0, 0, 200, 100, 0);
    RecordingWindow toolbox(nullptr, 0, 0, 50, 100, 1);
    splash.Destroy();
    EXPECT_TRUE(main.exists());
    EXPECT_TRUE(toolbox.exists());
    EXPECT_EQ(main.closes, 0);
    // The main window is the platform owner of later top-level windows.
    EXPECT_EQ(toolbox.widget()->parentWidget(), main.widget());
}

TEST(WindowGeometry, KindsAndClientSizes) {
    RecordingWindow owner(nullptr, 100, 100, 300, 200, 0);
    owner.Show(true);
    RecordingWindow tool(&owner, 20, 30, 120, 90, 1);
    EXPECT_TRUE(tool.widget()->isWindow());
    EXPECT_EQ(tool.client()->width(), 120);
    EXPECT_EQ(tool.client()->height(), 90);
    QPoint expected = owner.client()->mapToGlobal(QPoint(20, 30));
    EXPECT_EQ(tool.widget()->pos(), expected);  // owner's client coordinates on screen

    RecordingWindow child(&owner, 5, 5, 50, 40, 0);
    EXPECT_FALSE(child.widget()->isWindow());  // framed child inside the owner
    RecordingWindow popup(nullptr, 0, 0, 64, 32, 2);
    EXPECT_TRUE(popup.widget()->windowFlags() & Qt::FramelessWindowHint);
    popup.Destroy();
    EXPECT_EQ(Window::FromWidget(tool.client()), &tool);
    EXPECT_EQ(Window::FromWidget(nullptr), nullptr);

    Slider s(&tool, 1, 2, 30, 10, 4, true);
    Slider t(&tool, 50, 2, 30, 10, 4, true);
    EXPECT_EQ(tool.ControlById(4), &s);  // first match
    EXPECT_EQ(tool.ControlAt(55, 5), &t);
    t.Enable(false);
    EXPECT_EQ(tool.ControlAt(55, 5), nullptr);
    EXPECT_EQ(tool.ControlAt(31, 5), nullptr);
}

TEST(WindowMenu, CommandsReachOnMenuAndTheClientKeepsItsSize) {
    RecordingWindow w(nullptr, 0, 0, 240, 160, 0);
    Menu menu;
    menu.Load(".{ &File\n.I 101\t&New\tCtrl+N\n.I 199 E&xit\n.}\n");
    w.SetMenu(&menu);
    w.Show(true);
    ASSERT_NE(w.menuBar(), nullptr);
    EXPECT_EQ(w.client()->width(), 240);
    EXPECT_EQ(w.client()->height(), 160);
    EXPECT_EQ(w.client()->y(), w.menuBar()->height());
    QAction* exit = menu.FindItem(199);
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    menu.FindItem(101)->trigger();
    // Items added later (the recent files) are routed too.
    menu.Submenus()[0]->AppendItem("recent.tvl", 108, 0);
    ASSERT_NE(menu.FindItem(108), nullptr);
    menu.FindItem(108)->trigger();
    EXPECT_EQ(w.menus, (std::vector<int32_t>{199, 101, 108}));
    // Disabling the window (a modal dialog runs) disables its menu too.
    w.Enable(false);
    EXPECT_FALSE(w.menuBar()->isEnabled());
    w.Enable(true);
    w.SetMenu(nullptr);
    EXPECT_EQ(w.menuBar(), nullptr);
    EXPECT_EQ(w.client()->y(), 0);
    EXPECT_EQ(w.client()->height(), 160);
}

}  // namespace
}  // namespace tavlin
