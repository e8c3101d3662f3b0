#pragma once
// A user's hand on the studio: the mouse on the main window's stage, given in
// stage pixels and turned into client pixels through the window's zoom and
// scrolling, keys typed on the stage, clicks on the tool box and pictures of
// the windows for looking at afterwards.

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "base/paths.h"
#include "studio/main_window.h"
#include "studio/picture_chooser.h"
#include "studio/toolbox_window.h"
#include "ui/control.h"

namespace tavlin::test {

class StageMouse {
public:
    explicit StageMouse(MainWindow& window) : window_(window) {}

    // The client pixel that shows stage pixel (x, y).
    QPoint at(int32_t x, int32_t y) const {
        double z = window_.zoomFactor();
        return QPoint(int32_t(x * z) - window_.scrollX(), int32_t(y * z) - window_.scrollY());
    }
    // The pointer comes to rest over (x, y): the tool's hover, which decides
    // what a following press grabs.
    void hover(int32_t x, int32_t y) { move(at(x, y), Qt::NoButton, Qt::NoModifier); }
    void press(int32_t x, int32_t y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        hover(x, y);
        QTest::mousePress(client(), Qt::LeftButton, mods, at(x, y));
    }
    // A move with the button held (QTest's own moves carry no modifiers).
    void dragTo(int32_t x, int32_t y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        move(at(x, y), Qt::LeftButton, mods);
    }
    void release(int32_t x, int32_t y, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::mouseRelease(client(), Qt::LeftButton, mods, at(x, y));
    }
    // Press on the first point, drag through the others, release on the last.
    void stroke(const std::vector<QPoint>& points, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        if (points.empty()) return;
        press(points.front().x(), points.front().y(), mods);
        for (size_t i = 1; i < points.size(); ++i) dragTo(points[i].x(), points[i].y(), mods);
        release(points.back().x(), points.back().y(), mods);
    }
    void stroke(int32_t x0, int32_t y0, int32_t x1, int32_t y1) { stroke({QPoint(x0, y0), QPoint(x1, y1)}); }

    void key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(client(), key, mods); }

private:
    QWidget* client() const { return window_.client(); }
    void move(QPoint p, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
        QMouseEvent ev(QEvent::MouseMove, QPointF(p), QPointF(client()->mapToGlobal(p)), Qt::NoButton, buttons, mods);
        QApplication::sendEvent(client(), &ev);
    }
    MainWindow& window_;
};

inline void clickToolbox(ToolboxWindow& box, int32_t button) {
    int32_t x = 0, y = 0;
    ToolboxWindow::ButtonOrigin(button, &x, &y);
    QTest::mouseClick(box.client(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x + ToolboxWindow::kButtonWidth / 2, y + ToolboxWindow::kButtonHeight / 2));
}

// Saves a picture of the window as <TAVLIN_SHOT_DIR>/<name>.png when that
// folder is given; nothing otherwise.
inline void saveShot(Window& window, const std::string& name) {
    const char* dir = std::getenv("TAVLIN_SHOT_DIR");
    if (!dir || !*dir) return;
    window.widget()->grab().save(QString::fromStdString(joinPath(dir, name + ".png")), "PNG");
}

// Waits for the window titled `title` to show (a modal one opened by what
// the test does next), then runs `act` on it.
inline void whenShown(const QString& title, std::function<void(Window*)> act) {
    // Only the pending timer holds the poll, so it goes once the window was found.
    auto poll = std::make_shared<std::function<void()>>();
    std::weak_ptr<std::function<void()>> weak = poll;
    *poll = [title, act, weak] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == title) {
                act(Window::FromWidget(w));
                return;
            }
        if (auto again = weak.lock()) QTimer::singleShot(30, [again] { (*again)(); });
    };
    QTimer::singleShot(30, [poll] { (*poll)(); });
}

// In an open picture chooser: shows `folder`, selects the pictures `names`
// (Control adds each after the first) and presses "OK".
inline void pickPictures(Window* window, const std::string& folder, const std::vector<std::string>& names) {
    auto* chooser = dynamic_cast<PictureChooser*>(window);
    ASSERT_NE(chooser, nullptr);
    chooser->showFolder(folder);
    int32_t control = 0;
    for (const std::string& name : names) {
        const auto& entries = chooser->entries();
        size_t at = 0;
        while (at < entries.size() && entries[at].name != name) ++at;
        int32_t cell = int32_t(at) - chooser->slider()->position() * PictureChooser::kColumns;
        if (at == entries.size() || cell < 0 || cell >= PictureChooser::kColumns * PictureChooser::kRows) {
            ADD_FAILURE() << name << " is not in view";
            chooser->OnControl(PictureChooser::kCancelId);  // the test goes on rather than hangs
            return;
        }
        chooser->OnLeftDown(PictureChooser::kCell * (cell % PictureChooser::kColumns) + 50,
                            PictureChooser::kGridY + PictureChooser::kCell * (cell / PictureChooser::kColumns) + 50,
                            control);
        control = 2;
    }
    chooser->OnControl(PictureChooser::kOkId);
}

}  // namespace tavlin::test
