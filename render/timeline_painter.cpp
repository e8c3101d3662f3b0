#include "render/timeline_painter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/numbers.h"
#include "canvas/canvas.h"
#include "document/document.h"
#include "document/event.h"
#include "document/media_object.h"
#include "media/image.h"
#include "render/timeline_bars.h"

namespace tavlin {

namespace {

constexpr uint32_t kLabelColour = 0xC0C0C0;
constexpr uint32_t kObjectArea = 0xE0E0E0;
constexpr uint32_t kSelectedRow = 0x8080FF;
constexpr uint32_t kRowLine = 0x808080;
constexpr uint32_t kEventRow = 0x808080;
constexpr uint32_t kExistingFrames = 0xFFFF00;
constexpr uint32_t kMarkY = 25;
constexpr int32_t kBarHeight = 12;

// Axis lines as fills (see timeline_bars.cpp).
void vLine(Canvas& c, int32_t x, int32_t y0, int32_t y1, uint32_t colour) { c.FillRect(x, y0, 1, y1 - y0 + 1, colour); }
void hLine(Canvas& c, int32_t x0, int32_t x1, int32_t y, uint32_t colour) { c.FillRect(x0, y, x1 - x0 + 1, 1, colour); }

void picture(Canvas& c, const Image* image, int32_t x, int32_t y) {
    if (image && image->width > 0) c.DrawImage(x, y, image->width, image->height, *image);
}

// The frame code mark of one frame at x.
void codeMark(Canvas& c, int32_t x, uint8_t flags, double zoom) {
    uint32_t colour = (flags & kFixedMark) ? 0xFF0000 : 0x000000;
    if (zoom < 3.0) {
        vLine(c, x, kMarkY, kMarkY + 5, colour);
        return;
    }
    int32_t y = kMarkY - 2;
    switch (flags & kCodeMask) {
    case kFullFrame: c.FillRect(x, y, 5, 5, colour); break;
    case kKeyFrame: c.FillEllipse(x, y, 5, 5, colour); break;
    case kDiffFrame: c.Ellipse(x, y, 5, 5, colour); break;
    default:
        c.Line(x, y, x + 4, y + 4, colour);
        c.Line(x + 4, y, x, y + 4, colour);
        break;
    }
}

}  // namespace

int32_t TimelineLayout::frameX(int32_t frame) const {
    double x = std::trunc((double(frame) - firstFrame) * zoom) + kLabelWidth;
    return int32_t(std::clamp(x, -1e9, 1e9));
}

int32_t TimelineLayout::frameAt(int32_t x) const {
    return saturateToInt32(int64_t(firstFrame) + int64_t(std::floor((x - kLabelWidth) / zoom)));
}

int32_t TimelineLayout::visibleFrames() const {
    return std::max(truncToInt32((width - kLabelWidth - kBarSize) / zoom), 0);
}

int32_t TimelineLayout::objectRowsShown() const { return std::max((split - kRulerHeight) / kRowHeight, 0); }

int32_t TimelineLayout::eventRowsShown() const { return std::max((bottom() - eventTop()) / kRowHeight, 0); }

int32_t TimelineLayout::clampSplit(int32_t y) const {
    int32_t low = height - kEventRows * kRowHeight - 24, high = height - 24;
    return std::clamp(y, std::max(low, kRulerHeight), std::max(high, kRulerHeight));
}

int32_t timelineGridStep(double zoom) {
    if (zoom >= 0.5) return 10;
    if (zoom >= 0.05) return 100;
    return 1000;
}

void paintTimeline(Canvas& c, Document& doc, const TimelineLayout& l, const TimelinePictures& pics,
                   const Event* shownEvent) {
    const int32_t W = l.width, H = l.height, right = l.framesRight(), bottom = l.bottom();
    const int32_t lastFrame = std::max(doc.length - 1, 0);
    // The frames in view, and no further than the document goes.
    const int32_t firstShown = std::max(l.firstFrame, 0);
    const int32_t lastShown = int32_t(std::min<int64_t>(int64_t(l.firstFrame) + l.visibleFrames() + 1, lastFrame));

    c.FillRect(0, 0, W, H, kEventRow);
    c.FillRect(0, 0, TimelineLayout::kLabelWidth, H, kLabelColour);
    c.FillRect(TimelineLayout::kLabelWidth, 0, right - TimelineLayout::kLabelWidth, TimelineLayout::kRulerHeight,
               kLabelColour);
    c.FillRect(TimelineLayout::kLabelWidth, TimelineLayout::kRulerHeight, right - TimelineLayout::kLabelWidth,
               l.split - TimelineLayout::kRulerHeight, kObjectArea);

    // Ruler: the frames that exist, then their codes.
    {
        int32_t x0 = std::max(l.frameX(0), TimelineLayout::kLabelWidth);
        int32_t x1 = std::min(l.frameX(doc.length), right);
        if (x0 < x1) c.FillRect(x0, 19, x1 - x0, 5, kExistingFrames);
        int32_t lastX = -1;
        size_t n = std::min(size_t(doc.length), doc.frameFlags.size());
        for (int32_t f = firstShown; f <= lastShown && size_t(f) < n; ++f) {
            uint8_t flags = doc.frameFlags[size_t(f)];
            if (!flags) continue;
            int32_t x = l.frameX(f);
            if (x >= right) break;
            // Many frames share a pixel when zoomed out; one tick says it,
            // unless a fixed (red) one must show.
            if (x == lastX && !(flags & kFixedMark)) continue;
            lastX = x;
            codeMark(c, x, flags, l.zoom);
        }
    }

    // Grid over the object and event sections.
    {
        int32_t step = timelineGridStep(l.zoom);
        int32_t f = std::max(firstShown / step * step, 0);
        for (; f <= lastShown + step; f += step) {
            int32_t x = l.frameX(f);
            if (x < TimelineLayout::kLabelWidth) continue;
            if (x >= right) break;
            uint32_t colour = f % 100 == 0 ? 0x000000 : 0xC0C0C0;
            vLine(c, x, TimelineLayout::kRulerHeight, l.split - 1, colour);
            vLine(c, x, l.eventTop(), bottom - 1, colour);
        }
    }

    // Names fit their 76 pixels better a little smaller than dialog text.
    c.SelectFont(JapaneseLocale() ? DefaultFont() : GetFont("Arial", 0, 12));
    TimelineArea area;
    area.canvas = &c;
    area.firstFrame = l.firstFrame;
    area.zoom = l.zoom;
    area.width = W;
    area.barHeight = kBarHeight;
    area.firstEventRow = l.firstEventRow;
    area.rowHeight = TimelineLayout::kRowHeight;
    area.eventTop = l.split;
    area.shownEvent = shownEvent;

    // Object rows in view.
    const int32_t rows = l.objectRowsShown();
    for (int32_t r = 0; r < rows; ++r) {
        size_t index = size_t(l.firstObjectRow) + size_t(r);
        if (l.firstObjectRow < 0 || index >= doc.objects.size()) break;
        MediaObject& o = *doc.objects[index];
        int32_t y = TimelineLayout::kRulerHeight + r * TimelineLayout::kRowHeight;
        if (o.selected) c.FillRect(0, y, right, TimelineLayout::kRowHeight, kSelectedRow);
        picture(c, o.enabled ? pics.check : pics.uncheck, 2, y + 2);
        picture(c, o.locked ? pics.lock : pics.unlock, 22, y + 2);
        const Image* icon = o.kind() == kVideoObject   ? pics.videoIcon
                            : o.kind() == kImageObject ? pics.imageIcon
                                                       : pics.pathIcon;
        picture(c, icon, 42, y + 2);
        c.DrawText(62, y + 1, 76, TimelineLayout::kRowHeight - 2, o.name, 0x000000);
        drawTimelineBar(area, o, y + 4);
        hLine(c, 0, right - 1, y + TimelineLayout::kRowHeight - 1, kRowLine);
    }

    // The split line, then the event rows in view.
    c.FillRect(0, l.split, right, TimelineLayout::kSplitHeight, 0x404040);
    const int32_t eventRows = std::min(l.eventRowsShown(), TimelineLayout::kEventRows - l.firstEventRow);
    for (int32_t r = 0; r < eventRows; ++r) {
        int32_t k = l.firstEventRow + r;
        int32_t y = l.eventTop() + r * TimelineLayout::kRowHeight;
        c.FillRect(0, y, TimelineLayout::kLabelWidth, TimelineLayout::kRowHeight, kLabelColour);
        picture(c, doc.kindSwitch[size_t(k)] ? pics.check : pics.uncheck, 2, y + 2);
        picture(c, pics.eventIcons[size_t(k)], 42, y + 2);
        c.DrawText(62, y + 1, 76, TimelineLayout::kRowHeight - 2, pics.eventLabels[size_t(k)], 0x000000);
        hLine(c, 0, right - 1, y + TimelineLayout::kRowHeight - 1, 0x606060);
    }
    for (const auto& e : doc.events) {
        int32_t row = e->kind() - l.firstEventRow;
        if (row < 0 || row >= eventRows) continue;
        // Bars out of view cost nothing but a comparison.
        if ((e->last < l.firstFrame || e->first > lastShown) && e->targetFrames().empty()) continue;
        drawTimelineBar(area, *e);
    }

    // In and out markers, then the current frame above everything.
    if (pics.in) {
        int32_t x = l.frameX(doc.inPoint);
        if (x >= TimelineLayout::kLabelWidth && x < right) picture(c, pics.in, x, 8);
    }
    if (pics.out) {
        int32_t x = l.frameX(doc.outPoint + 1) - pics.out->width;
        if (x + pics.out->width > TimelineLayout::kLabelWidth && x < right) picture(c, pics.out, x, 8);
    }
    {
        int32_t x = l.frameX(doc.currentFrame);
        if (x >= TimelineLayout::kLabelWidth - 2 && x < right + 2) {
            int32_t w = truncToInt32(l.zoom);
            vLine(c, x, 0, bottom - 1, 0xFF0000);
            if (l.zoom >= 1.0) vLine(c, x + w, 0, bottom - 1, 0xFF0000);
            c.Polygon({{x - 2, 0}, {x + w / 2, 8}, {x + w + 2, 0}}, 0xFF0000);
        }
    }
    // The label column's top: the status text over the ruler's left end.
    c.FillRect(0, 0, TimelineLayout::kLabelWidth, TimelineLayout::kRulerHeight, kLabelColour);
    char status[64];
    std::snprintf(status, sizeof status, "%d [%d]", doc.currentFrame, doc.codedFrameCount());
    c.DrawText(2, 2, 138, 28, status, 0x000000);
}

}  // namespace tavlin
