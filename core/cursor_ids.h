#pragma once
// The built-in cursors by the role the program gives them: the toolkit draws
// the 21 shapes, the tools and controls ask for them by these names. Cursors
// made from pictures are numbered after them.

#include <cstdint>

namespace tavlin {

enum CursorId : int32_t {
    kCursorCross = 0,
    kCursorWait = 4,
    kCursorSegment = 7,           // over a drag path's segment
    kCursorArrow = 8,             // the normal arrow; also over a path's point
    kCursorPoint = kCursorArrow,
    kCursorGrab = 9,              // play mode, near a path
    kCursorMove = 11,
    kCursorSliderHorizontal = 12,
    kCursorSliderVertical = 13,
    kCursorResizeRising = 14,     // top-right and bottom-left corners
    kCursorResizeFalling = 15,    // top-left and bottom-right corners
    kCursorNeutral = 16,
    kBuiltInCursorCount = 21,
};

}  // namespace tavlin
