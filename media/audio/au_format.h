#pragma once
// Sun audio files: the form sounds are published in (8-bit mu-law, 8000 Hz,
// mono), and read back in that form only.

#include "media/media_registry.h"

namespace tavlin {

class AuFormat : public AudioFormat {
public:
    std::string description() const override { return "Sum u-law audio (*.au)"; }
    std::string pattern() const override { return "*.au"; }
    // Nothing for another encoding, rate or channel count, a cut-off file or
    // a data offset past the end.
    std::unique_ptr<Sound> read(const std::string& path) override;
    Result<std::unique_ptr<Sound>> readWithReason(const std::string& path) override;
    Status writeWithReason(const std::string& path, const Sound& sound) override;
    // False when the file cannot be written whole; an existing file is then
    // left as it was.
    bool write(const std::string& path, const Sound& sound) override;
};

// The file's bytes: a 24-byte big-endian header, then one mu-law byte per sample.
std::string encodeAu(const Sound& sound);

}  // namespace tavlin
