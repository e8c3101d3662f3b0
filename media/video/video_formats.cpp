#include "media/media_registry.h"
#include "media/video/frame_list_source.h"
#include "media/video/video_sources.h"

namespace tavlin {

// The order decides which format a name tries first: AVI and QuickTime before
// the generic container reader, so a file only lands there when the more
// particular one cannot read it. The MPEG format lives in a layer above this
// one; its callers hand it in and it takes its place after AVI.
void registerVideoFormats(std::unique_ptr<VideoFormat> mpeg) {
    registerVideoFormat(std::make_unique<AviFormat>("AVI video (*.avi)", "*.avi"));
    if (mpeg) registerVideoFormat(std::move(mpeg));
    registerVideoFormat(std::make_unique<QuickTimeFormat>("QuickTime movie (*.mov)", "*.mov"));
    registerVideoFormat(std::make_unique<FrameListFormat>());
    registerVideoFormat(
        std::make_unique<DirectShowFormat>("DirectShow movie (*.avi,*.mpg,*.mpeg)", "*.avi;*.mpg;*.mpeg"));
}

}  // namespace tavlin
