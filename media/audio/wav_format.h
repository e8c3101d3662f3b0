#pragma once
// WAV files: the RIFF walk is ours; the sample data in whatever coding the
// file uses is brought to the internal form (8000 Hz, mono, 16-bit) through
// libavcodec and libswresample.

#include <cstdint>
#include <vector>

#include "media/media_registry.h"

namespace tavlin {

// The "fmt " record of a WAV file, read from at least 18 bytes (a shorter
// record counts as extended with zeros).
struct WavFormatRecord {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    std::vector<uint8_t> extra;  // the bytes after the 18-byte record, as many as it declares

    static WavFormatRecord parse(const std::vector<uint8_t>& chunk);
};

// Converts sample data described by `format` to the internal form, or nothing
// when the coding is unknown, the data cannot be decoded or the result would
// be absurdly large.
std::unique_ptr<Sound> convertToInternalSound(const WavFormatRecord& format, std::vector<uint8_t> data);
// The same, saying why: an unknown coding (Unsupported), data that cannot be
// decoded (Damaged), or a result longer than four hours (TooLarge), refused
// before anything is allocated.
Result<std::unique_ptr<Sound>> convertSound(const WavFormatRecord& format, std::vector<uint8_t> data);

class WavFormat : public AudioFormat {
public:
    std::string description() const override { return "Windows wav audio (*.wav)"; }
    std::string pattern() const override { return "*.wav"; }
    // Nothing when there is no RIFF "WAVE" chunk, its "fmt " or "data" chunk
    // is missing or cut off, or the coding cannot be converted.
    std::unique_ptr<Sound> read(const std::string& path) override;
    Result<std::unique_ptr<Sound>> readWithReason(const std::string& path) override;
    // Sounds are never written as WAV.
    bool write(const std::string&, const Sound&) override { return false; }
};

}  // namespace tavlin
