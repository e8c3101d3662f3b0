#include "document/media_resource.h"

#include <sys/stat.h>

namespace tavlin {

bool ImageResource::load(const std::string& path) {
    image = readImage(path);
    if (!image) {
        name.clear();
        return false;
    }
    name = path;
    return true;
}

void ImageResource::release() {
    image.reset();
    name.clear();
}

bool VideoResource::load(const std::string& path) {
    video = openVideo(path);
    if (!video) {
        name.clear();
        return false;
    }
    name = path;
    return true;
}

void VideoResource::release() {
    video.reset();
    name.clear();
}

bool SoundResource::load(const std::string& path) {
    sound = readSound(path);
    if (!sound) {
        name.clear();
        return false;
    }
    name = path;
    return true;
}

void SoundResource::release() {
    sound.reset();
    name.clear();
}

std::unique_ptr<MediaResource> createResource(MediaKind kind) {
    switch (kind) {
    case MediaKind::Video: return std::make_unique<VideoResource>();
    case MediaKind::Image: return std::make_unique<ImageResource>();
    case MediaKind::Sound: return std::make_unique<SoundResource>();
    }
    return nullptr;
}

int64_t fileModificationTime(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
    return int64_t(st.st_mtime);
}

}  // namespace tavlin
