#include "media/audio/au_format.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/byte_order.h"
#include "base/safe_write.h"
#include "media/file_handle.h"
#include "media/audio/mulaw.h"

namespace tavlin {

namespace {

constexpr uint32_t kMagic = 0x2E736E64;  // ".snd"
constexpr uint32_t kHeaderSize = 24;
constexpr uint32_t kMuLaw = 1;
constexpr uint32_t kRate = 8000;

}  // namespace

std::string encodeAu(const Sound& sound) {
    size_t n = sound.sampleCount();
    std::string out;
    out.reserve(kHeaderSize + n);
    appendBig32(out, kMagic);
    appendBig32(out, kHeaderSize);
    appendBig32(out, uint32_t(n));
    appendBig32(out, kMuLaw);
    appendBig32(out, kRate);
    appendBig32(out, 1);
    for (size_t i = 0; i < n; ++i) out.push_back(char(muLawEncode(sound.sample(i))));
    return out;
}

std::unique_ptr<Sound> AuFormat::read(const std::string& path) { return valueOrNull(readWithReason(path)); }

Result<std::unique_ptr<Sound>> AuFormat::readWithReason(const std::string& path) {
    using Read = Result<std::unique_ptr<Sound>>;
    const Reason cutOff{Failure::Damaged, "damaged Sun audio file: cut off"};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Read(Failure::CannotRead, "not a file");
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file.f) return Read(Failure::CannotRead, std::strerror(errno));
    uint8_t h[kHeaderSize];
    if (std::fread(h, 1, kHeaderSize, file.f) != kHeaderSize) return cutOff;
    uint32_t magic = loadBig32(h), offset = loadBig32(h + 4), n = loadBig32(h + 8);
    uint32_t encoding = loadBig32(h + 12), rate = loadBig32(h + 16), channels = loadBig32(h + 20);
    if (magic != kMagic) return Read(Failure::NotRecognised, "not a Sun audio file");
    if (encoding != kMuLaw || rate != kRate || channels != encoding)
        return Read(Failure::Unsupported, "only 8000 Hz mono mu-law Sun audio is read");
    // Check the declared size against what the file holds before allocating.
    uint64_t size = uint64_t(st.st_size);
    if (offset > size || n > size - offset) return cutOff;
    if (std::fseek(file.f, long(offset), SEEK_SET) != 0) return cutOff;
    std::vector<uint8_t> bytes(n);
    if (n > 0 && std::fread(bytes.data(), 1, n, file.f) != n) return cutOff;
    auto sound = std::make_unique<Sound>();
    sound->data.resize(size_t(n) * 2);
    for (size_t i = 0; i < n; ++i) {
        uint16_t v = uint16_t(muLawDecode(bytes[i]));
        sound->data[2 * i] = uint8_t(v);
        sound->data[2 * i + 1] = uint8_t(v >> 8);
    }
    return sound;
}

bool AuFormat::write(const std::string& path, const Sound& sound) { return writeWithReason(path, sound).ok(); }

Status AuFormat::writeWithReason(const std::string& path, const Sound& sound) {
    return writeFileSafely(path, encodeAu(sound));
}

}  // namespace tavlin
