#include "ui/window.h"

#include "core/key_codes.h"

#include <QAction>
#include <QActionEvent>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "ui/audio_output.h"
#include "ui/control.h"
#include "ui/cursors.h"
#include "ui/menu.h"
#include "ui/platform.h"

namespace tavlin {

namespace {

std::vector<QPointer<QWidget>>& graveyard() {
    static std::vector<QPointer<QWidget>> list;
    return list;
}

std::vector<Window*>& topLevels() {
    static std::vector<Window*> list;
    return list;
}

// Modal windows whose loops run, outermost first.
std::vector<ModalWindow*>& modalStack() {
    static std::vector<ModalWindow*> list;
    return list;
}

int32_t modifiersOf(Qt::KeyboardModifiers m) {
    return ((m & Qt::ShiftModifier) ? 1 : 0) | ((m & Qt::ControlModifier) ? 2 : 0);
}

// The screen that holds most of the widget's window, else the primary one.
QScreen* screenOf(const QWidget* w) {
    if (w) {
        if (QScreen* s = QGuiApplication::screenAt(w->frameGeometry().center())) return s;
        if (w->screen()) return w->screen();
    }
    return QGuiApplication::primaryScreen();
}

// What the window manager adds around the client: the real frame once the
// window is up, a usual title bar and border before that.
QMargins frameMarginsOf(const QWidget* w) {
    QRect f = w->frameGeometry(), g = w->geometry();
    QMargins real(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    if (w->isVisible() && real.top() > 0) return real;
    if (QGuiApplication::platformName() == "offscreen") return real;
    return QMargins(4, 30, 4, 4);
}

// Key table and typed characters to the program's key codes; 0 leaves the
// key to Qt.
int32_t translateKey(const QKeyEvent* ev) {
    switch (ev->key()) {
    case Qt::Key_Left: return Key::Left;
    case Qt::Key_Right: return Key::Right;
    case Qt::Key_Up: return Key::Up;
    case Qt::Key_Down: return Key::Down;
    case Qt::Key_Home: return Key::Home;
    case Qt::Key_End: return Key::End;
    case Qt::Key_Delete: return Key::Delete;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Key::Tab;
    case Qt::Key_Backspace: return Key::Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::Enter;
    case Qt::Key_Escape: return Key::Escape;
    default: break;
    }
    if ((ev->modifiers() & Qt::ControlModifier) && ev->key() >= Qt::Key_A && ev->key() <= Qt::Key_Z)
        return Key::ctrl(char('A' + (ev->key() - Qt::Key_A)));
    // Alt with a key belongs to menu mnemonics; it is not that key typed.
    // (Control with Alt is how some keyboards type AltGr characters.)
    if ((ev->modifiers() & Qt::AltModifier) && !(ev->modifiers() & Qt::ControlModifier)) return 0;
    QString text = ev->text();
    if (!text.isEmpty()) {
        uint32_t c = text.toUcs4().value(0);
        if (c >= 32 && c != 127) return int32_t(c);
    }
    return 0;
}

}  // namespace

namespace {
int32_t g_keyModifiers = 0;
}  // namespace

int32_t RoutedKeyModifiers() { return g_keyModifiers; }

const std::vector<Window*>& TopLevelWindows() { return topLevels(); }

void FlushDestroyedWindows() {
    std::vector<QPointer<QWidget>> dead;
    dead.swap(graveyard());
    for (QPointer<QWidget>& w : dead) delete w.data();
}

// The client area: shows the back buffer and turns input into the routing.
class ClientWidget : public QWidget {
public:
    ClientWidget(Window* window, QWidget* parent) : QWidget(parent), window_(window) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setAcceptDrops(true);
        setFocusPolicy(Qt::StrongFocus);
    }
    Window* window_;
    int32_t routedW_ = -1, routedH_ = -1;
    int32_t wheelRest_ = 0;

protected:
    bool event(QEvent* ev) override {
        if (ev->type() == kPlaybackDoneEvent) {
            AudioOutput::instance().playbackDone(static_cast<PlaybackDoneEvent*>(ev)->header);
            return true;
        }
        // Tab must reach the routing rather than Qt's focus chain.
        if (ev->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(ev);
            if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
                if (window_) window_->RouteKey(9);
                return true;
            }
        }
        return QWidget::event(ev);
    }
    bool focusNextPrevChild(bool) override {
        // Tab pressed inside a native control.
        if (window_) window_->RouteKey(9);
        return true;
    }
    void paintEvent(QPaintEvent* ev) override {
        QPainter p(this);
        if (window_ && window_->canvas()) {
            QImage img = window_->canvas()->qimage();
            const int32_t s = window_->canvas()->scale();
            if (s == 1) {
                p.drawImage(ev->rect().topLeft(), img, ev->rect());
            } else {
                const QRect r = ev->rect();
                p.setRenderHint(QPainter::SmoothPixmapTransform, true);
                p.drawImage(QRectF(r), img, QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s));
            }
        }
    }
    void resizeEvent(QResizeEvent* ev) override {
        if (window_) window_->RouteResize(ev->size().width(), ev->size().height());
    }
    void mouseMoveEvent(QMouseEvent* ev) override {
        if (window_) window_->RouteMouseMove(ev->position().x(), ev->position().y(), modifiersOf(ev->modifiers()));
    }
    void leaveEvent(QEvent*) override {
        // The pointer left the window: no control stays lit as hovered.
        if (window_) window_->RouteLeave();
    }
    void mousePressEvent(QMouseEvent* ev) override {
        if (!window_) return;
        if (ev->button() != Qt::LeftButton && ev->button() != Qt::RightButton) return;
        window_->RouteButton(ev->button() == Qt::LeftButton, true, ev->position().x(), ev->position().y(),
                             modifiersOf(ev->modifiers()));
    }
    void mouseReleaseEvent(QMouseEvent* ev) override {
        if (!window_) return;
        if (ev->button() != Qt::LeftButton && ev->button() != Qt::RightButton) return;
        window_->RouteButton(ev->button() == Qt::LeftButton, false, ev->position().x(), ev->position().y(),
                             modifiersOf(ev->modifiers()));
    }
    void keyPressEvent(QKeyEvent* ev) override {
        int32_t code = translateKey(ev);
        if (!code || !window_) {
            ev->ignore();
            return;
        }
        g_keyModifiers = modifiersOf(ev->modifiers());
        window_->RouteKey(code);
        g_keyModifiers = 0;
    }
    void wheelEvent(QWheelEvent* ev) override {
        // A sideways wheel (or tilt) scrolls as Shift with the wheel does.
        int32_t modifiers = modifiersOf(ev->modifiers());
        int32_t delta = ev->angleDelta().y();
        if (delta == 0 && ev->angleDelta().x() != 0) {
            delta = ev->angleDelta().x();
            modifiers |= 1;
        }
        QPoint global = ev->globalPosition().toPoint();
        // The window under the pointer takes the wheel, focused or not.
        Window* target = Window::FromWidget(QApplication::widgetAt(global));
        if (!target) {
            for (Window* w : topLevels()) {
                QWidget* c = w->client();
                if (c && c->isVisible() && c->rect().contains(c->mapFromGlobal(global))) target = w;
            }
        }
        if (!target) target = window_;
        if (!target || !target->client()) return;
        // Whole notches of 120; touchpads send smaller amounts, which add up
        // instead of being lost one event at a time.
        auto* c = static_cast<ClientWidget*>(target->client());
        c->wheelRest_ += delta;
        int32_t steps = c->wheelRest_ / 120;
        c->wheelRest_ -= steps * 120;
        if (!steps) return;
        QPoint local = c->mapFromGlobal(global);
        target->RouteWheel(steps, local.x(), local.y(), modifiers);
    }
    void dragEnterEvent(QDragEnterEvent* ev) override {
        if (ev->mimeData()->hasUrls()) ev->acceptProposedAction();
    }
    void dragMoveEvent(QDragMoveEvent* ev) override {
        if (ev->mimeData()->hasUrls()) ev->acceptProposedAction();
    }
    void dropEvent(QDropEvent* ev) override {
        if (!window_) return;
        std::vector<std::string> paths;
        for (const QUrl& url : ev->mimeData()->urls())
            if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
        if (paths.empty()) return;
        ev->acceptProposedAction();
        if (QWidget* top = window()) {
            top->raise();
            top->activateWindow();
        }
        QPoint p = ev->position().toPoint();
        window_->RouteDrop(paths, p.x(), p.y());
    }
};

