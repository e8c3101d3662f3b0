#include "studio/toolbox_window.h"

#include "studio/main_window.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <chrono>

#include "base/paths.h"
#include "document/document.h"
#include "media/media_registry.h"
#include "editor/editor_tools.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "canvas/canvas.h"

namespace tavlin {

namespace {

struct ButtonInfo {
    const char* picture;
    const char* hint;
};

constexpr ButtonInfo kButtons[ToolboxWindow::kButtonCount] = {
    {"bplaymode.png", "hint_bplaymode"},     {"beditmode.png", "hint_beditmode"},
    {"binsvideo.png", "hint_binsvideo"},     {"binsimage.png", "hint_binsimage"},
    {"bdrawplaybtn.png", "hint_bdrawplaybtn"}, {"bdrawbtn.png", "hint_bdrawbtn"},
    {"bsetin.png", "hint_bsetin"},           {"bsetout.png", "hint_bsetout"},
    {"bdrawpath.png", "hint_bdrawpath"},     {"bdrawoval.png", "hint_bdrawoval"},
    {"bdrawvline.png", "hint_bdrawvline"},   {"bdrawhline.png", "hint_bdrawhline"},
    {"bflippath.png", "hint_bflippath"},
};

// Buttons whose tool the editor's active tool can be.
constexpr int32_t kDrawingButtons[] = {kDrawPlayButtonButton, kDrawPathButton,         kDrawJumpButtonButton,
                                       kDrawOvalButton,       kDrawVerticalLineButton, kDrawHorizontalLineButton};

constexpr uint32_t kPressedFace = 0xFFFFFF;
constexpr uint32_t kHighlight = 0xFFFFFF;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kFrame = 0x000000;
constexpr int32_t kHintMargin = 2;
constexpr int32_t kHintOffset = 10;

// A washed-out copy of a picture, so a button without an action reads as off.
std::unique_ptr<Image> greyedCopy(const Image& src) {
    auto out = std::make_unique<Image>(src);
    for (uint32_t& px : out->pixels) {
        uint32_t r = px >> 16 & 0xFF, g = px >> 8 & 0xFF, b = px & 0xFF;
        uint32_t lum = (r * 30 + g * 59 + b * 11) / 100;
        uint32_t v = (lum + 2 * (ToolboxWindow::kBackground & 0xFF)) / 3;
        px = (px & 0xFF000000u) | v << 16 | v << 8 | v;
    }
    return out;
}

// Tells the tool box when the pointer leaves it; the window routing has no
// such operation for windows without controls.
class LeaveWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* ev) override {
        if (ev->type() == QEvent::Leave) {
            auto* box = dynamic_cast<ToolboxWindow*>(Window::FromWidget(qobject_cast<QWidget*>(watched)));
            if (box) box->PointerLeft();
        }
        return false;
    }
};

}  // namespace

const char* ToolboxWindow::ButtonPicture(int32_t index) {
    return index >= 0 && index < kButtonCount ? kButtons[index].picture : "";
}

const char* ToolboxWindow::ButtonHint(int32_t index) {
    return index >= 0 && index < kButtonCount ? kButtons[index].hint : "";
}

void ToolboxWindow::ButtonOrigin(int32_t index, int32_t* x, int32_t* y) {
    int32_t row = index / 2;
    // Three groups: the modes; inserting and buttons; in and out points and paths.
    int32_t gap = (row >= 1 ? 4 : 0) + (row >= 3 ? 4 : 0);
    if (x) *x = 1 + 25 * (index % 2);
    if (y) *y = 1 + 21 * row + gap;
}

int32_t ToolboxWindow::ButtonAt(int32_t x, int32_t y) {
    for (int32_t i = 0; i < kButtonCount; ++i) {
        int32_t bx = 0, by = 0;
        ButtonOrigin(i, &bx, &by);
        if (x >= bx && x < bx + kButtonWidth && y >= by && y < by + kButtonHeight) return i;
    }
    return -1;
}

bool ToolboxWindow::ButtonAvailable(int32_t index) { return index >= 0 && index < kButtonCount; }

std::unique_ptr<ToolboxWindow> ToolboxWindow::Create(Window* owner, EditorView& view, int32_t x, int32_t y) {
    std::array<const Image*, kButtonCount> pictures{};
    for (int32_t i = 0; i < kButtonCount; ++i) {
        pictures[size_t(i)] = resources().Image(kButtons[i].picture);
        if (!pictures[size_t(i)] || pictures[size_t(i)]->empty()) {
            ShowMessage("%s", resources().StringCopy("e_no_button").c_str());
            return nullptr;
        }
    }
    return std::unique_ptr<ToolboxWindow>(new ToolboxWindow(owner, view, x, y, pictures));
}

