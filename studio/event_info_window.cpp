#include "studio/event_info_window.h"

#include <algorithm>

#include "base/numbers.h"
#include "core/settings.h"
#include "document/document.h"
#include "document/event.h"
#include "document/media_resource.h"
#include "document/text_limits.h"
#include "studio/info_controls.h"
#include "ui/control.h"

namespace tavlin {

using namespace info;

namespace {

const char* dialogOf(int32_t kind) {
    static const char* const names[kEventKinds] = {"infoplay", "infojump", "infosound", "infolink", "infoparam"};
    return names[std::clamp(kind, 0, kEventKinds - 1)];
}

}  // namespace

const char* const EventInfoWindow::kWindowNames[8] = {"",     "user",   "_self",      "_parent",
                                                      "_top", "_blank", "javascript", "load"};

EventInfoWindow::EventInfoWindow(Window* owner, EditorView& view, int32_t kind)
    : InfoPanel(owner, view, dialogOf(kind)), kind_(kind) {
    if (kind_ == kLinkEvent)
        if (auto* list = dynamic_cast<ListBox*>(ControlById(kWindowSuggestions)))
            for (const char* name : kWindowNames) list->AddString(name);
    if (kind_ == kSoundEvent)
        if (auto* box = dynamic_cast<Button*>(ControlById(kSoundBox))) noSoundLabel_ = box->label();
}

void EventInfoWindow::setTarget(Event* event) {
    event_ = event && event->kind() == kind_ ? event : nullptr;
    load();
}

Event* EventInfoWindow::target() const {
    Document* doc = document();
    if (!doc || !event_) return nullptr;
    for (const auto& e : doc->events)
        if (e.get() == event_) return event_;
    return nullptr;
}

bool EventInfoWindow::isText(int32_t id) const {
    return id == kWait || ((kind_ == kLinkEvent || kind_ == kParamEvent) && id == kAddress) ||
           (kind_ == kLinkEvent && id == kWindowName);
}

bool EventInfoWindow::storeFields() {
    Event* e = target();
    if (!e) return false;
    bool any = false;
    int32_t wait = std::max(number(kWait), 0);
    if (wait != e->wait) any = true;
    visitEvent(
        *e, [](PlayEvent&) {}, [](JumpEvent&) {}, [](SoundEvent&) {},
        [&](LinkEvent& l) {
            any = any || fitText(text(kAddress), kLongTextLimit) != l.address ||
                  fitText(text(kWindowName), kLinkTargetLimit) != l.target;
        },
        [&](ParamEvent& p) { any = any || fitText(text(kParamText), kLongTextLimit) != p.text; });
    if (!any) return false;
    for (int32_t id : {int32_t(kWait), int32_t(kAddress), int32_t(kWindowName)})
        if (isText(id)) applyText(id);
    return true;
}

void EventInfoWindow::applyText(int32_t id) {
    Event* e = target();
    if (!e) return;
    if (id == kWait) {
        int32_t wait = std::max(number(kWait), 0);
        // New events start with the wait typed last.
        settings().Set("def_wtime", std::to_string(wait));
        if (wait == e->wait) return;
        beginTyping();
        e->wait = wait;
        changed();
        return;
    }
    std::string* field = nullptr;
    size_t limit = kLongTextLimit;
    visitEvent(
        *e, [](PlayEvent&) {}, [](JumpEvent&) {}, [](SoundEvent&) {},
        [&](LinkEvent& l) {
            field = id == kAddress ? &l.address : &l.target;
            if (id == kWindowName) limit = kLinkTargetLimit;
        },
        [&](ParamEvent& p) { field = &p.text; });
    if (!field) return;
    std::string typed = text(id);
    std::string kept = fitText(typed, limit);
    // A text beyond what the content can carry is cut where it is typed.
    if (kept != typed) setText(id, kept);
    if (kept == *field) return;
    beginTyping();
    *field = kept;
    changed();
}

void EventInfoWindow::loadFields() {
    Event* e = target();
    if (!e) return;
    setNumber(kWait, e->wait);
    visitEvent(
        *e, [&](PlayEvent& p) { setChecked(kInterruptible, p.interruptible != 0); },
        [&](JumpEvent& j) {
            if (auto* list = dynamic_cast<ListBox*>(ControlById(kTargetList))) {
                list->Clear();
                for (int32_t t : j.targets) list->AddString(std::to_string(t));
            }
        },
        [&](SoundEvent& s) {
            std::string name = s.sound ? s.sound->name : s.storedName;
            setLabel(kSoundBox, name.empty() ? noSoundLabel_ : baseName(name));
            setChecked(kRepeat, s.repeat != 0);
        },
        [&](LinkEvent& l) {
            setText(kAddress, l.address);
            setText(kWindowName, l.target);
        },
        [&](ParamEvent& p) { setText(kParamText, p.text); });
}

void EventInfoWindow::storeTargets() {
    auto* jump = dynamic_cast<JumpEvent*>(target());
    auto* list = dynamic_cast<ListBox*>(ControlById(kTargetList));
    if (!jump || !list) return;
    jump->targets.clear();
    for (int32_t i = 0; i < list->Count(); ++i) jump->targets.push_back(leadingInt32(list->GetString(i)));
    document()->recomputeFrameCodes();
}

void EventInfoWindow::onButton(int32_t id) {
    Event* e = target();
    if (!e) return;
    if (id == kApplyEvent) {
        storeAll();
        return;
    }
    switch (kind_) {
    case kPlayEvent:
        if (id != kInterruptible) return;
        beginChange();
        static_cast<PlayEvent*>(e)->interruptible = checked(id) ? 1 : 0;
        break;
    case kJumpEvent: {
        auto* list = dynamic_cast<ListBox*>(ControlById(kTargetList));
        if (!list) return;
        if (id == kAddTarget) {
            beginChange();
            list->AddString(std::to_string(document()->currentFrame));
        } else if (id == kRemoveTarget) {
            int32_t at = list->GetSelection();
            if (at < 0) return;
            beginChange();
            list->DeleteString(at);
        } else {
            return;
        }
        storeTargets();
        break;
    }
    case kSoundEvent:
        if (id == kSoundBox) {
            replaceSound(std::string());
            return;
        }
        if (id != kRepeat) return;
        beginChange();
        static_cast<SoundEvent*>(e)->repeat = checked(id) ? 1 : 0;
        break;
    case kLinkEvent: {
        if (id != kWindowSuggestions) return;
        auto* list = dynamic_cast<ListBox*>(ControlById(kWindowSuggestions));
        int32_t at = list ? list->GetSelection() : -1;
        if (at < 0) return;
        std::string name = kWindowNames[std::min(at, 7)];
        setText(kWindowName, name);
        auto* link = static_cast<LinkEvent*>(e);
        if (name == link->target) return;
        beginChange();
        link->target = name;
        break;
    }
    default: return;
    }
    changed();
    load();
}

void EventInfoWindow::onDrop(const std::string& path) {
    if (kind_ == kSoundEvent) replaceSound(path);
}

void EventInfoWindow::replaceSound(const std::string& dropped) {
    auto* sound = dynamic_cast<SoundEvent*>(target());
    if (!sound) return;
    std::string current = sound->sound ? sound->sound->name : sound->storedName;
    MediaResource* chosen = chooseMedia(MediaKind::Sound, baseName(current), dropped);
    sound = dynamic_cast<SoundEvent*>(target());
    if (!chosen || !sound) return;
    beginChange();
    sound->sound = static_cast<SoundResource*>(chosen);
    sound->storedName.clear();
    changed();
    load();
}

}  // namespace tavlin