// Turns the command actions of a menu bar into OnMenu calls.
class MenuRouter : public QObject {
public:
    explicit MenuRouter(QMenuBar* bar) : QObject(bar), bar_(bar) {}
    void watch(QWidget* menu) {
        menu->installEventFilter(this);
        for (QAction* a : menu->actions()) add(a);
    }

protected:
    bool eventFilter(QObject*, QEvent* ev) override {
        if (ev->type() == QEvent::ActionAdded) add(static_cast<QActionEvent*>(ev)->action());
        return false;
    }

private:
    void add(QAction* action) {
        if (!action) return;
        if (QMenu* sub = action->menu()) {
            if (!menus_.contains(sub)) {
                menus_.insert(sub);
                watch(sub);
            }
            return;
        }
        if (actions_.contains(action)) return;
        actions_.insert(action);
        QObject::connect(action, &QAction::triggered, this, [this, action] {
            bool ok = false;
            int32_t id = action->data().toInt(&ok);
            // The window behind the bar, unless it has been destroyed since.
            if (Window* w = Window::FromWidget(bar_); ok && w) w->OnMenu(id);
        });
        QObject::connect(action, &QObject::destroyed, this, [this, action] { actions_.remove(action); });
    }
    QMenuBar* bar_;
    QSet<QAction*> actions_;
    QSet<QMenu*> menus_;
};

