#include "media/audio/au_format.h"
#include "media/media_registry.h"
#include "media/audio/wav_format.h"

namespace tavlin {

void registerAudioFormats() {
    registerAudioFormat(std::make_unique<AuFormat>());
    registerAudioFormat(std::make_unique<WavFormat>());
}

}  // namespace tavlin
