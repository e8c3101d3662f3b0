#include "media/media_registry.h"

namespace tavlin {

// The sound formats land with the audio work.
void registerAudioFormats() {}

}  // namespace tavlin
