#include "ui/control.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include "core/prompts.h"
#include "canvas/canvas.h"
#include "ui/window.h"

namespace tavlin {

Control::Control(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id)
    : parent_(parent), x_(x), y_(y), w_(w), h_(h), id_(id) {
    if (parent_) parent_->addControl(this);
}

Control::~Control() {
    if (parent_) parent_->removeControl(this);
}

void Control::Move(int32_t x, int32_t y) {
    x_ = x;
    y_ = y;
}

void Control::Resize(int32_t w, int32_t h) {
    w_ = w;
    h_ = h;
}

void Control::SetRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    Control::Move(x, y);
    Control::Resize(w, h);
}

void Control::Enable(bool flag) { enabled_ = flag; }
bool Control::IsEnabled() const { return enabled_; }
void Control::Show(bool flag) { visible_ = flag; }
bool Control::IsVisible() const { return visible_; }

void Control::Draw() {
    if (!parent_ || !visible_) return;
    if (Canvas* c = parent_->canvas()) Paint(*c, x_, y_, w_, h_);
}

void Control::Redraw() {
    Draw();
    if (parent_) parent_->RefreshRect(x_, y_, w_, h_);
}

QWidget* Control::NativeHandle() const { return nullptr; }
bool Control::OnWheel(int32_t) { return false; }
bool Control::hasFocus() const { return parent_ && parent_->focusedControl() == this; }

// The Qt widget of a native control; it also tells the parent window when Qt
// moves the keyboard focus into the widget, so that Tab continues from there.
struct NativeControl::Handle : QObject {
    explicit Handle(NativeControl* owner) : owner(owner) {}
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (ev->type() == QEvent::FocusIn && obj == widget.data()) {
            Window* w = owner->parent();
            if (w && w->focusedControl() != owner) w->SetFocusControl(owner);
        }
        return false;
    }
    NativeControl* owner;
    QPointer<QWidget> widget;
};

NativeControl::NativeControl(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id)
    : Control(parent, x, y, w, h, id), handle_(std::make_unique<Handle>(this)) {}

NativeControl::~NativeControl() { detachNative(); }

void NativeControl::attach(QWidget* widget, const char* failure) {
    if (!widget) {
        ShowMessage("%s", failure);
        return;
    }
    handle_->widget = widget;
    widget->installEventFilter(handle_.get());
    Canvas probe(1, 1);
    widget->setFont(probe.font());
    widget->setGeometry(x(), y(), width(), height());
    widget->setVisible(IsVisible());
    widget->setEnabled(IsEnabled());
}

void NativeControl::notify(int32_t code) {
    if (parent()) parent()->RouteNotification(this, code);
}

void NativeControl::detachNative() {
    if (handle_ && handle_->widget) {
        QWidget* w = handle_->widget.data();
        handle_->widget = nullptr;
        w->removeEventFilter(handle_.get());
        w->disconnect();
        w->hide();
        w->deleteLater();
    }
}

QWidget* NativeControl::NativeHandle() const { return handle_ ? handle_->widget.data() : nullptr; }

void NativeControl::Move(int32_t x, int32_t y) {
    Control::Move(x, y);
    if (QWidget* w = NativeHandle()) w->move(x, y);
}

void NativeControl::Resize(int32_t w, int32_t h) {
    Control::Resize(w, h);
    if (QWidget* q = NativeHandle()) q->resize(w, h);
}

void NativeControl::SetRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    Control::SetRect(x, y, w, h);
    if (QWidget* q = NativeHandle()) q->setGeometry(x, y, w, h);
}

void NativeControl::Enable(bool flag) {
    Control::Enable(flag);
    if (QWidget* q = NativeHandle()) q->setEnabled(flag);
}

void NativeControl::Show(bool flag) {
    Control::Show(flag);
    if (QWidget* q = NativeHandle()) q->setVisible(flag);
}

}  // namespace tavlin
