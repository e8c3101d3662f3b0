#pragma once
// Writes any opened video as a frame list with its JPEG files: full frames,
// key mosaics of every 8x8 block, and difference patches gathering the
// changed blocks of consecutive frames.

#include <cstdint>
#include <span>
#include <string>

#include "media/media_registry.h"
#include "media/progress.h"

namespace tavlin {

// The patch height used when the "diff_sum_h" text is missing or unusable.
constexpr int32_t kDefaultDiffSumHeight = 1280;

// The height a difference patch may reach before it is written out, from the
// "diff_sum_h" text: a missing, non-numeric or non-positive value gives 1280;
// other values are rounded up to whole block rows, so no block is cut.
int32_t diffSumHeight(const std::string* text);

struct FrameListWriteOptions {
    int32_t width = 0, height = 0;  // the size to write
    int32_t skip = 0;               // source frames left out between two written
    int32_t jpegQuality = 75;       // of every JPEG written
    int32_t diffQuality = 75;       // sets only the change threshold
    int32_t diffSumHeight = kDefaultDiffSumHeight;
    std::string title = "Saving";   // shown by the progress
};

// `flags` holds one byte per timeline frame; its two low bits are the frame
// code (0 skip, 1 full, 2 key, 3 difference) and missing bytes count as 0.
// False when the list cannot be created, the user stops, a JPEG cannot be
// written or the size has more blocks than the index can count; after a stop
// or a failed JPEG the list is still written from what was produced. `error`
// (when given) receives the reason.
bool writeFrameList(Progress& progress, const std::string& path, VideoSource& source,
                    const FrameListWriteOptions& options, std::span<const uint8_t> flags,
                    std::string* error = nullptr);

}  // namespace tavlin
