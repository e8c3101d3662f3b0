#include "media/media_registry.h"
#include "media/video/frame_list_source.h"
#include "media/video/video_sources.h"

namespace tavlin {

// The order decides which format a name tries first: AVI and QuickTime before
// the generic container reader, so a file only lands there when the more
// particular one cannot read it. The MPEG format joins after AVI when it exists.
void registerVideoFormats() {
    registerVideoFormat(std::make_unique<AviFormat>("AVI video (*.avi)", "*.avi"));
    registerVideoFormat(std::make_unique<QuickTimeFormat>("QuickTime movie (*.mov)", "*.mov"));
    registerVideoFormat(std::make_unique<FrameListFormat>());
    registerVideoFormat(
        std::make_unique<DirectShowFormat>("DirectShow movie (*.avi,*.mpg,*.mpeg)", "*.avi;*.mpg;*.mpeg"));
}

}  // namespace tavlin
