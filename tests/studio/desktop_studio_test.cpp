// The studio as a desktop user meets it: the main window inside the screen,
// the open and save dialogs' type lists made from the registry's real
// filters, menus greyed when their command cannot act, editing keys that act
// only on what can be seen, a click without a drag that draws nothing, paste
// that selects what arrived, cursors, wheel and zoom keys, the status bar,
// a refused file with its reason, and the program's command line.

#include <sys/wait.h>

#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>

#include "base/file_filter.h"
#include "base/paths.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/drag_path_geometry.h"
#include "editor/editor_tools.h"
#include "media/media_registry.h"
#include "studio/main_window.h"
#include "studio/timeline_window.h"
#include "studio/toolbox_window.h"
#include "studio_fixture.h"
#include "studio_input.h"
#include "support/scratch.h"
#include "ui/control.h"
#include "ui/cursors.h"
#include "ui/menu.h"
#include "ui/platform.h"

namespace tavlin {
namespace {

using test::StageMouse;
using test::StudioTest;

class DesktopStudio : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        settings().Set("def_width", "320");
        settings().Set("def_height", "240");
        settings().Set("dmbezier", "0");
        window = std::make_unique<MainWindow>(80, 40, 400, 400);
        window->InstallMenu(LoadMenuBar());
        ASSERT_NE(window->menu(), nullptr);
        window->NewDocument();
        window->Show(true);
        mouse = std::make_unique<StageMouse>(*window);
    }
    void TearDown() override {
        if (window) window->Destroy();
        window.reset();
        StudioTest::TearDown();
    }
    Document& doc() { return *window->doc(); }
    bool enabled(int32_t id) {
        window->UpdateCommands();
        QAction* a = window->menu()->FindItem(id);
        return a && a->isEnabled();
    }
    // A drag path across (x0..x1, y) shown in frames first..last.
    DragPath& addPath(int32_t x0, int32_t x1, int32_t y, int32_t first, int32_t last) {
        auto path = std::make_unique<DragPath>(doc());
        path->addPoint(x0, y, first, true);
        path->addPoint(x1, y, last, true);
        path->ranges.push_back({first, last});
        path->computeCross();
        path->fitRectangle();
        return static_cast<DragPath&>(*doc().addObject(std::move(path)));
    }
    void wheel(QPoint at, int delta, Qt::KeyboardModifiers mods) {
        QWidget* c = window->client();
        QWheelEvent ev(QPointF(at), QPointF(c->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(c, &ev);
    }
    bool cursorIs(int32_t id) { return window->client()->cursor() == *CursorById(id); }

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<StageMouse> mouse;
};

TEST_F(DesktopStudio, WindowFollowsTheStageInsideTheScreenWithRoomForTheMenu) {
    QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    window->AttachDocument(std::make_unique<Document>(2048, 2048));
    QTest::qWait(150);
    EXPECT_TRUE(avail.contains(window->widget()->frameGeometry()));
    EXPECT_EQ(window->clientWidth(), window->client()->width());
    EXPECT_LT(window->clientWidth(), 2048);
    // The stage scrolls instead; the bars reach its far corner.
    EXPECT_TRUE(window->verticalBar()->IsEnabled());
    // A New with a small stage shrinks the window back to it.
    window->NewDocument();
    EXPECT_EQ(window->clientWidth(), 320 + 25);
    EXPECT_EQ(window->clientHeight(), 240 + 25);
    // Never narrower than the menu bar: its menus stay in reach.
    window->ResizeClient(40, 40);
    EXPECT_GE(window->widget()->width(), window->menuBar()->sizeHint().width());
    EXPECT_GE(window->clientHeight(), 100);

    // The tool box and the timeline stand beside and below it, covering
    // neither its menu nor its status bar, also after they settled.
    window->ShowToolbox();
    window->ShowTimeline();
    QTest::qWait(300);
    QRect main = window->widget()->frameGeometry();
    int32_t tx = 0, ty = 0, tw = 0, th = 0;
    window->timeline()->GetRect(&tx, &ty, &tw, &th);
    EXPECT_GE(ty, main.bottom() + 1);
    window->toolbox()->GetRect(&tx, &ty, &tw, &th);
    EXPECT_LE(tx + tw, main.left());
}

// "Label (pattern pattern)" with the label's own pattern list replaced.
std::string entryOf(std::string label, const std::string& patterns) {
    if (size_t open = label.rfind(" ("); open != std::string::npos && label.back() == ')') label.erase(open);
    std::vector<std::string> seen;
    std::string out;
    size_t at = 0;
    while (at <= patterns.size()) {
        size_t end = std::min(patterns.find(';', at), patterns.size());
        std::string one = patterns.substr(at, end - at);
        if (!one.empty() && std::find(seen.begin(), seen.end(), one) == seen.end()) {
            out += (seen.empty() ? "" : " ") + one;
            seen.push_back(one);
        }
        at = end + 1;
    }
    return label + " (" + out + ")";
}

TEST_F(DesktopStudio, TypeListsReadLabelAndPatternsOnce) {
    if (videoFormats().empty()) registerVideoFormats();
    prompts.opens.push_back(std::nullopt);
    window->Command(kCmdOpen);
    ASSERT_EQ(prompts.openFilters.size(), 1u);
    std::vector<std::string> entries = QtNameFilters(prompts.openFilters[0]);

    // Built independently from the formats themselves.
    std::vector<std::string> expected = {"TAVLIN files (*.tvl tavlin.txt)", "TAVLIN Content (tavlin.txt)",
                                         "QMB files (*.qmb)"};
    auto addList = [&](const char* all, const auto& formats) {
        std::string every;
        for (const auto& f : formats) every += f->pattern() + ";";
        if (!formats.empty()) expected.push_back(entryOf(all, every));
        for (const auto& f : formats) expected.push_back(entryOf(f->description(), f->pattern()));
    };
    addList("All Video", videoFormats());
    addList("All Image", imageFormats());
    EXPECT_EQ(entries, expected);
    // What Qt reads: a label, then blank-separated patterns in one pair of brackets.
    const std::regex qtEntry(R"(^[^()]+ \([^() ;,]+( [^() ;,]+)*\)$)");
    for (const std::string& e : entries) EXPECT_TRUE(std::regex_match(e, qtEntry)) << e;
    EXPECT_NE(std::find(entries.begin(), entries.end(), "JPEG image (*.jpg *.jpeg)"), entries.end());

    // A list without formats does not pair the rest off by one.
    std::vector<std::string> shifted = QtNameFilters(joinFilters(filterList({"All Video", ""}), imageFilter()));
    ASSERT_FALSE(shifted.empty());
    EXPECT_EQ(shifted.front(), expected[expected.size() - imageFormats().size() - 1]);

    prompts.saves.push_back(std::nullopt);
    window->Command(kCmdSaveAs);
    ASSERT_EQ(prompts.saveFilters.size(), 1u);
    EXPECT_EQ(QtNameFilters(prompts.saveFilters[0]), std::vector<std::string>{"TAVLIN Project file (*.tvl)"});
}

TEST_F(DesktopStudio, CommandsThatCannotActAreGreyed) {
    for (int32_t id :
         {kCmdUndo, kCmdRedo, kCmdCut, kCmdCopy, kCmdDelete, kCmdSelectAll, kCmdSelectNone, kCmdZoomActual})
        EXPECT_FALSE(enabled(id)) << id;
    QGuiApplication::clipboard()->setText("not objects");
    EXPECT_FALSE(enabled(kCmdPaste));
    settings().Set("last_web_dir", scratch.file("not-published-yet"));
    EXPECT_FALSE(enabled(kCmdOpenWebFolder));
    settings().Set("last_web_dir", scratch.path());
    EXPECT_TRUE(enabled(kCmdOpenWebFolder));

    window->SetZoom(kMaxZoom);
    EXPECT_FALSE(enabled(kCmdZoomIn));
    EXPECT_TRUE(enabled(kCmdZoomOut));
    EXPECT_TRUE(enabled(kCmdZoomActual));
    window->SetZoom(kMinZoom);
    EXPECT_FALSE(enabled(kCmdZoomOut));
    window->SetZoom(1.0);

    DragPath& path = addPath(20, 200, 100, 0, 9);
    EXPECT_TRUE(enabled(kCmdSelectAll));
    path.selected = true;
    for (int32_t id : {kCmdCut, kCmdCopy, kCmdDelete, kCmdSelectNone}) EXPECT_TRUE(enabled(id)) << id;
    window->Command(kCmdCopy);
    EXPECT_TRUE(enabled(kCmdPaste));
    // Out of sight (another frame, or play mode) the editing commands grey.
    doc().currentFrame = 50;
    for (int32_t id : {kCmdCut, kCmdCopy, kCmdDelete}) EXPECT_FALSE(enabled(id)) << id;
}

TEST_F(DesktopStudio, EditingKeysActOnlyOnWhatCanBeSeen) {
    DragPath& early = addPath(20, 200, 60, 0, 9);
    ObjectId earlyId = early.id;
    ObjectId lateId = addPath(20, 200, 160, 50, 60).id;
    doc().selectAll(true);
    doc().currentFrame = 5;

    // Play mode: Delete and the arrows leave the selection alone.
    setEditMode(*window, false);
    mouse->key(Qt::Key_Delete);
    mouse->key(Qt::Key_Left);
    EXPECT_EQ(doc().objects.size(), 2u);
    EXPECT_EQ(doc().findObject(earlyId)->left, early.left);
    EXPECT_FALSE(doc().canUndo());

    setEditMode(*window, true);
    doc().currentFrame = 5;
    // Handles are drawn for the path that can be seen only.
    window->Redraw();
    QImage shown = window->canvas()->qimage();
    auto at = [&](int32_t x, int32_t y) { return shown.pixel(mouse->at(x, y)) & 0xFFFFFF; };
    EXPECT_EQ(at(20, 60), 0x0000FFu);
    EXPECT_NE(at(20, 160), 0x0000FFu);

    int32_t left = doc().findObject(earlyId)->left;
    mouse->key(Qt::Key_Right);
    EXPECT_EQ(doc().findObject(earlyId)->left, left + 1);
    EXPECT_EQ(doc().findObject(lateId)->left, 20);
    // Delete removes the seen path; the unseen one stays, still selected.
    mouse->key(Qt::Key_Delete);
    EXPECT_EQ(doc().findObject(earlyId), nullptr);
    ASSERT_NE(doc().findObject(lateId), nullptr);
    EXPECT_TRUE(doc().findObject(lateId)->selected);

    // Escape selects nothing; Select All selects what this frame shows.
    mouse->key(Qt::Key_Escape);
    EXPECT_EQ(doc().selectedCount(), 0);
    doc().currentFrame = 55;
    addPath(30, 90, 200, 0, 9);
    window->Command(kCmdSelectAll);
    EXPECT_TRUE(doc().findObject(lateId)->selected);
    EXPECT_EQ(doc().selectedCount(), 1);
    window->Command(kCmdSelectNone);
    EXPECT_EQ(doc().selectedCount(), 0);
}

TEST_F(DesktopStudio, ClickWithoutDragDrawsNothingAndOvalsAreRound) {
    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    for (int32_t button : {kDrawPathButton, kDrawOvalButton, kDrawVerticalLineButton, kDrawHorizontalLineButton}) {
        test::clickToolbox(*box, button);
        mouse->press(100, 100);
        mouse->release(100, 100);
        EXPECT_TRUE(doc().objects.empty()) << button;
        EXPECT_FALSE(doc().canUndo()) << button;
        EXPECT_EQ(doc().selectedCount(), 0) << button;
    }
    // With new paths set to straight segments, the oval is still a curve.
    test::clickToolbox(*box, kDrawOvalButton);
    mouse->stroke(60, 60, 160, 120);
    ASSERT_EQ(doc().objects.size(), 1u);
    auto& oval = static_cast<DragPath&>(*doc().objects[0]);
    EXPECT_EQ(oval.curveFlag, 1);
    EXPECT_EQ(&oval.shape(), &BezierShape::instance());
    EXPECT_TRUE(doc().canUndo());
}

TEST_F(DesktopStudio, PasteSelectsWhatArrived) {
    DragPath& original = addPath(20, 200, 60, 0, 99);
    ObjectId originalId = original.id;
    original.selected = true;
    mouse->key(Qt::Key_C, Qt::ControlModifier);
    mouse->key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(doc().objects.size(), 2u);
    for (const auto& o : doc().objects) EXPECT_EQ(o->selected, o->id != originalId);
    // A second paste moves the selection on to the newest copy.
    mouse->key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(doc().objects.size(), 3u);
    EXPECT_EQ(doc().selectedCount(), 1);
}

TEST_F(DesktopStudio, CursorsTellWhatAPressWillDo) {
    window->AttachDocument(std::make_unique<Document>(320, 240));
    window->ResizeClient(600, 450);
    // A path grabbed only near itself (without a limit the whole stage grabs it).
    addPath(20, 200, 100, 0, 99).grabLimit = 20;
    window->Redraw();
    setEditMode(*window, false);
    mouse->hover(100, 101);
    EXPECT_TRUE(cursorIs(kCursorGrab));
    mouse->hover(300, 230);
    EXPECT_TRUE(cursorIs(kCursorArrow)) << cursorIs(kCursorGrab) << cursorIs(kCursorNeutral) << " at "
                                        << mouse->at(300, 230).x() << "," << mouse->at(300, 230).y() << " "
                                        << doc().activeDragPath();
    // Beyond the stage, whatever the tool.
    setEditMode(*window, true);
    mouse->hover(100, 100);
    EXPECT_TRUE(cursorIs(kCursorSegment));
    QPoint outside(window->clientWidth() - 30, window->clientHeight() - 30);
    QMouseEvent ev(QEvent::MouseMove, QPointF(outside), QPointF(window->client()->mapToGlobal(outside)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window->client(), &ev);
    EXPECT_TRUE(cursorIs(kCursorArrow));

    // A button drawn with its picture: the move area inside, resizing at the
    // corners, its point at the ends.
    ToolboxWindow* box = window->ShowToolbox();
    ASSERT_NE(box, nullptr);
    test::clickToolbox(*box, kDrawJumpButtonButton);
    mouse->stroke(60, 140, 160, 200);
    test::clickToolbox(*box, kEditModeButton);
    mouse->hover(110, 150);
    EXPECT_TRUE(cursorIs(kCursorMove));
    mouse->hover(159, 199);
    EXPECT_TRUE(cursorIs(kCursorResizeFalling));
    mouse->hover(159, 141);
    EXPECT_TRUE(cursorIs(kCursorResizeRising));
}

TEST_F(DesktopStudio, ZoomKeysWheelRedoKeysAndStatusBar) {
    std::string status = window->statusText();
    EXPECT_NE(status.find("Frame 1 of"), std::string::npos) << status;
    EXPECT_NE(status.find("100 %"), std::string::npos) << status;
    EXPECT_NE(status.find(resources().StringCopy("status_edit")), std::string::npos) << status;

    mouse->key(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(window->zoomFactor(), 2.0);
    EXPECT_NE(window->statusText().find("200 %"), std::string::npos);
    mouse->key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(window->zoomFactor(), 1.0);
    wheel(QPoint(50, 50), 120, Qt::ControlModifier);
    EXPECT_EQ(window->zoomFactor(), 2.0);
    wheel(QPoint(50, 50), -120, Qt::ControlModifier);
    EXPECT_EQ(window->zoomFactor(), 1.0);

    // A stage larger than the window: the wheel scrolls down, Shift sideways.
    window->AttachDocument(std::make_unique<Document>(2000, 2000));
    wheel(QPoint(50, 50), -120, Qt::NoModifier);
    EXPECT_GT(window->scrollY(), 0);
    EXPECT_EQ(window->scrollX(), 0);
    wheel(QPoint(50, 50), -120, Qt::ShiftModifier);
    EXPECT_GT(window->scrollX(), 0);
    EXPECT_EQ(window->verticalBar()->position(), window->scrollY());

    // Redo beside the shipped key: Ctrl+Y and Ctrl+Shift+Z.
    setEditMode(*window, true);
    addPath(20, 200, 60, 0, 9).selected = true;
    mouse->key(Qt::Key_Delete);
    for (auto redo : {QKeyCombination(Qt::ControlModifier, Qt::Key_Y),
                      QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z)}) {
        mouse->key(Qt::Key_Z, Qt::ControlModifier);
        ASSERT_EQ(doc().objects.size(), 1u);
        mouse->key(redo.key(), redo.keyboardModifiers());
        EXPECT_TRUE(doc().objects.empty());
    }
}

TEST_F(DesktopStudio, RefusedProjectSaysWhyInASentence) {
    std::string bad = scratch.write("broken.tvl", std::string("\x01\x02 not a project at all", 24));
    EXPECT_EQ(window->Open(bad, -1, -1), 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    const std::string& m = prompts.messages[0];
    size_t gap = m.find("\n\n");
    ASSERT_NE(gap, std::string::npos) << m;
    EXPECT_EQ(m.substr(0, gap), text("e_cant_open", bad));
    std::string why = m.substr(gap + 2);
    ASSERT_FALSE(why.empty());
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(why[0]))) << why;
    EXPECT_EQ(why.back(), '.') << why;
}

#ifdef TAVLIN_STUDIO
struct StudioRun {
    int status;
    std::string out, err;
};

StudioRun runStudio(const test::ScratchDir& scratch, const std::string& args) {
    // No display at all: an option that opened a window would fail.
    std::string cmd = std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '") + TAVLIN_STUDIO + "' " +
                      args + " >'" + scratch.file("out") + "' 2>'" + scratch.file("err") + "'";
    int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, test::readAll(scratch.file("out")),
            test::readAll(scratch.file("err"))};
}

TEST(StudioCommandLine, HelpAndVersionPrintAndUnknownOptionsAreErrors) {
    test::ScratchDir scratch;
    auto help = runStudio(scratch, "--help");
    EXPECT_EQ(help.status, 0) << help.err;
    for (const char* word : {"tavlin-studio", "--play", "--screenshot", "--version", "FILE"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word << "\n" << help.out;
    auto version = runStudio(scratch, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tavlin-studio ", 0), 0u) << version.out;
    auto unknown = runStudio(scratch, "--frobnicate project.tvl");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos) << unknown.err;
    EXPECT_TRUE(unknown.out.empty());
}
#endif

}  // namespace
}  // namespace tavlin
