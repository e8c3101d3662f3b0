#pragma once
// A user working through nested modal windows inside the program's main
// loop: scripted steps, each run once the expected number of modal loops is
// running, and the keys a user might type to quit.

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "ui/control.h"
#include "ui/platform.h"
#include "ui/window.h"

namespace tavlin::test {

struct ModalStep {
    size_t depth;  // modal loops running when the step may start
    std::function<void()> run;
};

// Runs the steps in order inside RunMainLoop, then ends it. A step may open
// a modal window; later steps then run inside its loop, as soon as the loop
// depth they name is reached. Gives up after about `limitMs`.
inline void runInMainLoop(std::vector<ModalStep> steps, int limitMs = 20000) {
    struct State {
        std::vector<ModalStep> steps;
        size_t next = 0;
        std::vector<size_t> active;  // depths of the steps still running
        int polls = 0;
        std::function<void()> poll;
    };
    auto s = std::make_shared<State>();
    s->steps = std::move(steps);
    std::weak_ptr<State> weak = s;
    s->poll = [weak, limitMs] {
        auto st = weak.lock();
        if (!st || st->next >= st->steps.size()) return;
        if (++st->polls * 5 > limitMs) {
            ADD_FAILURE() << "step " << st->next << " never came due";
            PostQuit();
            return;
        }
        // A fresh timer for each poll: a timer is not delivered again while
        // its own handler runs, and handlers here run modal loops.
        QTimer::singleShot(5, [weak] {
            if (auto again = weak.lock()) again->poll();
        });
        ModalStep& step = st->steps[st->next];
        // Due once its loop runs and the step that opened that loop (or one
        // before it at the same level) is not still busy at that level.
        if (ModalWindow::Running() != step.depth) return;
        if (!st->active.empty() && st->active.back() >= step.depth) return;
        ++st->next;
        st->active.push_back(step.depth);
        step.run();
        st->active.pop_back();
    };
    bool started = false;
    int idles = 0;
    RunMainLoop([&] {
        if (!started) {
            started = true;
            s->poll();
        }
        if (s->next >= s->steps.size() && ++idles > 3) PostQuit();
    });
}

// The close box, as the window manager's request arrives: a close event at
// the platform window (QWidget::close() takes another road, one that skips a
// request arriving while an earlier one is being answered).
inline bool pressCloseBox(Window& w) {
    if (!w.widget() || !w.widget()->windowHandle()) return false;
    QCloseEvent ev;
    QCoreApplication::sendEvent(w.widget()->windowHandle(), &ev);
    return ev.isAccepted();
}

// "q" and Alt+Q as a user types them: into the focused native control (which
// passes them on) and into the client area.
inline void pressQuitKeys(Window& w) {
    std::vector<QWidget*> targets;
    if (Control* f = w.focusedControl(); f && f->NativeHandle()) targets.push_back(f->NativeHandle());
    targets.push_back(w.client());
    for (QWidget* t : targets) {
        QTest::keyClick(t, 'q');
        QTest::keyClick(t, 'q', Qt::AltModifier);
    }
}

}  // namespace tavlin::test