// The platform window: the menu bar on top, the client area below.
class WindowWidget : public QWidget {
public:
    WindowWidget(Window* window, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), window_(window) {}
    ~WindowWidget() override {
        // Deleted by Qt with a parent widget: the window learns it is gone.
        if (window_) window_->widgetGone();
    }
    Window* window_;
    ClientWidget* client_ = nullptr;
    QMenuBar* bar_ = nullptr;
    QLabel* status_ = nullptr;

    int32_t barHeight() const { return bar_ ? bar_->sizeHint().height() : 0; }
    int32_t statusHeight() const { return status_ ? status_->sizeHint().height() : 0; }
    void layoutChildren() {
        int32_t bh = barHeight(), sh = statusHeight();
        if (bar_) bar_->setGeometry(0, 0, width(), bh);
        if (client_) client_->setGeometry(0, bh, width(), std::max(0, height() - bh - sh));
        if (status_) status_->setGeometry(0, std::max(0, height() - sh), width(), sh);
    }

protected:
    void closeEvent(QCloseEvent* ev) override {
        ev->ignore();
        // A window disabled by a modal window waits for it: closing it now
        // would pull the document from under the question or dialog.
        if (window_ && window_->IsEnabled()) window_->OnClose();
    }
    void resizeEvent(QResizeEvent*) override { layoutChildren(); }
};

namespace {

// Close requests are taken at the platform window, before Qt's own close
// handling sees them. That handling counts a request that arrives while an
// earlier one is still being answered (the save question runs inside it) as
// agreed, and tears the platform window down behind the program's back: the
// main window would vanish while the program, and its document, live on.
class CloseRequests : public QObject {
public:
    static void install() {
        static CloseRequests* filter = nullptr;
        if (filter || !qApp) return;
        filter = new CloseRequests(qApp);
        qApp->installEventFilter(filter);
    }

protected:
    using QObject::QObject;
    bool eventFilter(QObject* object, QEvent* ev) override {
        if (ev->type() != QEvent::Close || !object->isWindowType()) return false;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (static_cast<QObject*>(top->windowHandle()) != object) continue;
            auto* frame = dynamic_cast<WindowWidget*>(top);
            if (!frame) return false;
            ev->ignore();
            // A window disabled by a modal window waits for it.
            if (frame->window_ && frame->window_->IsEnabled()) frame->window_->OnClose();
            return true;
        }
        return false;
    }
};

}  // namespace

