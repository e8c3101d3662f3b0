#include "media/video/video_sources.h"

#include <cmath>

namespace tavlin {

const Image* FfmpegSource::frameAt(int32_t index) {
    return video_.frameAt(index, current) ? &current : nullptr;
}

bool FfmpegSource::openWith(const std::string& path, const char* demuxer) {
    if (!video_.open(path, demuxer)) return false;
    frameCount = video_.frameCount();
    current = Image(video_.width(), video_.height());
    return !current.empty();
}

bool AviSource::load(const std::string& path) {
    if (!openWith(path, "avi")) return false;
    // An AVI sample lasts one tick of the stream's time base.
    const double ms = std::floor(double(frameCount) * video_.timeBase() * 1000.0);
    frameRate = ms < 1 ? 0.0 : double(frameCount) * 1000.0 / ms;
    return true;
}

bool QuickTimeSource::load(const std::string& path) {
    if (!openWith(path, "mov")) return false;
    const double ticks = video_.timeBase() > 0 ? video_.streamSeconds() / video_.timeBase() : 0;
    frameRate = ticks < 1 ? 0.0 : double(frameCount + 1) / video_.streamSeconds();
    return true;
}

bool DirectShowSource::load(const std::string& path) {
    if (!openWith(path, nullptr)) return false;
    frameRate = 0;
    return true;
}

}  // namespace tavlin