ToolboxWindow::ToolboxWindow(Window* owner, EditorView& view, int32_t x, int32_t y,
                             std::array<const Image*, kButtonCount> pictures)
    : Window(owner, x, y, kClientWidth, kClientHeight, kToolWindow), view_(view), pictures_(pictures) {
    for (int32_t i = 0; i < kButtonCount; ++i) {
        greyed_[size_t(i)] = greyedCopy(*pictures_[size_t(i)]);
        if (canvas()->scale() < 2) continue;
        // "name@2x.png" beside "name.png"; without it the plain picture is enlarged.
        std::string name = kButtons[i].picture;
        name.insert(name.size() - 4, "@2x");
        auto doubled = readImage(joinPath(resources().Path(), name));
        const Image& plain = *pictures_[size_t(i)];
        if (!doubled || doubled->width != 2 * plain.width || doubled->height != 2 * plain.height) continue;
        doubledGreyed_[size_t(i)] = greyedCopy(*doubled);
        doubled_[size_t(i)] = std::move(doubled);
    }
    clock_ = [] {
        return int64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count());
    };
    SetTitle(resources().StringCopy("toolbox"));
    if (QWidget* c = client()) {
        leaveWatch_ = new LeaveWatch(c);
        c->installEventFilter(leaveWatch_);
    }
    Redraw();
}

ToolboxWindow::~ToolboxWindow() = default;

void ToolboxWindow::SetClock(std::function<int64_t()> clock) {
    if (clock) clock_ = std::move(clock);
}

int64_t ToolboxWindow::now() const { return clock_(); }

bool ToolboxWindow::DrawnPressed(int32_t index) const {
    if (index < 0 || index >= kButtonCount) return false;
    if (index == held_ && heldInside_) return true;
    Document* doc = view_.document();
    if (!doc || !doc->editMode) return index == kPlayModeButton;
    if (index == kEditModeButton) return true;
    Tool* active = view_.activeTool();
    for (int32_t b : kDrawingButtons)
        if (b == index) return active && editorTool(b) == active;
    return false;
}

const char* ToolboxWindow::WhyGreyed(int32_t index) const {
    if (!ButtonAvailable(index)) return "";
    const Document* doc = view_.document();
    if (!doc) return "greyed_no_document";
    if (index == kFlipPathButton) {
        for (const auto& o : doc->objects)
            if (o->selected && o->kind() == kDragPath) return "";
        return "greyed_no_path_selected";
    }
    return "";
}

std::string ToolboxWindow::HintFor(int32_t index) const {
    std::string hint = resources().StringCopy(ButtonHint(index));
    const char* why = WhyGreyed(index);
    if (*why) hint += " (" + resources().StringCopy(why) + ")";
    return hint;
}

void ToolboxWindow::drawButton(int32_t index) {
    Canvas& back = *canvas();
    int32_t x = 0, y = 0;
    ButtonOrigin(index, &x, &y);
    const bool greyed = *WhyGreyed(index) != 0;
    const Image& plain = *pictures_[size_t(index)];
    const Image* picture = greyed ? greyed_[size_t(index)].get() : &plain;
    if (back.scale() == 2 && doubled_[size_t(index)])
        picture = greyed ? doubledGreyed_[size_t(index)].get() : doubled_[size_t(index)].get();
    // Placed by the plain picture's size in units, whatever its pixels.
    const int32_t pw = plain.width, ph = plain.height;
    const int32_t w = kButtonWidth, h = kButtonHeight;
    if (DrawnPressed(index) && !greyed) {
        back.FillRect(x, y, w, h, kPressedFace);
        back.DrawImage(x + 1, y + 1, pw, ph, *picture);
        back.Line(x, y, x + w - 1, y, kFrame);
        back.Line(x, y, x, y + h - 1, kFrame);
    } else {
        back.FillRect(x, y, w, h, kBackground);
        back.DrawImage(x, y, pw, ph, *picture);
        back.Line(x, y, x + w - 1, y, kHighlight);
        back.Line(x, y, x, y + h - 1, kHighlight);
        back.Line(x, y + h - 1, x + w - 1, y + h - 1, kShadow);
        back.Line(x + w - 1, y, x + w - 1, y + h - 1, kShadow);
    }
    // Last, so a picture shifted into the frame's line never covers it.
    back.FrameRect(x - 1, y - 1, w + 2, h + 2, kFrame);
}

