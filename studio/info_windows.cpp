#include "studio/info_windows.h"

#include <algorithm>

#include <QWidget>

#include "document/media_object.h"
#include "studio/event_info_window.h"
#include "studio/object_info_window.h"

namespace tavlin {

InfoWindows::InfoWindows(Window& owner, EditorView& view) : owner_(owner), view_(view) {}

InfoWindows::~InfoWindows() {
    for (auto& w : objects_)
        if (w) w->Destroy();
    for (auto& w : events_)
        if (w) w->Destroy();
}

ObjectInfoWindow* InfoWindows::objectWindow(int32_t kind) {
    if (kind < 0 || kind >= int32_t(objects_.size())) return nullptr;
    auto& slot = objects_[size_t(kind)];
    if (!slot || !slot->exists()) {
        if (shown_ == slot.get()) shown_ = nullptr;
        slot = std::make_unique<ObjectInfoWindow>(&owner_, view_, kind);
    }
    return slot.get();
}

EventInfoWindow* InfoWindows::eventWindow(int32_t kind) {
    if (kind < 0 || kind >= kEventKinds) return nullptr;
    auto& slot = events_[size_t(kind)];
    if (!slot || !slot->exists()) {
        if (shown_ == slot.get()) shown_ = nullptr;
        slot = std::make_unique<EventInfoWindow>(&owner_, view_, kind);
    }
    return slot.get();
}

void InfoWindows::present(InfoPanel& panel) {
    if (shown_ && shown_ != &panel && shown_->exists()) shown_->Show(false);
    bool fresh = shown_ != &panel || !panel.widget() || !panel.widget()->isVisible();
    shown_ = &panel;
    if (fresh) {
        // Beside the main window's right edge, tops aligned.
        int32_t mx = 0, my = 0, mw = 0;
        owner_.GetRect(&mx, &my, &mw, nullptr);
        panel.Move(mx + mw, my);
    }
    // Shown without taking the keyboard from the stage or the timeline, where
    // the author is still at work.
    if (QWidget* frame = panel.widget()) {
        frame->setAttribute(Qt::WA_ShowWithoutActivating);
        frame->setVisible(true);
        frame->raise();
    }
    panel.Refresh();
}

void InfoWindows::showObject(MediaObject& object) {
    // What was typed for the one shown before is not lost by moving on.
    if (shown_ && shown_->exists()) shown_->store();
    ObjectInfoWindow* w = objectWindow(object.kind());
    if (!w) return;
    w->setTarget(&object);
    present(*w);
}

void InfoWindows::showEvent(Event& event) {
    if (shown_ && shown_->exists()) shown_->store();
    EventInfoWindow* w = eventWindow(event.kind());
    if (!w) return;
    w->setTarget(&event);
    present(*w);
}

void InfoWindows::refresh() {
    if (shown_ && shown_->exists()) shown_->load();
}

void InfoWindows::hide() {
    if (!shown_ || !shown_->exists()) return;
    shown_->store();
    shown_->dropTarget();
    shown_->Show(false);
    shown_ = nullptr;
}

void InfoWindows::close() {
    if (!shown_) return;
    shown_->dropTarget();
    if (shown_->exists()) shown_->Show(false);
    shown_ = nullptr;
}

const Event* InfoWindows::shownEvent() const {
    auto* w = dynamic_cast<EventInfoWindow*>(shown_);
    return w ? w->target() : nullptr;
}

}  // namespace tavlin
