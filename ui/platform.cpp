#include "ui/platform.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <algorithm>

#include "base/file_filter.h"
#include "ui/choice_window.h"
#include "ui/control.h"
#include "ui/window.h"

namespace tavlin {

namespace {

bool g_running = false;
bool g_quit = false;
bool g_idleEnabled = true;

// Waits at most `ms` for input and processes what arrived.
void waitForInput(int ms) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Messages and questions belong to the innermost modal window while one
// runs, so that answering them gives back exactly that window, not the one
// under it that the modal window still holds.
QWidget* focusOwner() {
    if (ModalWindow* modal = ModalWindow::Innermost(); modal && modal->widget()) return modal->widget();
    if (QWidget* active = QApplication::activeWindow()) {
        // A palette or panel of the main window (tool box, timeline, info
        // window) asks on behalf of its owner: the question must hold the
        // window whose document it is about.
        Window* w = Window::FromWidget(active);
        while (w && w->owner() && !dynamic_cast<ModalWindow*>(w)) w = w->owner();
        if (w && w->widget()) return w->widget();
        return active;
    }
    // No window has the focus (the program is in the background): the first
    // framed top-level window (the main window) waits for the answer.
    for (Window* w : TopLevelWindows())
        if (w->widget() && w->kind() != kPopupWindow && w->kind() != kPopupWindow2) return w->widget();
    return nullptr;
}

QWidget* widgetOf(Window* w) {
    if (w && w->widget()) return w->widget()->window();
    return focusOwner();
}

}  // namespace

void RunMainLoop(const std::function<void()>& idle) {
    g_running = true;
    g_quit = false;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        FlushDestroyedWindows();
        if (g_quit || !g_running) break;
        if (g_idleEnabled && idle) {
            idle();
            if (g_quit || !g_running) break;
            waitForInput(33);
        } else {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (g_quit || !g_running) break;
    }
    g_running = false;
    FlushDestroyedWindows();
}

void EndMainLoop() {
    g_running = false;
    // Wake a loop that blocks without an idle function.
    if (auto* d = QAbstractEventDispatcher::instance()) d->wakeUp();
}

void PostQuit() {
    g_quit = true;
    EndMainLoop();
}

bool MainLoopRunning() { return g_running; }
void SetIdleEnabled(bool flag) { g_idleEnabled = flag; }
bool IdleEnabled() { return g_idleEnabled; }

void PumpOnce(Window*) {
    // Tab reaches each window's own focus cycling through the routing.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    waitForInput(10);
}

void PumpPending() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void ShowMessageBox(const std::string& text) {
    // What the program has to say is nearly always a failure or a warning.
    QMessageBox box(QMessageBox::Warning, "Message", QString::fromStdString(text), QMessageBox::Ok, focusOwner());
    box.exec();
}

ChoiceWindow::ChoiceWindow(Window* owner, const std::string& text, const std::vector<std::string>& labels)
    : ModalWindow(owner, 0, 0, 10, 10, 1) {
    size_t count = std::min<size_t>(labels.size(), 10);
    Canvas* c = canvas();
    c->SelectFont(DefaultFont());
    int32_t tw = c->MeasureText(text).x;
    std::vector<int32_t> lw;
    int32_t sum = 40;
    for (size_t i = 0; i < count; ++i) {
        lw.push_back(c->MeasureText(labels[i]).x);
        sum += lw.back() + 40;
    }
    int32_t width = std::max(sum, tw + 40);
    // A text wider than the screen is wrapped to the screen's width; the
    // window grows downwards by the lines added.
    std::vector<std::string> lines{text};
    int32_t lineHeight = std::max<int32_t>(20, c->MeasureText("Mg").y);
    Size room = availableClientSize();
    if (tw + 40 > room.w) {
        width = std::max(sum, room.w);
        int32_t maxLines = std::max<int32_t>(1, (room.h - 120) / lineHeight + 1);
        lines = wrapText(text, width - 40, maxLines, [c](const std::string& t) { return c->MeasureText(t).x; });
    }
    int32_t extra = int32_t(lines.size() - 1) * lineHeight;
    ResizeClient(width, 120 + extra);
    c = canvas();
    c->FillFace(0, 0, c->width(), c->height());
    c->SelectFont(DefaultFont());
    for (size_t i = 0; i < lines.size(); ++i)
        c->DrawText(20, 20 + int32_t(i) * lineHeight, width - 40, lines.size() == 1 ? 20 : lineHeight, lines[i],
                    0x000000);
    int32_t x = 10;
    for (size_t i = 0; i < count; ++i) {
        buttons_.push_back(std::make_unique<Button>(this, x, 65 + extra, lw[i] + 20, 35, int32_t(i), labels[i]));
        x += lw[i] + 40;
    }
}

ChoiceWindow::Size ChoiceWindow::availableClientSize() const {
    QScreen* screen = widget() && widget()->screen() ? widget()->screen() : QGuiApplication::primaryScreen();
    if (!screen) return {INT32_MAX / 2, INT32_MAX / 2};
    QRect avail = screen->availableGeometry();
    // Leaves room for the frame the window manager adds.
    return {std::max<int32_t>(200, avail.width() - kFrameAllowance),
            std::max<int32_t>(120, avail.height() - kFrameAllowance)};
}

std::vector<std::string> wrapText(const std::string& text, int32_t width, int32_t maxLines,
                                  const std::function<int32_t(const std::string&)>& measure) {
    std::vector<std::string> lines;
    // Whole UTF-8 characters only: a cut never splits one.
    auto nextChar = [&](size_t at) {
        size_t n = at + 1;
        while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
        return n;
    };
    size_t start = 0;
    while (start < text.size() && int32_t(lines.size()) < maxLines) {
        if (text[start] == ' ') {
            ++start;
            continue;
        }
        // The longest run from start that fits, preferring to end before a blank.
        size_t end = start, lastBlank = std::string::npos;
        while (end < text.size() && text[end] != '\n') {
            size_t next = nextChar(end);
            if (measure(text.substr(start, next - start)) > width && end > start) break;
            if (text[end] == ' ') lastBlank = end;
            end = next;
        }
        size_t cut = end;
        if (end < text.size() && text[end] != '\n' && lastBlank != std::string::npos && lastBlank > start)
            cut = lastBlank;
        lines.push_back(text.substr(start, cut - start));
        start = cut;
        if (start < text.size() && text[start] == '\n') ++start;
    }
    if (start < text.size() && !lines.empty()) {
        // What does not fit on the screen is marked as cut.
        std::string& last = lines.back();
        const std::string more = "...";
        while (!last.empty() && measure(last + more) > width) {
            size_t back = last.size() - 1;
            while (back > 0 && (static_cast<unsigned char>(last[back]) & 0xC0) == 0x80) --back;
            last.resize(back);
        }
        last += more;
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
}

ChoiceWindow::~ChoiceWindow() { buttons_.clear(); }

void ChoiceWindow::OnControl(int32_t id) { EndModal(id); }

Control* ChoiceWindow::DefaultButton() const {
    for (const auto& b : buttons_)
        if (b.get() == focusedControl() || (b->NativeHandle() && b->NativeHandle()->hasFocus())) return b.get();
    return buttons_.empty() ? nullptr : buttons_.front().get();
}

int AskChoice(Window* owner, const std::string& text, const std::vector<std::string>& labels) {
    if (labels.empty()) return 0;
    ChoiceWindow w(owner, text, labels);
    w.CentreOnScreen();
    w.Show(true);
    int32_t result = w.RunModal();
    w.Destroy();
    return result;
}

std::vector<std::string> QtNameFilters(const std::string& filter) {
    std::vector<std::string> out;
    for (const auto& [label, pattern] : filterPairs(filter)) {
        // The patterns are the pattern text's, each once; Qt wants them
        // separated by blanks.
        std::vector<std::string> patterns;
        size_t at = 0;
        while (at <= pattern.size()) {
            size_t end = std::min(pattern.find(';', at), pattern.size());
            std::string one = pattern.substr(at, end - at);
            one.erase(0, one.find_first_not_of(' '));
            one.erase(one.find_last_not_of(' ') + 1);
            if (!one.empty() && std::find(patterns.begin(), patterns.end(), one) == patterns.end())
                patterns.push_back(one);
            at = end + 1;
        }
        if (patterns.empty()) continue;
        // Labels often name their patterns already ("PNG image (*.png)"):
        // that part is replaced, so the entry names them once.
        std::string name = label;
        if (size_t open = name.rfind(" ("); open != std::string::npos && !name.empty() && name.back() == ')')
            name.erase(open);
        std::string entry = name + " (";
        for (size_t i = 0; i < patterns.size(); ++i) entry += (i ? " " : "") + patterns[i];
        out.push_back(entry + ")");
    }
    return out;
}

static QString qtFilters(const std::string& filter) {
    QStringList list;
    for (const std::string& f : QtNameFilters(filter)) list << QString::fromStdString(f);
    return list.join(";;");
}

std::optional<std::string> OpenFileDialog(Window* owner, const std::string& filter, const std::string& initial) {
    QString path = QFileDialog::getOpenFileName(widgetOf(owner), QString(), QString::fromStdString(initial),
                                                qtFilters(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> SaveFileDialog(Window* owner, const std::string& filter, const std::string& initial) {
    // Callers ask about replacing a file themselves, after fixing up its name.
    QString path = QFileDialog::getSaveFileName(widgetOf(owner), QString(), QString::fromStdString(initial),
                                                qtFilters(filter), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<uint32_t> ChooseColour(Window* owner, uint32_t colour) {
    // QColorDialog keeps its custom colours for the whole run by itself.
    QColor c = QColorDialog::getColor(QColor(int(colour >> 16 & 0xFF), int(colour >> 8 & 0xFF), int(colour & 0xFF)),
                                      widgetOf(owner));
    if (!c.isValid()) return std::nullopt;
    return uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue());
}

std::optional<std::string> ChooseFolder(Window* owner, const std::string& initial) {
    QString dir = QFileDialog::getExistingDirectory(widgetOf(owner), QString(), QString::fromStdString(initial),
                                                    QFileDialog::ShowDirsOnly);
    if (dir.isEmpty()) return std::nullopt;
    return dir.toStdString();
}

bool OpenWithShell(const std::string& target) {
    static bool busy = false;
    if (busy) return false;
    busy = true;
    QString t = QString::fromStdString(target);
    QUrl url = t.contains("://") ? QUrl(t) : QUrl::fromLocalFile(t);
    bool ok = QDesktopServices::openUrl(url);
    busy = false;
    return ok;
}

void QtPrompts::showMessage(const std::string& text) { ShowMessageBox(text); }

int QtPrompts::askChoice(const std::string& text, const std::vector<std::string>& labels) {
    return AskChoice(Window::FromWidget(focusOwner()), text, labels);
}

std::optional<std::string> QtPrompts::openFile(const std::string& filter, const std::string& initial) {
    return OpenFileDialog(nullptr, filter, initial);
}

std::optional<std::string> QtPrompts::saveFile(const std::string& filter, const std::string& initial) {
    return SaveFileDialog(nullptr, filter, initial);
}

std::optional<std::string> QtPrompts::chooseFolder(const std::string& initial) {
    return ChooseFolder(nullptr, initial);
}

std::optional<uint32_t> QtPrompts::chooseColour(uint32_t colour) { return ChooseColour(nullptr, colour); }

void InstallQtPrompts() {
    static QtPrompts prompts;
    installPrompts(&prompts);
}

}  // namespace tavlin