void ToolboxWindow::Redraw() {
    Canvas* back = canvas();
    if (!back) return;
    back->FillRect(0, 0, back->width(), back->height(), kBackground);
    for (int32_t i = 0; i < kButtonCount; ++i) drawButton(i);
    // The cell after the last button is a hole in the tray, not a blank button.
    int32_t x = 0, y = 0;
    ButtonOrigin(kButtonCount, &x, &y);
    back->FillRect(x, y, kClientWidth - x, kClientHeight - y, kEmptyCell);
    Refresh();
}

void ToolboxWindow::OnLeftDown(int32_t x, int32_t y, int32_t) {
    hideHint();
    hintDone_ = true;  // no hint again until the pointer moves
    int32_t button = ButtonAt(x, y);
    // A greyed button takes no press; its hint says why.
    if (!ButtonAvailable(button) || *WhyGreyed(button)) return;
    held_ = button;
    heldInside_ = true;
    Redraw();
}

void ToolboxWindow::OnMouseMove(int32_t x, int32_t y, int32_t) {
    int32_t button = ButtonAt(x, y);
    int32_t sx = x, sy = y;
    if (QWidget* c = client()) {
        QPoint g = c->mapToGlobal(QPoint(x, y));
        sx = g.x();
        sy = g.y();
    }
    // Repeated reports of an unmoved pointer do not restart the rest.
    if (button != resting_ || sx != restX_ || sy != restY_) {
        hideHint();
        resting_ = button;
        restX_ = sx;
        restY_ = sy;
        restSince_ = now();
        hintDone_ = false;
    }
    if (held_ >= 0) {
        bool inside = button == held_;
        if (inside != heldInside_) {
            heldInside_ = inside;
            Redraw();
        }
    }
}

void ToolboxWindow::OnLeftUp(int32_t x, int32_t y, int32_t) {
    int32_t held = held_;
    held_ = -1;
    heldInside_ = false;
    // Released elsewhere: the press is taken back.
    if (held >= 0 && ButtonAt(x, y) == held) {
        // Inserting media is the main window's import command.
        auto* main = dynamic_cast<MainWindow*>(&view_);
        if (main && held == kInsertVideoButton)
            main->Command(kCmdImportVideo);
        else if (main && held == kInsertImageButton)
            main->Command(kCmdImportImage);
        else
            toolboxCommand(view_, held);
    }
    // The command may have closed this window along with its owner.
    if (exists()) Redraw();
}

void ToolboxWindow::OnKey(int32_t code) {
    // Keys go where the main window's would; not while it waits for a dialog.
    if (owner() && owner()->exists() && owner()->IsEnabled()) owner()->OnKey(code);
}

void ToolboxWindow::OnClose() {
    hideHint();
    held_ = -1;
    heldInside_ = false;
    Show(false);
}

void ToolboxWindow::PointerLeft() {
    hideHint();
    resting_ = -1;
    hintDone_ = true;
}

bool ToolboxWindow::hintShown() const { return hint_ && hint_->widget() && hint_->widget()->isVisible(); }

void ToolboxWindow::hideHint() {
    if (hint_ && hint_->widget()) hint_->widget()->hide();
}

void ToolboxWindow::Idle() {
    if (!exists() || hintDone_ || resting_ < 0 || held_ >= 0) return;
    if (widget() && !widget()->isVisible()) return;
    if (now() - restSince_ < kHintDelayMs) return;
    hintDone_ = true;
    showHint(resting_);
}

void ToolboxWindow::showHint(int32_t button) {
    hintText_ = HintFor(button);
    if (!hint_ || !hint_->exists()) {
        hint_ = std::make_unique<Window>(this, restX_, restY_, 1, 1, kPopupWindow);
        // A hint must not take the keyboard from the window being worked in.
        if (QWidget* w = hint_->widget()) {
            w->setAttribute(Qt::WA_ShowWithoutActivating);
            w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
        }
    }
    Canvas* back = hint_->canvas();
    if (JapaneseLocale())
        back->SelectFont(DefaultFont());
    else
        back->SelectFont(GetFont("Arial", 0, 13));
    Point size = back->MeasureText(hintText_);
    int32_t w = size.x + 2 * kHintMargin + 2, h = size.y + 2 * kHintMargin + 2;
    hint_->MoveResize(restX_ + kHintOffset, restY_, w, h);
    back = hint_->canvas();
    back->FillRect(0, 0, back->width(), back->height(), 0xFFFFFF);
    back->FrameRect(0, 0, w, h, 0x000000);
    back->DrawText(1 + kHintMargin, 1 + kHintMargin, size.x + 1, size.y, hintText_, 0x000000);
    hint_->Refresh();
    if (QWidget* frame = hint_->widget()) frame->show();
}

}  // namespace tavlin
