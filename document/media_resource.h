#pragma once
// A media file loaded once and shared by every object and event that names it.
// Only the document's three lists own resources; objects and events borrow.

#include <cstdint>
#include <memory>
#include <string>

#include "media/image.h"
#include "media/media_registry.h"
#include "media/audio/sound.h"

namespace tavlin {

// Also the index of the resource list and the kind of stored media names.
enum class MediaKind : int32_t { Video = 0, Image = 1, Sound = 2 };

class MediaResource {
public:
    virtual ~MediaResource() = default;
    // Loads through the media format registry; on success the path becomes
    // the name, on failure the name is cleared.
    virtual bool load(const std::string& path) = 0;
    // Drops the media and clears the name.
    virtual void release() = 0;
    virtual MediaKind kind() const = 0;
    virtual bool loaded() const = 0;

    int32_t useCount = 0;         // objects and events using it (counted by a purge)
    int32_t enabledUseCount = 0;  // how many of those are enabled
    std::string name;             // the path it was loaded from
    int64_t modificationTime = 0; // of the file when loaded; 0 when unknown
};

class ImageResource : public MediaResource {
public:
    bool load(const std::string& path) override;
    void release() override;
    MediaKind kind() const override { return MediaKind::Image; }
    bool loaded() const override { return image != nullptr; }
    std::unique_ptr<Image> image;
};

class VideoResource : public MediaResource {
public:
    bool load(const std::string& path) override;
    void release() override;
    MediaKind kind() const override { return MediaKind::Video; }
    bool loaded() const override { return video != nullptr; }
    std::unique_ptr<VideoSource> video;
};

class SoundResource : public MediaResource {
public:
    bool load(const std::string& path) override;
    void release() override;
    MediaKind kind() const override { return MediaKind::Sound; }
    bool loaded() const override { return sound != nullptr; }
    std::unique_ptr<Sound> sound;
};

// A new, empty resource of the kind.
std::unique_ptr<MediaResource> createResource(MediaKind kind);
// Seconds of the file's last change, 0 when it cannot be examined.
int64_t fileModificationTime(const std::string& path);

}  // namespace tavlin
