#pragma once
// Videos made for the tests through FFmpeg's own encoders and muxers, and
// frames that carry their index as a row of black and white 8x8 cells so a
// decoded frame says which frame it is.

#include <cstdint>
#include <string>
#include <vector>

#include "media/image.h"

namespace tavlin::test {

enum class VideoKind {
    AviMjpeg,     // intra-only
    AviRaw24,     // uncompressed, rows padded to 4 bytes
    AviPal8,      // 8-bit with a colour table
    AviRgb555,    // 16-bit 5-5-5
    MovH264,      // reordered frames (B frames)
    MpegPs,       // MPEG-2 in a program stream, B frames, open groups
    MovVariable,  // irregular frame times
};

struct VideoSpec {
    VideoKind kind = VideoKind::AviMjpeg;
    int32_t width = 64, height = 48, frames = 30, rate = 25;
};

// The picture of frame i: a colour scene with a square moving across it and
// the index in the top row of cells (cell b white when bit b is set).
Image indexedFrame(int32_t i, int32_t w, int32_t h);
// The index a frame carries, read from the cell centres; -1 when unreadable.
int32_t readIndex(const Image& frame);

// Writes the video; false (with a message in the test log) on failure.
bool makeVideo(const std::string& path, const VideoSpec& recipe);
// A video from FFmpeg's "lavfi" test sources ("testsrc=size=160x120:rate=25").
bool makeLavfiVideo(const std::string& path, const std::string& graph, int32_t frames, const char* codec = "mjpeg");

// The colour table used for paletted videos (and the only colours their frames use).
uint32_t paletteColour(int index);

}  // namespace tavlin::test
