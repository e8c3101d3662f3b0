#include "import/media_import.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <utility>

#include "base/paths.h"
#include "core/prompts.h"
#include "core/settings.h"
#include "document/document.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/project_file.h"
#include "document/project_text.h"
#include "document/video_object.h"
#include "media/media_registry.h"

namespace tavlin {

namespace {

constexpr int32_t kMaxFactor = 9;
constexpr int32_t kUniqueNames = 100000;
// Each "b_open_another" is a user's answer, but a script answering it forever
// must not keep the command running forever.
constexpr int kMaxRetries = 50;

std::string cantOpenText(const std::string& path) {
    std::string text = documentString("e_cant_open");
    size_t at = text.find("%s");
    if (at == std::string::npos) return text + " " + path;
    return text.substr(0, at) + path + text.substr(at + 2);
}

void tellCantOpen(const std::string& path) { ShowMessage("%s", cantOpenText(path).c_str()); }

const std::string& filterFor(MediaKind kind) {
    switch (kind) {
    case MediaKind::Video: return videoFilter();
    case MediaKind::Image: return imageFilter();
    case MediaKind::Sound: break;
    }
    return audioFilter();
}

bool writableFolder(const std::string& folder) {
    return !folder.empty() && makeFolders(folder) && isDirectory(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string cacheTmpDir() {
    std::string cache;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
        cache = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        cache = joinPath(home, ".cache");
    } else {
        cache = "/tmp";
    }
    return joinPath(joinPath(cache, "tavlin"), "tmp");
}

// Loads a new entry, asking for another file while loading fails. The entry
// is added to the document only once it holds its medium.
MediaResource* loadNew(Document& doc, MediaKind kind, const std::string& path) {
    std::unique_ptr<MediaResource> entry = createResource(kind);
    if (!entry) return nullptr;
    // Remembered among the recently used folders, so media found later are
    // looked for here too.
    (void)locateMediaFile(path);
    std::string tried = path;
    bool loaded = entry->load(tried);
    for (int retry = 0; !loaded && retry < kMaxRetries; ++retry) {
        int answer = AskChoice(cantOpenText(tried), {documentString("b_open_another"), documentString("b_ignore")});
        if (answer != 0) break;
        std::optional<std::string> chosen = prompts().openFile(filterFor(kind), tried);
        if (!chosen || chosen->empty()) break;
        tried = *chosen;
        (void)locateMediaFile(tried);
        // The other file may be one the document already holds.
        if (MediaResource* kept = doc.findResource(kind, tried)) return kept;
        loaded = entry->load(tried);
    }
    if (!loaded) {
        tellCantOpen(path);
        return nullptr;
    }
    entry->modificationTime = fileModificationTime(tried);
    MediaResource* added = entry.get();
    doc.resources(kind).push_back(std::move(entry));
    return added;
}

// Sizes by the fit factor and centres as the import commands do.
void place(Document& doc, MediaObject& object, int32_t w, int32_t h, int32_t x, int32_t y) {
    int32_t f = fitFactor(w, h, doc.stageWidth, doc.stageHeight);
    w /= f;
    h /= f;
    int32_t left = 0, top = 0;
    if (x < 0 || y < 0) {
        left = (doc.stageWidth - w) / 2;
        top = (doc.stageHeight - h) / 2;
    } else {
        left = x - w / 2;
        top = y - h / 2;
    }
    object.setRect(left, top, w, h);
}

MediaObject* addPlaced(Document& doc, std::unique_ptr<MediaObject> object, const char* baseName) {
    doc.snapshot();
    object->uniqueName(baseName);
    MediaObject* added = doc.addObject(std::move(object));
    doc.selectAll(false);
    added->selected = true;
    doc.extendLength();
    doc.recomputeFrameCodes();
    if (doc.timeline) doc.timeline->refresh();
    doc.redraw();
    return added;
}

}  // namespace

std::string tmpDir() {
    std::string configured = settings().Get("tmp_dir", joinPath(executableDir(), "tmp"));
    if (writableFolder(configured)) return configured;
    std::string fallback = cacheTmpDir();
    if (writableFolder(fallback)) return fallback;
    return configured;
}

std::optional<std::string> uniqueName(const std::string& folder, const std::string& prefix,
                                      const std::string& extension) {
    for (int32_t n = 0; n < kUniqueNames; ++n) {
        std::string path = joinPath(folder, prefix + std::to_string(n) + extension);
        // A dangling link counts as taken: writing through it would land elsewhere.
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return path;
    }
    return std::nullopt;
}

std::optional<std::string> uniqueNameOrTell(const std::string& folder, const std::string& prefix,
                                            const std::string& extension) {
    std::optional<std::string> name = uniqueName(folder, prefix, extension);
    if (!name) {
        std::string text = documentString("e_no_tmp_name");
        ShowMessage("%s %s", text.c_str(), joinPath(folder, prefix + "*" + extension).c_str());
    }
    return name;
}

int32_t fitFactor(int32_t w, int32_t h, int32_t stageW, int32_t stageH) {
    for (int32_t f = 1; f <= kMaxFactor; ++f)
        if (w / f <= stageW && h / f <= stageH) return f;
    return kMaxFactor;
}

MediaResource* loadMedia(Document& doc, MediaKind kind, const std::string& path) {
    if (path.empty() || !isRegularFile(path)) {
        tellCantOpen(path);
        return nullptr;
    }
    if (MediaResource* kept = doc.findResource(kind, path)) {
        int64_t now = fileModificationTime(path);
        if (now == kept->modificationTime && kept->loaded()) return kept;
        // Changed on disk since: read again. The entry keeps its place, so
        // every object that uses it shows the new content.
        kept->release();
        if (!kept->load(path)) {
            kept->name = path;  // still the same file for the objects that name it
            tellCantOpen(path);
            return nullptr;
        }
        kept->modificationTime = now;
        return kept;
    }
    return loadNew(doc, kind, path);
}

bool importImage(Document& doc, const std::string& path, int32_t x, int32_t y) {
    auto* picture = dynamic_cast<ImageResource*>(loadMedia(doc, MediaKind::Image, path));
    if (!picture) return false;
    if (!picture->image || picture->image->empty()) {
        ShowMessage("%s", documentString("e_gen_image").c_str());
        return false;
    }
    auto object = std::make_unique<ImageObject>(doc);
    object->attachImage(picture);
    // One display interval at the current frame, whatever attachImage chose.
    object->ranges.assign(1, {doc.currentFrame, doc.currentFrame});
    place(doc, *object, picture->image->width, picture->image->height, x, y);
    addPlaced(doc, std::move(object), "image");
    return true;
}

bool importVideo(Document& doc, const std::string& path, int32_t x, int32_t y) {
    auto* video = dynamic_cast<VideoResource*>(loadMedia(doc, MediaKind::Video, path));
    if (!video) return false;
    if (!video->video || video->video->current.empty()) {
        ShowMessage("%s", documentString("e_gen_video").c_str());
        return false;
    }
    auto object = std::make_unique<VideoObject>(doc);
    object->attachVideo(video);
    place(doc, *object, video->video->current.width, video->video->current.height, x, y);
    addPlaced(doc, std::move(object), "video");
    return true;
}

bool importSound(Document& doc, const std::string& path) {
    auto* sound = dynamic_cast<SoundResource*>(loadMedia(doc, MediaKind::Sound, path));
    if (!sound) return false;
    int32_t frame = doc.currentFrame;
    if (doc.eventOverlaps(kSoundEvent, frame, frame)) {
        ShowMessage("%s", documentString("e_ev_overlap").c_str());
        return false;
    }
    doc.snapshot();
    Event* event = doc.addEvent(kSoundEvent, frame, frame);
    if (!event) return false;
    static_cast<SoundEvent*>(event)->sound = sound;
    doc.recomputeFrameCodes();
    if (doc.timeline) doc.timeline->refresh();
    doc.redraw();
    return true;
}

bool pasteImage(Document& doc, const Image& picture, const std::string& folder) {
    if (picture.empty() || !imageSizeAllowed(picture.width, picture.height)) {
        ShowMessage("%s", documentString("e_gen_image").c_str());
        return false;
    }
    std::optional<std::string> path = uniqueNameOrTell(folder, "ni", ".png");
    if (!path) return false;
    ImageFormat* png = findImageFormat(*path);
    Status written = png ? png->writeWithReason(*path, picture) : Status(Failure::NotRecognised, "no PNG format");
    if (!written) {
        ShowMessage("%s (%s)", documentString("e_save_file").c_str(), written.reason().c_str());
        return false;
    }
    return importImage(doc, *path, -1, -1);
}

bool pasteObjects(Document& doc, const std::string& text) {
    if (text.size() < 2 || text[1] != 'O') return false;
    // Kept so that a fragment that breaks off can be taken back whole.
    UndoHistory history = doc.history;
    std::set<ObjectId> before;
    for (const auto& o : doc.objects) before.insert(o->id);
    std::array<size_t, 3> resourceCounts{doc.videoResources.size(), doc.imageResources.size(),
                                         doc.soundResources.size()};

    doc.snapshot();
    ProjectReader in(text);
    bool whole = false;
    if (in.next()) {
        auto previous = std::move(doc.mediaResolver);
        doc.mediaResolver = [&doc](MediaKind kind, const std::string& name) { return resolveMedia(doc, kind, name); };
        whole = doc.readObjects(in);
        doc.mediaResolver = std::move(previous);
    }
    size_t added = doc.objects.size() - before.size();
    if (whole && added > 0) {
        doc.recomputeFrameCodes();
        doc.redraw();
        return true;
    }
    // Take back what the broken fragment brought.
    std::vector<MediaObject*> fresh;
    for (const auto& o : doc.objects)
        if (!before.count(o->id)) fresh.push_back(o.get());
    for (MediaObject* o : fresh) doc.removeObject(o);
    doc.videoResources.resize(resourceCounts[0]);
    doc.imageResources.resize(resourceCounts[1]);
    doc.soundResources.resize(resourceCounts[2]);
    doc.history = std::move(history);
    doc.recomputeFrameCodes();
    doc.redraw();
    if (!whole) ShowMessage("%s", documentString("e_paste_damaged").c_str());
    return false;
}

}  // namespace tavlin
