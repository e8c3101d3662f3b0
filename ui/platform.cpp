#include "ui/platform.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
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

QWidget* focusOwner() { return QApplication::activeWindow(); }

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
    QMessageBox box(QMessageBox::Information, "Message", QString::fromStdString(text), QMessageBox::Ok, focusOwner());
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
    ResizeClient(width, 120);
    c = canvas();
    c->FillFace(0, 0, c->width(), c->height());
    c->SelectFont(DefaultFont());
    c->DrawText(20, 20, width - 40, 20, text, 0x000000);
    int32_t x = 10;
    for (size_t i = 0; i < count; ++i) {
        buttons_.push_back(std::make_unique<Button>(this, x, 65, lw[i] + 20, 35, int32_t(i), labels[i]));
        x += lw[i] + 40;
    }
}

ChoiceWindow::~ChoiceWindow() { buttons_.clear(); }

void ChoiceWindow::OnControl(int32_t id) { EndModal(id); }

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
    for (auto [label, pattern] : filterPairs(filter)) {
        std::replace(pattern.begin(), pattern.end(), ';', ' ');
        out.push_back(label + " (" + pattern + ")");
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
