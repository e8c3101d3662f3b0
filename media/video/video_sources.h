#pragma once
// The video sources read through FFmpeg: AVI files, QuickTime movies, and any
// container FFmpeg can read (tried last for ".avi", ".mpg" and ".mpeg" when
// the more particular formats fail). They share frame-exact decoding and
// differ in which container they accept and in how they state a frame rate.

#include <memory>
#include <string>

#include "media/media_registry.h"
#include "media/video/ffmpeg_video.h"

namespace tavlin {

class FfmpegSource : public VideoSource {
public:
    const Image* frameAt(int32_t index) override;
    // The decoder underneath (tests look at its seek count).
    const FfmpegVideo& video() const { return video_; }

protected:
    // Opens with the given container reader (null: any) and sets the size,
    // the frame count and the current frame.
    bool openWith(const std::string& path, const char* demuxer);
    FfmpegVideo video_;
};

// Rate: count * 1000 / (milliseconds of `count` samples); 0 below 1 ms.
class AviSource : public FfmpegSource {
public:
    bool load(const std::string& path) override;
};

// Rate: (count + 1) / duration; 0 when the duration is below one tick.
class QuickTimeSource : public FfmpegSource {
public:
    bool load(const std::string& path) override;
};

// Named after the platform service it stood in for; here it is whatever
// container FFmpeg recognises. It states no rate.
class DirectShowSource : public FfmpegSource {
public:
    bool load(const std::string& path) override;
};

template <class Source>
class FfmpegFormat : public VideoFormat {
public:
    FfmpegFormat(const char* description, const char* pattern) : description_(description), pattern_(pattern) {}
    std::string description() const override { return description_; }
    std::string pattern() const override { return pattern_; }
    std::unique_ptr<VideoSource> open(const std::string& path) override {
        auto source = std::make_unique<Source>();
        if (!source->load(path)) return nullptr;
        return source;
    }

private:
    const char* description_;
    const char* pattern_;
};

using AviFormat = FfmpegFormat<AviSource>;
using QuickTimeFormat = FfmpegFormat<QuickTimeSource>;
using DirectShowFormat = FfmpegFormat<DirectShowSource>;

}  // namespace tavlin
