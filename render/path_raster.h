#pragma once
// Rasterising drag paths: thick lines stamped with discs onto the stage, and
// the double-resolution byte mask that smoothing averages down.

#include <cstdint>

#include "document/drag_path_geometry.h"

namespace tavlin {

class Canvas;

// Thick lines stamped along (x0,y0)-(x1,y1). The mask is mw bytes per row.
void maskThickLine(uint8_t* mask, int32_t mw, int32_t mh, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                   int32_t width);
void canvasThickLine(Canvas& canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
                     uint32_t colour);
// A filled circle of the radius around (x, y): one stamp of a thick line.
void canvasDisc(Canvas& canvas, int32_t x, int32_t y, int32_t radius, uint32_t colour);

// The path in its shape (straight or curved) at the given pen width.
void drawPathLine(Canvas& canvas, const PathShape& shape, const Path& path, int32_t width, uint32_t colour);
// The path at double resolution into a byte mask of mw x mh.
void drawPathMask(uint8_t* mask, int32_t mw, int32_t mh, const PathShape& shape, const Path& path, int32_t width);

}  // namespace tavlin
