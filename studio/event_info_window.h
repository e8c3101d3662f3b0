#pragma once
// The info windows of events: "infoplay", "infojump", "infosound",
// "infolink" and "infoparam". The wait is shared; interruptible, jump
// targets, the sound with its repeat, the link's address and window, and the
// param text are each kind's own.

#include <cstdint>
#include <string>

#include "studio/info_panel.h"

namespace tavlin {

class Event;

class EventInfoWindow : public InfoPanel {
public:
    // `kind` is the EventKind the window shows.
    EventInfoWindow(Window* owner, EditorView& view, int32_t kind);

    void setTarget(Event* event);
    // The event shown, or null (also once it has left the document).
    Event* target() const;
    bool hasTarget() const override { return target() != nullptr; }
    void dropTarget() override { event_ = nullptr; }
    int32_t eventKind() const { return kind_; }

    // The window names offered for a link, in list order.
    static const char* const kWindowNames[8];

protected:
    bool storeFields() override;
    void loadFields() override;
    void applyText(int32_t id) override;
    bool isText(int32_t id) const override;
    void onButton(int32_t id) override;
    void onDrop(const std::string& path) override;

private:
    void replaceSound(const std::string& dropped);
    // The jump target list as frames, in list order.
    void storeTargets();

    int32_t kind_;
    Event* event_ = nullptr;
    std::string noSoundLabel_;
};

}  // namespace tavlin