Window::Window(Window* owner, int32_t x, int32_t y, int32_t w, int32_t h, int32_t kind)
    : owner_(owner), kind_(kind), canvas_(std::make_unique<Canvas>(w, h)) {
    CloseRequests::install();
    w = std::max(w, 1);
    h = std::max(h, 1);
    QWidget* parent = nullptr;
    Qt::WindowFlags flags;
    bool child = false;
    bool fixed = false;
    bool clientCoords = false;
    if (kind == 2 || kind == 3) {
        flags = Qt::Window | Qt::FramelessWindowHint;
        if (owner) parent = owner->widget();
    } else if (!owner) {
        flags = kind == 0 ? Qt::Window : (Qt::Tool | Qt::MSWindowsFixedSizeDialogHint);
        fixed = kind != 0;
    } else if (kind == 0) {
        child = true;
        parent = owner->client();
    } else {
        flags = Qt::Tool;
        parent = owner->widget();
        fixed = kind != 4;
        clientCoords = true;
    }
    if (!owner && !child && !(kind == 2 || kind == 3)) {
        // The first top-level window owns the others on the platform side.
        // Pop-ups (the splash) are passed over: they go away first.
        for (Window* w : topLevels()) {
            if (w->kind_ == 2 || w->kind_ == 3 || !w->widget()) continue;
            parent = w->widget();
            break;
        }
    }
    if (!owner) {
        topLevel_ = true;
        topLevels().push_back(this);
    }
    frame_ = new WindowWidget(this, parent, child ? Qt::Widget : flags);
    frame_->client_ = new ClientWidget(this, frame_);
    clientWidget_ = frame_->client_;
    frame_->setAttribute(Qt::WA_DeleteOnClose, false);
    if (fixed) frame_->setProperty("tavlinFixed", true);
    if (clientCoords && owner->client()) {
        QPoint g = owner->client()->mapToGlobal(QPoint(x, y));
        x = g.x();
        y = g.y();
    }
    frame_->move(x, y);
    // On a high-density screen the back buffer has a pixel for every device
    // pixel, so that text and lines are drawn sharp rather than enlarged.
    if (int32_t scale = ScaleForRatio(clientWidget_->devicePixelRatioF()); scale != canvas_->scale())
        canvas_ = std::make_unique<Canvas>(w, h, scale);
    ResizeClient(w, h);
    frame_->hide();
}

int32_t Window::ScaleForRatio(double ratio) {
    // Whole pixels per unit; a fractional ratio rounds up and Qt scales the
    // rest down smoothly.
    if (!(ratio > 1.0)) return 1;
    return std::clamp(int32_t(std::ceil(ratio - 0.01)), 1, 4);
}

Window::~Window() {
    Destroy();
    for (Control* c : controls_) c->parent_ = nullptr;
    controls_.clear();
    adopted_.clear();
}

bool Window::exists() const { return frame_ != nullptr; }
QWidget* Window::widget() const { return frame_; }
QWidget* Window::client() const { return clientWidget_; }

Window* Window::FromWidget(const QWidget* w) {
    for (; w; w = w->parentWidget()) {
        if (auto* c = dynamic_cast<const ClientWidget*>(w)) return c->window_;
        if (auto* f = dynamic_cast<const WindowWidget*>(w)) return f->window_;
    }
    return nullptr;
}

void Window::DrawCanvasStretched(int32_t x, int32_t y, int32_t w, int32_t h, const Canvas& canvas, int32_t sx,
                                 int32_t sy, int32_t sw, int32_t sh) {
    canvas_->StretchCanvas(x, y, w, h, canvas, sx, sy, sw, sh);
}

void Window::DrawCanvas(int32_t x, int32_t y, const Canvas& canvas) {
    canvas_->CopyCanvas(x, y, canvas, 0, 0, canvas.width(), canvas.height());
}

void Window::Clear() { canvas_->FillRect(0, 0, canvas_->width(), canvas_->height(), 0x808080); }

void Window::Message(const char* format, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    QMessageBox box(QMessageBox::NoIcon, "Message", QString::fromUtf8(buf), QMessageBox::Ok, frame_);
    box.exec();
}

void Window::RefreshRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (clientWidget_) clientWidget_->update(QRect(x, y, w, h));
}

void Window::Refresh() { RefreshRect(0, 0, canvas_->width(), canvas_->height()); }

void Window::SetTitle(const std::string& text) {
    if (frame_) frame_->setWindowTitle(QString::fromStdString(text));
}

void Window::OnKey(int32_t code) {
    if (code == 113 && !owner_) EndMainLoop();
}

