#include "media/audio/au_format.h"

#include <sys/stat.h>

#include <cstdio>

#include "media/file_handle.h"
#include "media/audio/mulaw.h"

namespace tavlin {

namespace {

constexpr uint32_t kMagic = 0x2E736E64;  // ".snd"
constexpr uint32_t kHeaderSize = 24;
constexpr uint32_t kMuLaw = 1;
constexpr uint32_t kRate = 8000;

uint32_t bigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void putBigEndian(std::string& out, uint32_t v) {
    out.push_back(char(v >> 24));
    out.push_back(char(v >> 16));
    out.push_back(char(v >> 8));
    out.push_back(char(v));
}

}  // namespace

std::string encodeAu(const Sound& sound) {
    size_t n = sound.sampleCount();
    std::string out;
    out.reserve(kHeaderSize + n);
    putBigEndian(out, kMagic);
    putBigEndian(out, kHeaderSize);
    putBigEndian(out, uint32_t(n));
    putBigEndian(out, kMuLaw);
    putBigEndian(out, kRate);
    putBigEndian(out, 1);
    for (size_t i = 0; i < n; ++i) out.push_back(char(muLawEncode(sound.sample(i))));
    return out;
}

std::unique_ptr<Sound> AuFormat::read(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file.f) return nullptr;
    uint8_t h[kHeaderSize];
    if (std::fread(h, 1, kHeaderSize, file.f) != kHeaderSize) return nullptr;
    uint32_t magic = bigEndian(h), offset = bigEndian(h + 4), n = bigEndian(h + 8);
    uint32_t encoding = bigEndian(h + 12), rate = bigEndian(h + 16), channels = bigEndian(h + 20);
    if (magic != kMagic || encoding != kMuLaw || rate != kRate || channels != encoding) return nullptr;
    // Check the declared size against what the file holds before allocating.
    uint64_t size = uint64_t(st.st_size);
    if (offset > size || n > size - offset) return nullptr;
    if (std::fseek(file.f, long(offset), SEEK_SET) != 0) return nullptr;
    std::vector<uint8_t> bytes(n);
    if (n > 0 && std::fread(bytes.data(), 1, n, file.f) != n) return nullptr;
    auto sound = std::make_unique<Sound>();
    sound->data.resize(size_t(n) * 2);
    for (size_t i = 0; i < n; ++i) {
        uint16_t v = uint16_t(muLawDecode(bytes[i]));
        sound->data[2 * i] = uint8_t(v);
        sound->data[2 * i + 1] = uint8_t(v >> 8);
    }
    return sound;
}

bool AuFormat::write(const std::string& path, const Sound& sound) {
    std::string bytes = encodeAu(sound);
    // Written beside the target and renamed over it, so a full disk never
    // leaves a cut-off file in place of a good one.
    std::string tmp = path + ".new~";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace tavlin
