// tavlin audio convert IN OUT: reads a sound through the audio formats and
// writes it in the format OUT's name chooses.

#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

#include "cli/commands.h"
#include "media/media_registry.h"
#include "base/paths.h"

namespace tavlin::cli {

namespace {

const char kNoFormat[] = "no sound format claims this name (use .au or .wav)";

int convert(const std::string& in, const std::string& out) {
    if (!fileExists(in)) return fail(in, "no such file");
    if (isDirectory(in)) return fail(in, "is a folder, not a sound");
    if (!findAudioFormat(in)) return fail(in, kNoFormat);
    AudioFormat* outFormat = findAudioFormat(out);
    if (!outFormat) return fail(out, kNoFormat);
    auto sound = readSoundWithReason(in);
    if (!sound) {
        if (sound.failure() == Failure::CannotRead) return fail(in, sound.reason());
        return fail(in, "cannot be decoded as a sound: " + sound.reason());
    }
    Status written = outFormat->writeWithReason(out, *sound.value());
    return written ? 0 : fail(out, written.reason());
}

}  // namespace

int audioCommand(const Args& args) {
    // Decoder complaints about a damaged file would add lines to the one
    // line a failure prints.
    av_log_set_level(AV_LOG_QUIET);
    if (args.size() == 3 && args[0] == "convert") return convert(args[1], args[2]);
    std::fputs("usage: tavlin audio convert IN OUT\n", stderr);
    return 1;
}

}  // namespace tavlin::cli