// Qt grabs the mouse for the pressed button by itself.
void Window::OnLeftDown(int32_t, int32_t, int32_t) {}
void Window::OnLeftUp(int32_t, int32_t, int32_t) {}
void Window::OnMouseMove(int32_t, int32_t, int32_t) {}
void Window::OnRightDown(int32_t, int32_t, int32_t) {}
void Window::OnRightUp(int32_t, int32_t, int32_t) {}
void Window::OnSize(int32_t, int32_t) {}
void Window::OnClose() { Destroy(); }
void Window::OnControl(int32_t) {}
void Window::OnMenu(int32_t) {}
void Window::OnDropFile(const std::string&, int32_t, int32_t) {}

void Window::OnWheelModified(int32_t steps, int32_t x, int32_t y, int32_t) { OnWheel(steps, x, y); }

void Window::OnWheel(int32_t steps, int32_t x, int32_t y) {
    Control* under = ControlAt(x, y);
    if (under && under->OnWheel(steps)) return;
    for (Control* c : std::vector<Control*>(controls_)) {
        if (c == under || !c->IsVisible() || !c->IsEnabled()) continue;
        if (c->OnWheel(steps)) return;
    }
}

void Window::Show(bool flag) {
    if (!frame_) return;
    frame_->setVisible(flag);
    if (flag) {
        frame_->raise();
        frame_->activateWindow();
        if (topLevel_) {
            KeepOnScreen();
            // The window manager's frame is known a moment after showing.
            QPointer<QWidget> frame(frame_);
            QTimer::singleShot(100, frame_, [frame] {
                if (Window* w = FromWidget(frame.data())) w->KeepOnScreen();
            });
        }
    }
}

void Window::Move(int32_t x, int32_t y) {
    if (frame_) frame_->move(x, y);
}

void Window::ResizeClient(int32_t w, int32_t h) {
    if (!frame_) return;
    w = std::max(w, 1);
    h = std::max(h, 1);
    int32_t extra = frame_->barHeight() + frame_->statusHeight();
    bool fixed = frame_->property("tavlinFixed").toBool();
    if (topLevel_ && !fixed && frame_->isWindow()) {
        // Never larger than the screen's available area, frame included.
        if (QScreen* screen = screenOf(frame_)) {
            QRect avail = screen->availableGeometry();
            QMargins m = frameMarginsOf(frame_);
            w = std::max(1, std::min(w, avail.width() - m.left() - m.right()));
            h = std::max(1, std::min(h, avail.height() - m.top() - m.bottom() - extra));
        }
    }
    if (fixed)
        frame_->setFixedSize(w, h + extra);
    else
        frame_->resize(w, h + extra);
    frame_->layoutChildren();
    if (topLevel_) KeepOnScreen();
    // Qt delivers the resize of a hidden widget late; callers draw at once.
    // A minimum size may have kept the window larger than asked.
    RouteResize(frame_->width(), std::max(1, frame_->height() - extra));
}

void Window::KeepOnScreen() {
    if (!frame_ || !frame_->isWindow()) return;
    QScreen* screen = screenOf(frame_);
    if (!screen) return;
    QRect avail = screen->availableGeometry();
    QMargins m = frameMarginsOf(frame_);
    QRect outer = frame_->geometry().marginsAdded(m);
    // The frame may have turned out larger than guessed: a sizable window
    // shrinks to fit (ResizeClient comes back here).
    if (topLevel_ && !frame_->property("tavlinFixed").toBool() &&
        (outer.width() > avail.width() || outer.height() > avail.height()) && clientWidget_) {
        int32_t cw = clientWidget_->width(), ch = clientWidget_->height();
        int32_t fw = std::min(cw, avail.width() - m.left() - m.right());
        int32_t extra = frame_->barHeight() + frame_->statusHeight();
        int32_t fh = std::min(ch, avail.height() - m.top() - m.bottom() - extra);
        if (fw < cw || fh < ch) {
            ResizeClient(fw, fh);
            return;
        }
    }
    int32_t x = std::clamp(outer.x(), avail.left(), std::max(avail.left(), avail.right() + 1 - outer.width()));
    int32_t y = std::clamp(outer.y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - outer.height()));
    // Qt places a top-level window by its frame.
    if (x != outer.x() || y != outer.y()) frame_->move(x, y);
}

