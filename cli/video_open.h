#pragma once
// Helpers shared by the video and frame-list commands.

#include <memory>
#include <string>

#include "media/media_registry.h"

namespace tavlin::cli {

struct OpenedVideo {
    std::unique_ptr<VideoSource> source;
    std::string format;  // the description of the format that opened it
};

// Opens through the registry, or says on standard error why it cannot.
OpenedVideo openVideoFile(const std::string& path);
// Writes a PNG through a temporary file; 0, or 1 with a complaint.
int writePng(const std::string& path, const Image& picture);
// A whole decimal number within lo..hi.
bool parseNumber(const std::string& s, int64_t lo, int64_t hi, int32_t& out);

}  // namespace tavlin::cli
