#include "mpeg/mpeg_source.h"

#include <cstring>
#include <filesystem>

#include "mpeg/mpeg_index.h"

namespace tavlin {

bool MpegSource::load(const std::string& given) {
    // The index names its video; an absolute name keeps that true whatever
    // the working folder.
    std::error_code ec;
    std::string path = given;
    if (auto full = std::filesystem::absolute(given, ec); !ec) path = full.lexically_normal().string();
    std::unique_ptr<Progress> progress = progress_ ? progress_() : nullptr;
    Result<std::string> index = findOrBuildMpegIndex(path, progress ? *progress : silentProgress());
    if (!index) {
        error_ = index.reason();
        return false;
    }
    indexPath_ = index.value();
    if (!decoder_.open(path, indexPath_)) {
        error_ = decoder_.error();
        return false;
    }
    current = Image(decoder_.width(), decoder_.height());
    frameCount = decoder_.index().max;
    frameRate = decoder_.frameRate();
    return true;
}

const Image* MpegSource::frameAt(int32_t index) {
    if (index < 0 || index >= frameCount || current.empty()) return nullptr;
    std::unique_ptr<uint32_t[]> block = decoder_.picture(index);
    if (!block) return nullptr;
    std::memcpy(current.pixels.data(), block.get(), current.pixels.size() * sizeof(uint32_t));
    return &current;
}

void MpegSource::reserved3(int32_t* a, int32_t* b, int32_t* c) {
    if (a) *a = 0;
    if (b) *b = 0;
    if (c) *c = 0;
}

int32_t MpegSource::reserved2(int32_t, int32_t, int32_t* out) {
    if (out) *out = 0;
    return 0;
}

std::unique_ptr<VideoSource> MpegFormat::open(const std::string& path) {
    auto source = std::make_unique<MpegSource>(progress_);
    if (!source->load(path)) return nullptr;
    return source;
}

}  // namespace tavlin