void Window::SetStatusText(const std::string& text) {
    if (!frame_) return;
    if (!frame_->status_) {
        int32_t cw = clientWidget_->width(), ch = clientWidget_->height();
        frame_->status_ = new QLabel(frame_);
        frame_->status_->setContentsMargins(6, 2, 6, 2);
        frame_->status_->setFrameShape(QFrame::StyledPanel);
        frame_->status_->setFrameShadow(QFrame::Sunken);
        frame_->status_->setText(QString::fromStdString(text));
        frame_->status_->show();
        ResizeClient(cw, ch);
        return;
    }
    frame_->status_->setText(QString::fromStdString(text));
}

std::string Window::statusText() const {
    return frame_ && frame_->status_ ? frame_->status_->text().toStdString() : std::string();
}

void Window::MoveResize(int32_t x, int32_t y, int32_t w, int32_t h) {
    Move(x, y);
    ResizeClient(w, h);
}

void Window::GetRect(int32_t* x, int32_t* y, int32_t* w, int32_t* h) const {
    QRect r;
    if (frame_) {
        r = frame_->frameGeometry();
        if (!frame_->isWindow() && frame_->parentWidget()) r.moveTopLeft(frame_->parentWidget()->mapToGlobal(r.topLeft()));
    }
    if (x) *x = r.x();
    if (y) *y = r.y();
    if (w) *w = r.width();
    if (h) *h = r.height();
}

void Window::Enable(bool flag) {
    enabled_ = flag;
    // The client and the menu only: owned windows are Qt children of the frame
    // and must stay usable while their owner waits.
    if (clientWidget_) clientWidget_->setEnabled(flag);
    if (menuBar_) menuBar_->setEnabled(flag);
}

void Window::CentreOnScreen() {
    if (!frame_) return;
    const QWidget* near = owner_ && owner_->widget() ? owner_->widget()->window() : nullptr;
    if (!near) {
        for (Window* w : topLevels())
            if (w != this && w->widget() && w->kind() != kPopupWindow && w->kind() != kPopupWindow2) {
                near = w->widget();
                break;
            }
    }
    QScreen* screen = near ? screenOf(near) : screenOf(frame_);
    if (!screen) return;
    QRect avail = screen->availableGeometry();
    QSize size = frame_->frameGeometry().size();
    frame_->move(avail.x() + (avail.width() - size.width()) / 2, avail.y() + (avail.height() - size.height()) / 2);
}

void Window::SetCursor(int32_t id) {
    if (!clientWidget_) return;
    const QCursor* c = CursorById(id);
    clientWidget_->setCursor(c ? *c : QCursor(Qt::BlankCursor));
}

void Window::SetMenu(Menu* menu) {
    if (!frame_) return;
    int32_t cw = clientWidget_->width(), ch = clientWidget_->height();
    if (menuBar_) {
        delete menuBar_;
        menuBar_ = nullptr;
        frame_->bar_ = nullptr;
        frame_->setMinimumSize(0, 0);
    }
    if (menu) {
        menuBar_ = menu->build(frame_);
        frame_->bar_ = menuBar_;
        if (menuBar_) {
            // Every command action, also those added to the menu later and
            // those fired by their shortcut, ends in OnMenu.
            auto* router = new MenuRouter(menuBar_);
            router->watch(menuBar_);
            menuBar_->show();
            // Narrower than its menu bar, the bar would fold its menus into "»".
            if (topLevel_ && kind_ == kMainWindow)
                frame_->setMinimumSize(std::max(menuBar_->sizeHint().width(), 240),
                                       menuBar_->sizeHint().height() + 160);
        }
    }
    ResizeClient(cw, ch);
}

Control* Window::ControlById(int32_t id) const {
    for (Control* c : controls_)
        if (c->id() == id) return c;
    return nullptr;
}

Control* Window::ControlAt(int32_t x, int32_t y) const {
    for (Control* c : controls_)
        if (c->IsVisible() && c->IsEnabled() && c->contains(x, y)) return c;
    return nullptr;
}

void Window::SetFocusControl(Control* control) {
    Control* old = focused_;
    focused_ = control;
    if (old && old != control) old->Redraw();
    if (control) {
        control->Redraw();
        if (QWidget* native = control->NativeHandle())
            native->setFocus(Qt::OtherFocusReason);
        else if (clientWidget_ && !clientWidget_->hasFocus() && clientWidget_->isVisible())
            clientWidget_->setFocus(Qt::OtherFocusReason);
    }
}

