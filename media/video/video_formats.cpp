#include "media/media_registry.h"

namespace tavlin {

// The video formats land with the video sources.
void registerVideoFormats() {}

}  // namespace tavlin
