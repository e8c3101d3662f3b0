#pragma once
// Drawing stage objects onto the stage picture: videos and pictures scaled
// into their rectangles, drag paths in their state looks with arrows, thumbs
// and, in edit mode, their grab zone.

#include <cstdint>
#include <memory>

namespace tavlin {

class Canvas;
class MediaObject;
struct Image;

// Draws the object as it looks at `frame` (nothing when it is hidden there).
// Drawing a drag path also moves its thumb and state along.
void drawObject(Canvas& picture, MediaObject& object, int32_t frame);

// A left-right mirrored copy.
std::unique_ptr<Image> mirroredThumb(const Image& picture);
// The picture turned so that its right-hand side points along (dx, dy), on
// a transparent square twice its larger side; null for a zero direction or
// when the square would be too large.
std::unique_ptr<Image> rotatedThumb(const Image& picture, int32_t dx, int32_t dy);

}  // namespace tavlin
