#pragma once
// The info windows of the main window: one per object kind and one per event
// kind, made on first use. At most one is shown, for the object or event
// selected in the editor or the timeline; moving the selection keeps what was
// typed for the one before.

#include <array>
#include <cstdint>
#include <memory>

#include "document/event.h"
#include "document/interfaces.h"

namespace tavlin {

class EditorView;
class EventInfoWindow;
class InfoPanel;
class MediaObject;
class ObjectInfoWindow;
class Window;

class InfoWindows : public InfoWindow {
public:
    InfoWindows(Window& owner, EditorView& view);
    ~InfoWindows() override;

    // Shows the window of the object's kind for it (what was typed into the
    // window shown before is kept first).
    void showObject(MediaObject& object);
    void showEvent(Event& event);
    // The shown window reads its target again.
    void refresh();
    // Keeps what was typed, then hides the window.
    void hide();
    // The document is about to drop objects or events: forget them untouched.
    void close() override;

    // The window shown now, or null.
    InfoPanel* shown() const { return shown_; }
    // The event the shown window edits, or null.
    const Event* shownEvent() const;
    ObjectInfoWindow* objectWindow(int32_t kind);
    EventInfoWindow* eventWindow(int32_t kind);

private:
    void present(InfoPanel& panel);
    Window& owner_;
    EditorView& view_;
    std::array<std::unique_ptr<ObjectInfoWindow>, 3> objects_;
    std::array<std::unique_ptr<EventInfoWindow>, kEventKinds> events_;
    InfoPanel* shown_ = nullptr;
};

}  // namespace tavlin
