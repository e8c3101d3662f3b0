#pragma once
// The cursor table: 21 built-in 16 x 16 two-colour shapes (ids 0..20) and the
// cursors made from pictures after them.

#include <cstdint>

#include "core/cursor_ids.h"
#include "media/image.h"

class QCursor;

namespace tavlin {


// A shape as AND and XOR masks, two bytes per row, leftmost pixel in the high
// bit: AND 1 XOR 0 transparent, AND 0 XOR 0 black, AND 0 XOR 1 white,
// AND 1 XOR 1 inverted.
struct CursorShape {
    uint8_t andMask[32];
    uint8_t xorMask[32];
    int32_t hotX;
    int32_t hotY;
};

// Pixel (x, y) of a shape: 0 transparent, 1 black, 2 white, 3 inverted.
int32_t CursorShapePixel(const CursorShape& shape, int32_t x, int32_t y);
// The built-in shape of id 0..20 (the arrow for any other id).
const CursorShape& BuiltInCursorShape(int32_t id);

// The cursor of an id, or null for an unknown id (which hides the cursor).
const QCursor* CursorById(int32_t id);
int32_t CursorCount();
// Alpha 0 becomes transparent, colour 0 black, any other colour white; the
// cursor is appended to the table and its id returned.
int32_t CursorFromImage(const Image& image, int32_t hotX, int32_t hotY);

}  // namespace tavlin
