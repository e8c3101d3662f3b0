// Controls drawn by the program into the parent's back buffer.

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

#include "canvas/canvas.h"
#include "core/key_codes.h"
#include "ui/control.h"
#include "ui/window.h"

namespace tavlin {

namespace {

// Draws `image` scaled to w x h at (x + dx, y + dy), clipped to the rectangle
// (x, y, w, h), with the binary transparency of Canvas::DrawImage.
void drawShifted(Canvas& canvas, const Image& image, int32_t x, int32_t y, int32_t w, int32_t h, int32_t dx,
                 int32_t dy) {
    if (image.empty() || w <= 0 || h <= 0) return;
    // In pixels of the back buffer.
    const int32_t s = canvas.scale();
    x *= s, y *= s, w *= s, h *= s, dx *= s, dy *= s;
    std::unique_ptr<Image> scaled;
    const Image* src = &image;
    if (image.width != w || image.height != h) {
        scaled = scaleAveraged(image, w, h);
        src = scaled.get();
    }
    bool keyed = image.transparent || src->transparent;
    Image& dst = canvas.image();
    for (int32_t yy = 0; yy + dy < h; ++yy) {
        int32_t ty = y + dy + yy;
        if (ty < 0 || ty >= dst.height) continue;
        for (int32_t xx = 0; xx + dx < w; ++xx) {
            int32_t tx = x + dx + xx;
            if (tx < 0 || tx >= dst.width) continue;
            uint32_t p = src->at(xx, yy);
            if (keyed && (p >> 24) == 0) continue;
            dst.at(tx, ty) = p | 0xFF000000u;
        }
    }
}

}  // namespace

ImageButton::ImageButton(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id)
    : Control(parent, x, y, w, h, id) {}

ImageButton::~ImageButton() { freeOwned(); }

void ImageButton::freeOwned() {
    if (owned_ & kOwnNormal) delete normal_;
    if (owned_ & kOwnPressed) delete pressed_;
    if (owned_ & kOwnRollover) delete rollover_;
    if (owned_ & kOwnDisabled) delete disabled_;
    owned_ = 0;
}

void ImageButton::SetImages(const Image* normal, const Image* pressed, const Image* rollover, const Image* disabled,
                            int32_t owned) {
    freeOwned();
    normal_ = normal;
    pressed_ = pressed;
    rollover_ = rollover;
    disabled_ = disabled;
    owned_ = owned;
}

void ImageButton::Paint(Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return;
    if (!background_) {
        // Kept at the back buffer's own density.
        const int32_t s = canvas.scale();
        background_ = std::make_unique<Image>(w * s, h * s);
        const Image& src = canvas.image();
        for (int32_t yy = 0; yy < h * s; ++yy)
            for (int32_t xx = 0; xx < w * s; ++xx)
                if (src.contains(x * s + xx, y * s + yy)) background_->at(xx, yy) = src.at(x * s + xx, y * s + yy);
    }
    canvas.DrawImage(x, y, w, h, *background_);
    if (!normal_) {
        canvas.FillFace(x, y, w, h);
        canvas.FrameRect(x, y, w, h, 0x808080);
        return;
    }
    if (!IsEnabled()) {
        if (disabled_) canvas.DrawImage(x, y, w, h, *disabled_);
        return;
    }
    bool hovered = parent() && parent()->hoveredControl() == this;
    bool pressed = parent() && parent()->pressedControl() == this;
    if (hovered && !pressed) {
        canvas.DrawImage(x, y, w, h, rollover_ ? *rollover_ : *normal_);
    } else if (hovered && pressed) {
        if (pressed_)
            canvas.DrawImage(x, y, w, h, *pressed_);
        else
            drawShifted(canvas, *normal_, x, y, w, h, 2, 2);
    } else {
        canvas.DrawImage(x, y, w, h, *normal_);
    }
}

bool ImageButton::OnKey(int32_t code) {
    if (code != 32 && code != 13) return false;
    Window* p = parent();
    if (!p) return true;
    if (Canvas* c = p->canvas()) c->FrameRect(x() + 1, y() + 1, width() - 2, height() - 2, 0x606060);
    p->RefreshRect(x(), y(), width(), height());
    p->OnControl(id());
    Redraw();
    return true;
}

bool ImageButton::OnMouseMove(int32_t, int32_t) { return true; }

bool ImageButton::OnPress(int32_t, int32_t) {
    Redraw();
    return true;
}

bool ImageButton::OnRelease(int32_t, int32_t, Control* control) {
    Redraw();
    // A press released outside the button does nothing.
    if (parent() && parent()->hoveredControl() == this && control == this) parent()->OnControl(id());
    return true;
}

void ImageButton::OnEnter(int32_t, int32_t) { Redraw(); }
void ImageButton::OnLeave(int32_t, int32_t) { Redraw(); }

Slider::Slider(Window* parent, int32_t x, int32_t y, int32_t w, int32_t h, int32_t id, bool horizontal)
    : Control(parent, x, y, w, h, id), horizontal_(horizontal) {}

int32_t Slider::length() const { return horizontal_ ? width() : height(); }

void Slider::SetRange(int32_t minimum, int32_t maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void Slider::SetPosition(int32_t position) { position_ = std::clamp(position, minimum_, maximum_); }

void Slider::SetProportion(double proportion) { proportion_ = std::clamp(proportion, 0.0, 1.0); }

void Slider::changed(bool tracking) {
    tracking_ = tracking;
    if (parent()) parent()->OnControl(id());
    Redraw();
}

void Slider::Paint(Canvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h) {
    canvas.FillRect(x, y, w, h, 0xE0E0E0);
    if (!IsEnabled() || maximum_ == minimum_) {
        // A bar that cannot scroll looks disabled the way the desktop draws it.
        if (QApplication::style() && w > 0 && h > 0) {
            QImage target = canvas.qimage();
            QPainter painter(&target);
            // Styles draw scroll bars in their own coordinates, from (0, 0).
            painter.translate(x, y);
            QStyleOptionSlider option;
            option.rect = QRect(0, 0, w, h);
            option.orientation = horizontal_ ? Qt::Horizontal : Qt::Vertical;
            option.minimum = option.maximum = 0;
            option.pageStep = 1;
            option.state = QStyle::State_None | (horizontal_ ? QStyle::State_Horizontal : QStyle::State_None);
            option.palette = QApplication::palette();
            option.palette.setCurrentColorGroup(QPalette::Disabled);
            option.subControls = QStyle::SC_All;
            QApplication::style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter);
        }
        return;
    }
    canvas.FrameRect(x, y, w, h, hasFocus() ? 0x000000 : 0xC0C0C0);
    int32_t len = horizontal_ ? w : h;
    int32_t t = std::max(8, int32_t(len * proportion_));
    int32_t off = int32_t(int64_t(position_ - int64_t(minimum_)) * (len - t) / (int64_t(maximum_) - minimum_));
    int32_t tx, ty, tw, th;
    if (horizontal_) {
        tx = x + off, ty = y + 1, tw = t, th = h - 2;
    } else {
        tx = x + 1, ty = y + off, tw = w - 2, th = t;
    }
    if (tw <= 0 || th <= 0) return;
    bool hovered = parent() && parent()->hoveredControl() == this;
    canvas.FillRect(tx, ty, tw, th, hovered ? 0xE0E0E0 : 0xC0C0C0);
    // Raised edge: light top and left, dark bottom and right.
    canvas.FillRect(tx, ty, tw, 1, 0xFFFFFF);
    canvas.FillRect(tx, ty, 1, th, 0xFFFFFF);
    canvas.FillRect(tx, ty + th - 1, tw, 1, 0x000000);
    canvas.FillRect(tx + tw - 1, ty, 1, th, 0x000000);
    if (tw > 2 && th > 2) {
        canvas.FillRect(tx + 1, ty + th - 2, tw - 2, 1, 0x808080);
        canvas.FillRect(tx + tw - 2, ty + 1, 1, th - 2, 0x808080);
    }
}

bool Slider::OnKey(int32_t code) {
    int32_t before = position_;
    if (code == Key::Left || code == Key::Up) {
        if (position_ > minimum_) --position_;
    } else if (code == Key::Right || code == Key::Down) {
        if (position_ < maximum_) ++position_;
    } else {
        return false;
    }
    if (position_ != before) changed(false);
    return true;
}

bool Slider::OnMouseMove(int32_t x, int32_t y) {
    if (!parent() || parent()->pressedControl() != this) return true;
    int32_t p = horizontal_ ? x : y;
    int32_t len = length();
    int32_t t = int32_t(len * proportion_);
    if (len > t) {
        int64_t pos = minimum_ + (int64_t(p) - t / 2) * (int64_t(maximum_) - minimum_ + 1) / (len - t);
        position_ = int32_t(std::clamp<int64_t>(pos, minimum_, maximum_));
        changed(true);
    }
    return true;
}

bool Slider::OnPress(int32_t x, int32_t y) {
    OnMouseMove(x, y);
    return true;
}

bool Slider::OnRelease(int32_t, int32_t, Control* control) {
    if (control == this) {
        tracking_ = false;
        if (parent()) parent()->OnControl(id());
    }
    Redraw();
    return true;
}

void Slider::OnEnter(int32_t, int32_t) { Redraw(); }
void Slider::OnLeave(int32_t, int32_t) { Redraw(); }

bool Slider::OnWheel(int32_t steps) {
    position_ = int32_t(std::clamp<int64_t>(int64_t(position_) - steps, minimum_, maximum_));
    changed(true);
    return true;
}

}  // namespace tavlin
