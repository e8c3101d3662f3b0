#pragma once
// The timeline window "timeline": the document's frames from left to right,
// a row per stage object with its ranges, a row per event kind with its
// events, the in and out points, the current frame and each frame's code.
// Ranges, events, drag-path points in time and the markers are dragged here;
// every change to the document takes an undo snapshot first.

#include <cstdint>

#include "document/interfaces.h"
#include "document/media_object.h"
#include "render/timeline_painter.h"
#include "ui/window.h"

namespace tavlin {

class Document;
class EditorView;
class Event;
class InfoWindows;
class Slider;

class TimelineWindow : public Window, public TimelineView {
public:
    static constexpr double kInitialZoom = 6.0;
    // Control ids of the scroll bars and the zoom slider.
    static constexpr int32_t kObjectBar = 1;
    static constexpr int32_t kEventBar = 2;
    static constexpr int32_t kFrameBar = 3;
    static constexpr int32_t kZoomSlider = 4;

    // What lies under a point of the client area.
    enum class Column : int32_t { Check, Lock, Name, Frames };
    enum class Area : int32_t { None, Ruler, ObjectRow, Split, EventRow, InMarker, OutMarker, PathPoint };
    enum class Part : int32_t { None, Start, End, Inside };
    struct Hit {
        Area area = Area::None;
        Column column = Column::Frames;
        int32_t frame = 0;
        MediaObject* object = nullptr;  // object rows
        int32_t objectIndex = -1;       // the row's place in the list (may be past its end)
        int32_t eventKind = -1;         // event rows
        Event* event = nullptr;
        int32_t range = -1;  // the object's range under the pointer
        Part part = Part::None;
        int32_t point = -1;  // drag-path point
    };

    // A hidden tool window of W x H client pixels at (x, y) of the owner.
    TimelineWindow(Window* owner, EditorView& view, InfoWindows* info, int32_t x, int32_t y, int32_t w, int32_t h);
    ~TimelineWindow() override;

    Hit HitAt(int32_t x, int32_t y) const;
    const TimelineLayout& layout() const { return layout_; }
    // Zoom in pixels per frame, as the slider sets it (value * 0.01).
    void SetZoom(double zoom);
    void ScrollToFrame(int32_t first);
    void Redraw();

    // TimelineView.
    void refresh() override { Redraw(); }
    void frameChanged(int32_t frame) override;
    bool draggingFrame() const override { return drag_ == Drag::Ruler; }

    void OnLeftDown(int32_t x, int32_t y, int32_t modifiers) override;
    void OnMouseMove(int32_t x, int32_t y, int32_t modifiers) override;
    void OnLeftUp(int32_t x, int32_t y, int32_t modifiers) override;
    void OnKey(int32_t code) override;
    void OnSize(int32_t w, int32_t h) override;
    void OnControl(int32_t id) override;
    // Closing only hides it; the menu brings it back.
    void OnClose() override;

private:
    enum class Drag : int32_t {
        None,
        Ruler,
        RangeStart,
        RangeEnd,
        NewRange,
        VideoByStart,
        VideoByEnd,
        EventStart,
        EventEnd,
        NewEvent,
        PathPoint,
        InMarker,
        OutMarker,
        Split,
        ObjectRow
    };
    Document* doc() const;
    void placeControls();
    void updateBars();
    void keepCurrentInView();
    void dragTo(int32_t x, int32_t y);
    void endDrag(int32_t x, int32_t y);
    void pressObjectRow(const Hit& hit, int32_t modifiers);
    void pressEventRow(const Hit& hit);
    void openInfo(MediaObject& object);
    void openInfo(Event& event);
    MediaObject* draggedObject() const;
    Event* draggedEvent() const;
    void changed();

    EditorView& view_;
    InfoWindows* info_;
    TimelineLayout layout_;
    TimelinePictures pictures_;
    Slider* objectBar_ = nullptr;  // owned by the window
    Slider* eventBar_ = nullptr;
    Slider* frameBar_ = nullptr;
    Slider* zoomSlider_ = nullptr;

    Drag drag_ = Drag::None;
    ObjectId dragObject_ = 0;
    int32_t dragRange_ = -1;
    Event* dragEvent_ = nullptr;
    int32_t dragPoint_ = -1;
    int32_t anchor_ = 0;  // the frame a new range or event started at
    FrameRange before_;   // the range before the current move
    int32_t lastX_ = 0, lastY_ = 0;
};

}  // namespace tavlin
