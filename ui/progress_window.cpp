#include "ui/progress_window.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>

#include "ui/control.h"
#include "ui/platform.h"

namespace tavlin {

namespace {
std::unique_ptr<ProgressWindow>& slot() {
    static std::unique_ptr<ProgressWindow> s;
    return s;
}

// Without a parent the window still needs an owner, or closing it could
// empty the top-level list and end the program.
Window* ownerFor(Window* parent) {
    if (parent && parent->exists()) return parent;
    return TopLevelWindows().empty() ? nullptr : TopLevelWindows().front();
}
}  // namespace

ProgressWindow::ProgressWindow(Window* parent, const std::string& title)
    : Window(ownerFor(parent), 50, 50, 250, 120, 1), title_(title) {
    SetTitle(title);
    stop_ = new Button(this, 90, 75, 70, 35, kStopId, "Stop");
    AdoptControl(stop_);
    draw(0, 0);
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::open(Window* parent, const std::string& title) {
    close();
    slot().reset(new ProgressWindow(parent, title));
    slot()->Show(true);
    PumpPending();
}

bool ProgressWindow::update(int32_t done, int32_t total) {
    ProgressWindow* w = slot().get();
    if (!w || !w->exists()) return false;
    w->draw(done, total);
    w->Refresh();
    PumpPending();
    return w->exists();
}

void ProgressWindow::close() { slot().reset(); }

ProgressWindow* ProgressWindow::current() { return slot().get(); }

void ProgressWindow::OnControl(int32_t id) {
    if (id == kStopId) Destroy();
}

void ProgressWindow::OnKey(int32_t) {}

int32_t ProgressWindow::barFill(int32_t done, int32_t total) {
    if (total <= 0) return 0;
    int64_t fill = int64_t(done) * kBarWidth / total;
    return int32_t(std::clamp<int64_t>(fill, 0, kBarWidth));
}

std::string ProgressWindow::counterText(int32_t done, int32_t total) {
    if (total <= 0) return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d (%d%%)", done, total, int32_t(int64_t(done) * 100 / total));
    return text;
}

void ProgressWindow::draw(int32_t done, int32_t total) {
    Canvas* c = canvas();
    c->FillFace(0, 0, c->width(), c->height());
    c->SelectFont(DefaultFont());
    c->DrawText(10, 10, 230, 40, title_, 0x000000);
    c->FrameRect(kBarX - 1, kBarY - 1, kBarWidth + 2, kBarHeight + 2, 0x808080);
    c->FillRect(kBarX, kBarY, kBarWidth, kBarHeight, 0xFFFFFF);
    if (total <= 0) return;
    c->FillRect(kBarX, kBarY, barFill(done, total), kBarHeight, kBarColour);
    std::string text = counterText(done, total);
    c->SelectFont(GetFont("Arial", 0, 12));
    Point size = c->MeasureText(text);
    c->DrawText(kBarX + (kBarWidth - size.x) / 2, kBarY + (kBarHeight - size.y) / 2, size.x + 1, size.y, text,
                0x000000);
    c->SelectFont(DefaultFont());
}

void WindowProgress::begin(const std::string& title) {
    ProgressWindow::open(parent_, title);
    open_ = true;
    stopped_ = false;
}

bool WindowProgress::update(int64_t done, int64_t total) {
    if (!open_ || stopped_) return !stopped_;
    // The window counts in 32 bits; scale large totals down together.
    while (total > INT32_MAX) {
        total /= 2;
        done /= 2;
    }
    if (!ProgressWindow::update(int32_t(done), int32_t(total))) stopped_ = true;
    return !stopped_;
}

void WindowProgress::end() {
    if (!open_) return;
    ProgressWindow::close();
    open_ = false;
}

}  // namespace tavlin
