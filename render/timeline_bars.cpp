#include "render/timeline_bars.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "canvas/canvas.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/media_object.h"
#include "document/video_object.h"

namespace tavlin {

namespace {

// Lines along the axes as fills: the same pixels as a one-pixel pen, without
// a painter for each (a long timeline draws thousands of them).
void hLine(Canvas& c, int32_t x0, int32_t x1, int32_t y, uint32_t colour) {
    if (x1 < x0) std::swap(x0, x1);
    c.FillRect(x0, y, x1 - x0 + 1, 1, colour);
}
void vLine(Canvas& c, int32_t x, int32_t y0, int32_t y1, uint32_t colour) {
    if (y1 < y0) std::swap(y0, y1);
    c.FillRect(x, y0, 1, y1 - y0 + 1, colour);
}

// One range bar in an object's row, cut to the frames column.
void drawRangeBar(const TimelineArea& tl, int32_t y, FrameRange range, uint32_t colour) {
    if (!tl.canvas) return;
    int32_t right = tl.width - 20;
    int32_t x0 = timelineX(tl, range.first);
    int32_t x1 = range.last == std::numeric_limits<int32_t>::max() ? timelineX(tl, range.last) + 1
                                                                   : timelineX(tl, range.last + 1);
    if (!(x0 < x1 && x1 >= kTimelineLeft && x0 < right)) return;
    bool cut = false;
    if (x0 < kTimelineLeft) {
        x0 = kTimelineLeft;
        cut = true;
    }
    if (x1 > right) x1 = right;
    Canvas& c = *tl.canvas;
    int32_t h = tl.barHeight;
    c.FillRect(x0, y, x1 - x0, h, colour);
    hLine(c, x0, x1, y, 0x000000);
    hLine(c, x0, x1, y + h, 0x000000);
    vLine(c, x1, y, y + h, 0x000000);
    if (!cut) vLine(c, x0, y, y + h, 0x000000);
}

// A drag path's points in time: a line per segment (red, black where the
// drag hands over) and a blue mark per point.
void drawPathPoints(const TimelineArea& tl, const DragPath& dp, int32_t y) {
    if (!tl.canvas) return;
    Canvas& c = *tl.canvas;
    const int32_t right = tl.width - 20;
    const auto& pts = dp.path.points();
    for (size_t i = 1; i < pts.size(); ++i) {
        int32_t x0 = timelineX(tl, pts[i - 1].frame), x1 = timelineX(tl, pts[i].frame);
        if (x1 < kTimelineLeft) continue;
        if (x0 >= right) break;
        x0 = std::max(x0, kTimelineLeft);
        x1 = std::min(x1, right);
        hLine(c, x0, x1, y + 3, pts[i].handOver() ? 0x000000 : 0xFF0000);
    }
    int32_t markWidth = std::min<int32_t>(truncToInt(tl.zoom), 7);
    for (const PathPoint& p : pts) {
        int32_t x = timelineX(tl, p.frame);
        if (x >= kTimelineLeft && x < right) c.FillRect(x, y, markWidth, 7, 0x0000FF);
    }
}

class BarPainter final : public ObjectVisitor {
public:
    BarPainter(const TimelineArea& tl, int32_t y) : tl_(tl), y_(y) {}
    void visit(VideoObject& o) override {
        if (!o.ranges.empty()) drawRangeBar(tl_, y_, o.ranges[0], o.locked ? 0xE0C0C0 : 0xFFC0C0);
    }
    void visit(ImageObject& o) override { ranges(o); }
    void visit(DragPath& o) override {
        ranges(o);
        drawPathPoints(tl_, o, y_);
    }

private:
    void ranges(const MediaObject& o) {
        for (const FrameRange& r : o.ranges) drawRangeBar(tl_, y_, r, o.locked ? 0xC0FFC0 : 0x00FF00);
    }
    const TimelineArea& tl_;
    int32_t y_;
};

// The event's row y, or false when its row is scrolled away.
bool barRow(const TimelineArea& tl, const Event& e, int32_t* y) {
    int32_t k = e.kind();
    if (k < tl.firstEventRow) return false;
    *y = (k - tl.firstEventRow) * tl.rowHeight + tl.eventTop + 4;
    return true;
}

}  // namespace

int32_t timelineX(const TimelineArea& timeline, int32_t frame) {
    double x = std::trunc((double(frame) - timeline.firstFrame) * timeline.zoom) + kTimelineLeft;
    // Far-off frames only need to land off the window, not overflow.
    if (x > 1e9) return 1000000000;
    if (x < -1e9) return -1000000000;
    return int32_t(x);
}

void drawTimelineBar(const TimelineArea& timeline, MediaObject& object, int32_t y) {
    BarPainter painter(timeline, y);
    object.accept(painter);
}

void drawTimelineBar(const TimelineArea& tl, const Event& e) {
    int32_t y;
    if (!tl.canvas || !barRow(tl, e, &y)) return;
    int32_t right = tl.width - 20;
    int32_t x0 = timelineX(tl, e.first);
    int32_t x1 =
        e.last == std::numeric_limits<int32_t>::max() ? timelineX(tl, e.last) + 1 : timelineX(tl, e.last + 1);
    if (x1 >= x0 && x1 >= kTimelineLeft && x0 < right) {
        bool cut = false;
        if (x0 < kTimelineLeft) {
            x0 = kTimelineLeft;
            cut = true;
        }
        if (x1 > right) x1 = right;
        Canvas& c = *tl.canvas;
        int32_t h = tl.barHeight;
        c.FillRect(x0, y, x1 - x0, h, 0x0000FF);
        hLine(c, x0, x1, y, 0x000000);
        hLine(c, x0, x1, y + h, 0x000000);
        vLine(c, x1, y, y + h, 0x000000);
        if (!cut) vLine(c, x0, y, y + h, 0x000000);
        if (tl.shownEvent == &e) c.FrameRect(x0 + 1, y + 1, x1 - x0 - 1, h - 1, 0x000000);
    }
    int32_t d = int32_t(tl.zoom);
    for (int32_t t : e.targetFrames()) {
        int32_t x = timelineX(tl, t);
        if (x >= kTimelineLeft && x < right) tl.canvas->FillEllipse(x, y, d, d, 0xFF0000);
    }
}

}  // namespace tavlin