void Window::ShowControls() {
    for (Control* c : controls_)
        if (c->IsVisible()) c->Draw();
}

void Window::Destroy() {
    if (!frame_) return;
    WindowWidget* frame = frame_;
    detachPlatform();
    // Owned windows go with their owner, at once, as on every desktop.
    for (QWidget* child : frame->findChildren<QWidget*>()) {
        auto* owned = dynamic_cast<WindowWidget*>(child);
        if (Window* w = owned ? owned->window_ : nullptr) {
            w->detachPlatform();
            w->OnClose();
        }
    }
    frame->hide();
    // Deleted later, at the main loop's own level: this may run inside one of
    // the frame's event handlers.
    graveyard().push_back(frame);
}

void Window::detachPlatform() {
    if (frame_) frame_->window_ = nullptr;
    if (clientWidget_) clientWidget_->window_ = nullptr;
    frame_ = nullptr;
    clientWidget_ = nullptr;
    menuBar_ = nullptr;
    hovered_ = pressed_ = focused_ = nullptr;
    for (Control* c : controls_) c->detachNative();
    if (topLevel_) {
        auto& list = topLevels();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        topLevel_ = false;
        if (list.empty()) EndMainLoop();
    }
}

void Window::widgetGone() {
    // Qt deletes the frame (its parent went away); forget it before OnClose.
    detachPlatform();
    OnClose();
}

void Window::AdoptControl(Control* control) {
    if (control) adopted_.emplace_back(control);
}

void Window::addControl(Control* control) { controls_.push_back(control); }

void Window::removeControl(Control* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
    if (hovered_ == control) hovered_ = nullptr;
    if (pressed_ == control) pressed_ = nullptr;
    if (focused_ == control) focused_ = nullptr;
}

void Window::CycleFocus() {
    if (controls_.empty()) return;
    size_t n = controls_.size();
    size_t start = n - 1;
    for (size_t i = 0; i < n; ++i)
        if (controls_[i] == focused_) start = i;
    for (size_t k = 1; k <= n; ++k) {
        Control* c = controls_[(start + k) % n];
        if (c == focused_) break;
        if (c->IsVisible() && c->IsEnabled()) {
            SetFocusControl(c);
            // A field tabbed into is typed over, as everywhere on the desktop.
            if (auto* edit = qobject_cast<QLineEdit*>(c->NativeHandle())) edit->selectAll();
            return;
        }
    }
}

bool Window::hoverTrack(int32_t x, int32_t y) {
    Control* now = ControlAt(x, y);
    if (now != hovered_) {
        Control* old = hovered_;
        hovered_ = now;
        if (old) old->OnLeave(x - old->x(), y - old->y());
        if (now && hovered_ == now) now->OnEnter(x - now->x(), y - now->y());
    }
    if (!hovered_) return false;
    if (clientWidget_) SetCursor(hovered_->Cursor());
    hovered_->OnMouseMove(x - hovered_->x(), y - hovered_->y());
    return true;
}

bool Window::controlPress(int32_t x, int32_t y) {
    hoverTrack(x, y);
    Control* c = hovered_;
    if (c && c->IsVisible() && c->IsEnabled()) {
        pressed_ = c;
        if (focused_ != c) SetFocusControl(c);
        c->OnPress(x - c->x(), y - c->y());
        return true;
    }
    pressed_ = nullptr;
    if (focused_) SetFocusControl(nullptr);
    return false;
}

bool Window::controlRelease(int32_t x, int32_t y) {
    Control* c = pressed_;
    if (c && c->IsVisible() && c->IsEnabled()) {
        pressed_ = nullptr;
        c->OnRelease(x - c->x(), y - c->y(), c);
        return true;
    }
    return false;
}

void Window::RouteLeave() {
    if (!hovered_ || pressed_) return;
    Control* old = hovered_;
    hovered_ = nullptr;
    old->OnLeave(-1, -1);
}

void Window::RouteMouseMove(int32_t x, int32_t y, int32_t modifiers) {
    if (!hoverTrack(x, y)) OnMouseMove(x, y, modifiers);
}

