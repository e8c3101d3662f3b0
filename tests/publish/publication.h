#pragma once
// A document that uses every field of the content file, with real pictures
// and sounds on disk, shared by the content file tests.

#include <memory>
#include <string>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/video_object.h"
#include "media/audio/au_format.h"
#include "media/image/image_formats.h"
#include "media/media_registry.h"
#include "support/scratch.h"

namespace tavlin::test {

inline void registerMedia() {
    clearRegistry();
    registerImageFormats();
    registerAudioFormats();
}

// Writes a w x h picture of one colour in the format its name chooses.
inline std::string writePicture(const ScratchDir& dir, const std::string& name, uint32_t colour, int32_t w = 4,
                                int32_t h = 3) {
    Image image(w, h);
    for (auto& p : image.pixels) p = colour;
    std::string path = dir.file(name);
    ImageFormat* format = findImageFormat(path);
    if (!format || !format->write(path, image)) return {};
    return path;
}

inline std::string writeSound(const ScratchDir& dir, const std::string& name, int samples) {
    Sound sound;
    for (int i = 0; i < samples; ++i) {
        int16_t v = int16_t((i * 937) % 20000 - 10000);
        sound.data.push_back(uint8_t(v));
        sound.data.push_back(uint8_t(uint16_t(v) >> 8));
    }
    std::string path = dir.file(name);
    return AuFormat().write(path, sound) ? path : std::string();
}

template <typename T>
T* loaded(Document& doc, MediaKind kind, const std::string& path) {
    return static_cast<T*>(doc.loadResource(kind, path));
}

// A resource that only names a file, for media no format here can open.
template <typename T>
T* named(Document& doc, MediaKind kind, const std::string& name) {
    auto r = createResource(kind);
    r->name = name;
    T* raw = static_cast<T*>(r.get());
    doc.resources(kind).push_back(std::move(r));
    return raw;
}

// Appends in document order (index 0 first), as the file lists objects.
template <typename T>
T* append(Document& doc, const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h,
          std::vector<FrameRange> ranges) {
    auto o = std::make_unique<T>(doc);
    o->name = name;
    o->left = x;
    o->top = y;
    o->width = w;
    o->height = h;
    o->ranges = std::move(ranges);
    T* raw = o.get();
    doc.objects.push_back(std::move(o));
    return raw;
}

template <typename T>
T* addEvent(Document& doc, int32_t kind, int32_t first, int32_t last, int32_t wait) {
    auto* e = static_cast<T*>(doc.addEvent(kind, first, last));
    e->wait = wait;
    return e;
}

}  // namespace tavlin::test
