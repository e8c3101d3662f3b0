#pragma once
// The bars that objects and events show in the timeline window: ranges, a
// drag path's points in time, event stretches and jump targets.

#include <cstdint>

namespace tavlin {

class Canvas;
class Event;
class MediaObject;

// What the timeline hands to the bars it asks objects and events to draw.
// X(f) = trunc((f - firstFrame) * zoom) + 140; the frames column ends at width - 20.
struct TimelineArea {
    Canvas* canvas = nullptr;
    int32_t firstFrame = 0;     // first visible frame
    double zoom = 1.0;          // pixels per frame
    int32_t width = 0;          // window width
    int32_t barHeight = 0;      // height of an object bar
    int32_t firstEventRow = 0;  // first visible event kind row
    int32_t rowHeight = 0;      // height of an event row
    int32_t eventTop = 0;       // top of the event section
    const Event* shownEvent = nullptr;  // the event the open event info window shows, if any
};

// The timeline's x for a frame: trunc((f - firstFrame) * zoom) + 140.
int32_t timelineX(const TimelineArea& timeline, int32_t frame);
constexpr int32_t kTimelineLeft = 140;

// The object's bars in its row; y = the top of the row.
void drawTimelineBar(const TimelineArea& timeline, MediaObject& object, int32_t y);
// A blue bar in the event kind's row of the event section (with red marks
// on a jump's targets).
void drawTimelineBar(const TimelineArea& timeline, const Event& event);

}  // namespace tavlin
