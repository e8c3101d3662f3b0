#include "studio/timeline_window.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "core/cursor_ids.h"
#include "core/key_codes.h"
#include "core/resource_folder.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "editor/editor_tools.h"
#include "studio/info_windows.h"
#include "ui/control.h"

namespace tavlin {

namespace {

using L = TimelineLayout;

// Frames of tolerance for grabbing a range's end: four pixels.
int32_t grabFrames(double zoom) { return truncToInt32(4.0 / zoom); }

TimelineWindow::Part partOf(int32_t first, int32_t last, int32_t f, int32_t t) {
    // A short range has both ends under the pointer; its end wins, so that a
    // range just made grows to the right.
    if (f >= int64_t(last) - t && f <= last) return TimelineWindow::Part::End;
    if (f >= first && f <= int64_t(first) + t) return TimelineWindow::Part::Start;
    if (first < f && f < last) return TimelineWindow::Part::Inside;
    return TimelineWindow::Part::None;
}

}  // namespace

TimelineWindow::TimelineWindow(Window* owner, EditorView& view, InfoWindows* info, int32_t x, int32_t y, int32_t w,
                               int32_t h)
    : Window(owner, x, y, w, h, kSizingToolWindow), view_(view), info_(info) {
    SetTitle(resources().StringCopy("timeline"));
    layout_.width = w;
    layout_.height = h;
    layout_.zoom = kInitialZoom;
    layout_.split = layout_.clampSplit(h - 124);
    ResourceFolder& res = resources();
    pictures_.check = res.Image("bcheck.png");
    pictures_.uncheck = res.Image("buncheck.png");
    pictures_.lock = res.Image("block.png");
    pictures_.unlock = res.Image("bunlock.png");
    pictures_.in = res.Image("bin.png");
    pictures_.out = res.Image("bout.png");
    pictures_.videoIcon = res.Image("bmovie.png");
    pictures_.imageIcon = res.Image("bimage.png");
    pictures_.pathIcon = res.Image("bdm.png");
    const char* icons[] = {"bplay.png", "bjump.png", "bsound.png", "blink.png", "bparam.png"};
    const char* labels[] = {"play", "jump", "sound", "link", "param"};
    for (size_t k = 0; k < 5; ++k) {
        pictures_.eventIcons[k] = res.Image(icons[k]);
        pictures_.eventLabels[k] = res.StringCopy(labels[k]);
    }
    objectBar_ = new Slider(this, 0, 0, L::kBarSize, 10, kObjectBar, false);
    eventBar_ = new Slider(this, 0, 0, L::kBarSize, 10, kEventBar, false);
    frameBar_ = new Slider(this, 0, 0, 10, L::kBarSize, kFrameBar, true);
    zoomSlider_ = new Slider(this, 0, 0, L::kLabelWidth, L::kBarSize, kZoomSlider, true);
    for (Slider* s : {objectBar_, eventBar_, frameBar_, zoomSlider_}) AdoptControl(s);
    zoomSlider_->SetRange(1, 1000);
    zoomSlider_->SetPosition(int32_t(std::lround(layout_.zoom * 100)));
    placeControls();
    Redraw();
}

TimelineWindow::~TimelineWindow() = default;

Document* TimelineWindow::doc() const { return view_.document(); }

void TimelineWindow::placeControls() {
    const int32_t W = layout_.width, H = layout_.height;
    objectBar_->SetRect(W - L::kBarSize, L::kRulerHeight, L::kBarSize, std::max(layout_.split - L::kRulerHeight, 1));
    eventBar_->SetRect(W - L::kBarSize, layout_.eventTop(), L::kBarSize,
                       std::max(layout_.bottom() - layout_.eventTop(), 1));
    frameBar_->SetRect(L::kLabelWidth, H - L::kBarSize, std::max(W - L::kLabelWidth - L::kBarSize, 1), L::kBarSize);
    zoomSlider_->SetRect(0, H - L::kBarSize, L::kLabelWidth, L::kBarSize);
}

void TimelineWindow::updateBars() {
    Document* d = doc();
    int32_t length = d ? d->length : 0;
    int32_t objects = d ? int32_t(d->objects.size()) : 0;
    auto set = [](Slider* bar, int32_t total, int32_t shown, int32_t& first) {
        int32_t most = std::max(total - shown, 0);
        first = std::clamp(first, 0, most);
        bar->SetRange(0, most);
        bar->SetPosition(first);
        bar->SetProportion(total > 0 ? std::min(1.0, double(shown) / total) : 1.0);
    };
    set(frameBar_, length, layout_.visibleFrames(), layout_.firstFrame);
    set(objectBar_, objects, layout_.objectRowsShown(), layout_.firstObjectRow);
    set(eventBar_, L::kEventRows, layout_.eventRowsShown(), layout_.firstEventRow);
}

void TimelineWindow::Redraw() {
    Canvas* c = canvas();
    if (!c) return;
    Document* d = doc();
    updateBars();
    if (!d) {
        c->FillRect(0, 0, layout_.width, layout_.height, 0xC0C0C0);
    } else {
        paintTimeline(*c, *d, layout_, pictures_, info_ ? info_->shownEvent() : nullptr);
    }
    c->FillRect(layout_.width - L::kBarSize, layout_.height - L::kBarSize, L::kBarSize, L::kBarSize, 0xC0C0C0);
    ShowControls();
    Refresh();
}

void TimelineWindow::SetZoom(double zoom) {
    layout_.zoom = std::clamp(zoom, 0.01, 10.0);
    zoomSlider_->SetPosition(int32_t(std::lround(layout_.zoom * 100)));
    keepCurrentInView();
    Redraw();
}

void TimelineWindow::ScrollToFrame(int32_t first) {
    layout_.firstFrame = std::max(first, 0);
    Redraw();
}

void TimelineWindow::keepCurrentInView() {
    Document* d = doc();
    if (!d) return;
    int32_t current = d->currentFrame;
    int32_t shown = truncToInt32((layout_.width - 160) / layout_.zoom);
    if (current < layout_.firstFrame)
        layout_.firstFrame = current;
    else if (current >= layout_.firstFrame + shown)
        layout_.firstFrame = std::max(current - shown + 1, 0);
}

void TimelineWindow::frameChanged(int32_t) {
    keepCurrentInView();
    Redraw();
}

TimelineWindow::Hit TimelineWindow::HitAt(int32_t x, int32_t y) const {
    Hit hit;
    Document* d = doc();
    if (!d || x < 0 || y < 0 || x >= layout_.framesRight() || y >= layout_.bottom()) return hit;
    hit.column = x < 20 ? Column::Check : x < 40 ? Column::Lock : x < L::kLabelWidth ? Column::Name : Column::Frames;
    hit.frame = layout_.frameAt(x);
    const int32_t t = grabFrames(layout_.zoom);
    if (y < L::kRulerHeight) {
        hit.area = Area::Ruler;
        if (hit.column != Column::Frames) return hit;
        auto over = [&](const Image* pic, int32_t left) {
            return pic && x >= left && x < left + pic->width && y >= 8 && y < 8 + pic->height;
        };
        if (pictures_.in && over(pictures_.in, layout_.frameX(d->inPoint)))
            hit.area = Area::InMarker;
        else if (pictures_.out && over(pictures_.out, layout_.frameX(d->outPoint + 1) - pictures_.out->width))
            hit.area = Area::OutMarker;
        return hit;
    }
    if (y < layout_.split) {
        hit.area = Area::ObjectRow;
        int32_t rowTop = (y - L::kRulerHeight) / L::kRowHeight;
        hit.objectIndex = rowTop + layout_.firstObjectRow;
        if (size_t(hit.objectIndex) >= d->objects.size()) return hit;
        MediaObject& o = *d->objects[size_t(hit.objectIndex)];
        hit.object = &o;
        if (hit.column != Column::Frames) return hit;
        int32_t top = L::kRulerHeight + rowTop * L::kRowHeight;
        if (o.kind() == kDragPath && y >= top + 2 && y < top + 14) {
            const auto& points = static_cast<DragPath&>(o).path.points();
            int32_t mark = std::max(std::min(truncToInt32(layout_.zoom), 7), 3);
            for (size_t i = 0; i < points.size(); ++i) {
                int32_t px = layout_.frameX(points[i].frame);
                if (x >= px - 1 && x <= px + mark) {
                    hit.area = Area::PathPoint;
                    hit.point = int32_t(i);
                    return hit;
                }
            }
        }
        size_t tested = o.kind() == kVideoObject ? std::min<size_t>(o.ranges.size(), 1) : o.ranges.size();
        for (size_t i = 0; i < tested; ++i) {
            Part part = partOf(o.ranges[i].first, o.ranges[i].last, hit.frame, t);
            if (part == Part::None) continue;
            hit.range = int32_t(i);
            hit.part = part;
            break;
        }
        return hit;
    }
    if (y < layout_.eventTop()) {
        hit.area = Area::Split;
        return hit;
    }
    int32_t row = (y - layout_.eventTop()) / L::kRowHeight + layout_.firstEventRow;
    if (row >= L::kEventRows) return hit;
    hit.area = Area::EventRow;
    hit.eventKind = row;
    if (hit.column != Column::Frames) return hit;
    if (Event* e = d->findEvent(row, hit.frame)) {
        hit.event = e;
        hit.part = partOf(e->first, e->last, hit.frame, t);
    }
    return hit;
}

void TimelineWindow::openInfo(MediaObject& object) { view_.openInfoWindow(object); }

void TimelineWindow::openInfo(Event& event) {
    if (info_) info_->showEvent(event);
}

MediaObject* TimelineWindow::draggedObject() const {
    Document* d = doc();
    return d ? d->findObject(dragObject_) : nullptr;
}

Event* TimelineWindow::draggedEvent() const {
    Document* d = doc();
    if (!d || !dragEvent_) return nullptr;
    for (const auto& e : d->events)
        if (e.get() == dragEvent_) return dragEvent_;
    return nullptr;
}

void TimelineWindow::changed() {
    view_.redraw();
    Redraw();
}

void TimelineWindow::OnLeftDown(int32_t x, int32_t y, int32_t modifiers) {
    Window::OnLeftDown(x, y, modifiers);
    Document* d = doc();
    drag_ = Drag::None;
    lastX_ = x;
    lastY_ = y;
    if (!d || d->busy) return;
    Hit hit = HitAt(x, y);
    int32_t f = std::max(hit.frame, 0);
    switch (hit.area) {
    case Area::Ruler:
        if (hit.column != Column::Frames) return;
        d->setCurrentFrame(std::clamp(f, 0, std::max(d->length - 1, 0)));
        drag_ = Drag::Ruler;
        break;
    case Area::InMarker:
    case Area::OutMarker: drag_ = hit.area == Area::InMarker ? Drag::InMarker : Drag::OutMarker; break;
    case Area::PathPoint:
        d->snapshot();
        drag_ = Drag::PathPoint;
        dragObject_ = hit.object->id;
        dragPoint_ = hit.point;
        break;
    case Area::Split: drag_ = Drag::Split; break;
    case Area::ObjectRow:
        if (!hit.object) return;
        if (hit.column == Column::Check) {
            d->snapshot();
            hit.object->enabled = !hit.object->enabled;
            hit.object->selected = false;
            d->recomputeFrameCodes();
        } else if (hit.column == Column::Lock) {
            d->snapshot();
            hit.object->locked = !hit.object->locked;
        } else if (hit.column == Column::Name) {
            if (modifiers & (kModifierShift | kModifierControl)) {
                hit.object->selected = !hit.object->selected;
            } else {
                d->selectAll(false);
                hit.object->selected = true;
                openInfo(*hit.object);
            }
            if (!hit.object->locked) {
                drag_ = Drag::ObjectRow;
                dragObject_ = hit.object->id;
            }
        } else {
            pressObjectRow(hit, modifiers);
        }
        break;
    case Area::EventRow:
        if (hit.column == Column::Check) {
            // The switches belong to the session, not the project file, so
            // there is nothing to undo; an event of a kind switched off stops.
            int32_t& on = d->kindSwitch[size_t(hit.eventKind)];
            on = on ? 0 : 1;
            d->applySwitches();
            d->recomputeFrameCodes();
        } else if (hit.column == Column::Frames) {
            pressEventRow(hit);
        }
        break;
    case Area::None: return;
    }
    changed();
}

void TimelineWindow::pressObjectRow(const Hit& hit, int32_t) {
    Document& d = *doc();
    MediaObject& o = *hit.object;
    d.snapshot();
    int32_t f = std::max(hit.frame, 0);
    if (!o.locked) {
        dragObject_ = o.id;
        if (o.kind() == kVideoObject) {
            if (hit.range >= 0 && (hit.part == Part::Start || hit.part == Part::End)) {
                dragRange_ = hit.range;
                drag_ = hit.part == Part::Start ? Drag::VideoByStart : Drag::VideoByEnd;
            }
        } else if (hit.range < 0) {
            o.ranges.push_back({f, f});
            dragRange_ = int32_t(o.ranges.size()) - 1;
            anchor_ = f;
            drag_ = Drag::NewRange;
        } else if (hit.part == Part::Inside) {
            FrameRange& old = o.ranges[size_t(hit.range)];
            FrameRange later{f, old.last};
            old.last = f - 1;
            // The later half goes right after the first, keeping the order.
            o.ranges.insert(o.ranges.begin() + hit.range + 1, later);
            dragRange_ = hit.range + 1;
            drag_ = Drag::RangeStart;
        } else {
            dragRange_ = hit.range;
            drag_ = hit.part == Part::Start ? Drag::RangeStart : Drag::RangeEnd;
        }
        if (dragRange_ >= 0) before_ = o.ranges[size_t(dragRange_)];
    }
    d.selectAll(false);
    o.selected = true;
    openInfo(o);
}

void TimelineWindow::pressEventRow(const Hit& hit) {
    Document& d = *doc();
    d.snapshot();
    int32_t f = std::max(hit.frame, 0);
    Event* e = hit.event;
    if (!e) {
        e = d.addEvent(hit.eventKind, f, f);
        if (!e) return;
        anchor_ = f;
        drag_ = Drag::NewEvent;
    } else if (hit.part == Part::Start) {
        drag_ = Drag::EventStart;
    } else if (hit.part == Part::End) {
        drag_ = Drag::EventEnd;
    }
    dragEvent_ = e;
    d.recomputeFrameCodes();
    openInfo(*e);
}

void TimelineWindow::OnMouseMove(int32_t x, int32_t y, int32_t modifiers) {
    Window::OnMouseMove(x, y, modifiers);
    lastX_ = x;
    lastY_ = y;
    if (drag_ != Drag::None) {
        dragTo(x, y);
        return;
    }
    Hit hit = HitAt(x, y);
    int32_t cursor = kCursorArrow;
    if (hit.area == Area::Split)
        cursor = kCursorSliderVertical;
    else if (hit.area == Area::InMarker || hit.area == Area::OutMarker || hit.part == Part::Start ||
             hit.part == Part::End)
        cursor = kCursorSliderHorizontal;
    SetCursor(cursor);
}

void TimelineWindow::dragTo(int32_t x, int32_t y) {
    Document* d = doc();
    if (!d) {
        drag_ = Drag::None;
        return;
    }
    if (drag_ == Drag::Split) {
        layout_.split = layout_.clampSplit(y);
        placeControls();
        Redraw();
        return;
    }
    if (drag_ == Drag::ObjectRow) return;
    // Dragging past either end of the frames column scrolls the view.
    const int32_t right = layout_.framesRight();
    if (x < L::kLabelWidth) {
        layout_.firstFrame =
            std::max(layout_.firstFrame - std::max(truncToInt32((L::kLabelWidth - x) / layout_.zoom), 1), 0);
    } else if (x > right) {
        int32_t most = std::max(d->length - layout_.visibleFrames(), 0);
        layout_.firstFrame = std::min(layout_.firstFrame + std::max(truncToInt32((x - right) / layout_.zoom), 1), most);
    }
    int32_t f = std::max(layout_.frameAt(std::clamp(x, L::kLabelWidth, right - 1)), 0);
    switch (drag_) {
    case Drag::Ruler: d->setCurrentFrame(std::min(f, std::max(d->length - 1, 0))); break;
    case Drag::InMarker:
        if (f < d->length) d->inPoint = f;
        break;
    case Drag::OutMarker:
        if (f < d->length) d->outPoint = f;
        break;
    case Drag::PathPoint: {
        auto* path = dynamic_cast<DragPath*>(draggedObject());
        PathPoint* p = path ? path->point(dragPoint_) : nullptr;
        if (!p) break;
        const PathPoint* prev = path->point(dragPoint_ - 1);
        const PathPoint* next = path->point(dragPoint_ + 1);
        int32_t low = prev ? prev->frame : 0, high = next ? next->frame : std::max(d->length - 1, 0);
        if (f >= low && f <= high) p->frame = f;
        break;
    }
    case Drag::RangeStart:
    case Drag::RangeEnd:
    case Drag::NewRange:
    case Drag::VideoByStart:
    case Drag::VideoByEnd: {
        MediaObject* o = draggedObject();
        if (!o || dragRange_ < 0 || size_t(dragRange_) >= o->ranges.size()) break;
        FrameRange& r = o->ranges[size_t(dragRange_)];
        if (drag_ == Drag::RangeStart) {
            r.first = f;
        } else if (drag_ == Drag::RangeEnd) {
            r.last = f;
        } else if (drag_ == Drag::NewRange) {
            r = f < anchor_ ? FrameRange{f, anchor_} : FrameRange{anchor_, f};
        } else {
            // A video's range keeps its length.
            int32_t span = r.last - r.first;
            int32_t first = drag_ == Drag::VideoByStart ? f : f - span;
            first = std::max(first, 0);
            r = {first, first + span};
        }
        break;
    }
    case Drag::EventStart:
    case Drag::EventEnd:
    case Drag::NewEvent: {
        Event* e = draggedEvent();
        if (!e) break;
        FrameRange was{e->first, e->last};
        if (drag_ == Drag::EventStart)
            e->first = f;
        else if (drag_ == Drag::EventEnd)
            e->last = f;
        else if (f < anchor_)
            e->first = f, e->last = anchor_;
        else
            e->first = anchor_, e->last = f;
        // Events of one kind never overlap: the move is undone.
        for (const auto& other : d->events) {
            if (other.get() == e || other->kind() != e->kind()) continue;
            if (other->first <= e->last && e->first <= other->last) {
                e->first = was.first;
                e->last = was.last;
                break;
            }
        }
        break;
    }
    default: break;
    }
    changed();
}

void TimelineWindow::OnLeftUp(int32_t x, int32_t y, int32_t modifiers) {
    Window::OnLeftUp(x, y, modifiers);
    endDrag(x, y);
}

void TimelineWindow::endDrag(int32_t, int32_t y) {
    Drag drag = drag_;
    drag_ = Drag::None;
    Document* d = doc();
    if (!d || drag == Drag::None) return;
    switch (drag) {
    case Drag::ObjectRow: {
        MediaObject* o = draggedObject();
        if (!o || y < L::kRulerHeight || y >= layout_.split) return;
        int32_t from = d->indexOf(o);
        int32_t to = (y - L::kRulerHeight) / L::kRowHeight + layout_.firstObjectRow;
        to = std::min(to, int32_t(d->objects.size()) - 1);
        if (from < 0 || to == from) return;
        d->snapshot();
        auto moving = std::move(d->objects[size_t(from)]);
        d->objects.erase(d->objects.begin() + from);
        d->objects.insert(d->objects.begin() + to, std::move(moving));
        break;
    }
    case Drag::RangeStart:
    case Drag::RangeEnd:
    case Drag::NewRange:
    case Drag::VideoByStart:
    case Drag::VideoByEnd:
        if (MediaObject* o = draggedObject()) o->normalizeRanges();
        d->extendLength();
        d->recomputeFrameCodes();
        break;
    case Drag::EventStart:
    case Drag::EventEnd:
    case Drag::NewEvent:
        if (Event* e = draggedEvent()) {
            if (e->first > e->last) {
                d->removeEvent(e);
            } else {
                e->first = std::max(e->first, 0);
                e->last = std::max(e->last, 0);
            }
        }
        d->recomputeFrameCodes();
        d->extendLength();
        break;
    case Drag::PathPoint: d->recomputeFrameCodes(); break;
    default: break;
    }
    dragEvent_ = nullptr;
    changed();
}

void TimelineWindow::OnKey(int32_t code) {
    Document* d = doc();
    if (d && (code == Key::Left || code == Key::Right)) {
        d->setCurrentFrame(std::max(d->currentFrame + (code == Key::Left ? -1 : 1), 0));
        frameChanged(d->currentFrame);
        return;
    }
    // Other keys are the stage's, as long as no dialog waits.
    if (owner() && owner()->exists() && owner()->IsEnabled()) owner()->OnKey(code);
}

void TimelineWindow::OnSize(int32_t w, int32_t h) {
    layout_.width = w;
    layout_.height = h;
    layout_.split = layout_.clampSplit(layout_.split);
    placeControls();
    Redraw();
}

void TimelineWindow::OnControl(int32_t id) {
    switch (id) {
    case kObjectBar: layout_.firstObjectRow = objectBar_->position(); break;
    case kEventBar: layout_.firstEventRow = eventBar_->position(); break;
    case kFrameBar: layout_.firstFrame = frameBar_->position(); break;
    case kZoomSlider: SetZoom(zoomSlider_->position() * 0.01); return;
    default: return;
    }
    Redraw();
}

void TimelineWindow::OnClose() {
    drag_ = Drag::None;
    Show(false);
}

}  // namespace tavlin