void Window::RouteButton(bool left, bool down, int32_t x, int32_t y, int32_t modifiers) {
    if (down) {
        if (controlPress(x, y)) return;
        if (left)
            OnLeftDown(x, y, modifiers);
        else
            OnRightDown(x, y, modifiers);
    } else {
        if (controlRelease(x, y)) return;
        if (left)
            OnLeftUp(x, y, modifiers);
        else
            OnRightUp(x, y, modifiers);
    }
}

void Window::RouteKey(int32_t code) {
    if (code == Key::Tab && !controls_.empty()) {
        CycleFocus();
        return;
    }
    if (focused_ && focused_->OnKey(code)) return;
    OnKey(code);
}

void Window::RouteResize(int32_t w, int32_t h) {
    if (clientWidget_) {
        if (clientWidget_->routedW_ == w && clientWidget_->routedH_ == h) return;
        clientWidget_->routedW_ = w;
        clientWidget_->routedH_ = h;
    }
    // Grow only, keeping what was drawn: a shrink followed by a grow must not
    // lose the content that was merely hidden.
    if (w > canvas_->width() || h > canvas_->height())
        canvas_->Resize(std::max(w, canvas_->width()), std::max(h, canvas_->height()));
    OnSize(w, h);
}

void Window::RouteDrop(const std::vector<std::string>& paths, int32_t x, int32_t y) {
    for (const std::string& p : paths) OnDropFile(p, x, y);
}

void Window::RouteWheel(int32_t steps, int32_t x, int32_t y, int32_t modifiers) {
    OnWheelModified(steps, x, y, modifiers);
}

void Window::RouteNotification(Control* control, int32_t code) {
    if (!frame_ || !control) return;
    if (code == 0 || code == 1 || code == 0x400) OnControl(control->id());
}

ModalWindow::~ModalWindow() {
    auto& stack = modalStack();
    stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
}

void ModalWindow::enableOwnerAgain() {
    if (disabledOwner_ && owner()) owner()->Enable(true);
    disabledOwner_ = false;
}

void ModalWindow::OnClose() {
    enableOwnerAgain();
    Destroy();
    EndModal(-1);
}

void ModalWindow::OnKey(int32_t code) {
    if (code == Key::Escape) {
        OnClose();
    } else if (code == Key::Enter) {
        if (Control* button = DefaultButton()) RouteNotification(button, 0);
    }
}

Control* ModalWindow::DefaultButton() const {
    std::vector<Control*> buttons;
    for (Control* c : controls())
        if (c->IsVisible() && dynamic_cast<Button*>(c)) buttons.push_back(c);
    if (buttons.empty()) return nullptr;
    int32_t bottom = buttons.front()->y();
    for (Control* c : buttons) bottom = std::max(bottom, c->y());
    std::vector<Control*> row;
    for (Control* c : buttons)
        if (c->y() == bottom) row.push_back(c);
    // A button of that row that has the focus is the one meant; a "Browse"
    // next to a field that merely starts with the focus is not.
    for (Control* c : row)
        if (c == focusedControl() || (c->NativeHandle() && c->NativeHandle()->hasFocus()))
            return c->IsEnabled() ? c : nullptr;
    std::sort(row.begin(), row.end(), [](Control* a, Control* b) { return a->x() < b->x(); });
    Control* chosen = row.size() == 1 ? row[0] : row[row.size() - 2];
    return chosen->IsEnabled() ? chosen : nullptr;
}

int32_t ModalWindow::RunModal() {
    if (owner() && owner()->IsEnabled()) {
        owner()->Enable(false);
        disabledOwner_ = true;
    }
    Show(true);
    running_ = true;
    modalStack().push_back(this);
    while (running_ && exists()) PumpOnce(this);
    auto& stack = modalStack();
    stack.erase(std::remove(stack.begin(), stack.end(), this), stack.end());
    if (running_) {
        // Destroyed without an answer counts as closed.
        running_ = false;
        result_ = -1;
    }
    enableOwnerAgain();
    return result_;
}

ModalWindow* ModalWindow::Innermost() { return modalStack().empty() ? nullptr : modalStack().back(); }

size_t ModalWindow::Running() { return modalStack().size(); }

void ModalWindow::EndModal(int32_t result) {
    result_ = result;
    running_ = false;
}

}  // namespace tavlin
