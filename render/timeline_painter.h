#pragma once
// The whole timeline window drawn into a canvas: ruler with frame-code marks,
// object rows, event rows, grid, current frame and in and out markers. Only
// the frames and rows in view are drawn, so long documents stay quick.

#include <array>
#include <cstdint>
#include <string>

namespace tavlin {

class Canvas;
class Document;
class Event;
struct Image;

// Where the timeline is scrolled and zoomed to, and its fixed geometry.
struct TimelineLayout {
    static constexpr int32_t kLabelWidth = 140;  // the frames column starts here
    static constexpr int32_t kRulerHeight = 30;
    static constexpr int32_t kRowHeight = 20;
    static constexpr int32_t kBarSize = 20;  // scroll bars and zoom slider
    static constexpr int32_t kSplitHeight = 4;
    static constexpr int32_t kEventRows = 5;

    int32_t width = 600;
    int32_t height = 300;
    double zoom = 6.0;  // pixels per frame
    int32_t firstFrame = 0;
    int32_t firstObjectRow = 0;
    int32_t firstEventRow = 0;
    int32_t split = 176;  // top of the event section's dividing line

    int32_t framesRight() const { return width - kBarSize; }
    int32_t eventTop() const { return split + kSplitHeight; }
    int32_t bottom() const { return height - kBarSize; }
    // Frame f's left edge.
    int32_t frameX(int32_t frame) const;
    // The frame under x (may be negative left of the frames column).
    int32_t frameAt(int32_t x) const;
    // Frames that fit across the frames column.
    int32_t visibleFrames() const;
    // Object rows that fit above the split, event rows below it.
    int32_t objectRowsShown() const;
    int32_t eventRowsShown() const;
    // The split keeps the five event rows reachable and one object row.
    int32_t clampSplit(int32_t y) const;
};

// Pictures from the resource folder; any may be null (then not drawn).
struct TimelinePictures {
    const Image* check = nullptr;
    const Image* uncheck = nullptr;
    const Image* lock = nullptr;
    const Image* unlock = nullptr;
    const Image* in = nullptr;
    const Image* out = nullptr;
    const Image* videoIcon = nullptr;
    const Image* imageIcon = nullptr;
    const Image* pathIcon = nullptr;
    std::array<const Image*, 5> eventIcons{};
    std::array<std::string, 5> eventLabels;
};

// Grid spacing in frames at a zoom: 10, 100 or 1000.
int32_t timelineGridStep(double zoom);

// Draws everything but the scroll bars (the window's controls) into `canvas`.
// `shownEvent` is framed as the one the open info window shows.
void paintTimeline(Canvas& canvas, Document& doc, const TimelineLayout& layout, const TimelinePictures& pictures,
                   const Event* shownEvent);

}  // namespace tavlin
