// The erase step and the media files of a publication: frame lists with their
// frames, pictures, sounds and the thumbnail.

#include <fnmatch.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "base/paths.h"
#include "base/safe_write.h"
#include "canvas/canvas.h"
#include "document/document.h"
#include "document/video_object.h"
#include "media/audio/au_format.h"
#include "media/image/image_formats.h"
#include "media/video/frame_list_writer.h"
#include "publish/content_file.h"
#include "publish/publisher.h"
#include "render/stage_renderer.h"

namespace tavlin {

namespace fs = std::filesystem;

namespace {

struct ErasePattern {
    const char* pattern;
    uint32_t step;
};

// The files each step writes, in the order they are offered for deletion.
constexpr ErasePattern kEraseList[] = {
    {"v*.jpg", kStepFrames},   {"v*.txt", kStepFrames},          {"i*.jpg", kStepPictures},
    {"i*.gif", kStepPictures}, {"a*.au", kStepSounds},           {"tavlin.txt", kStepContent},
    {"data.jar", kStepDataArchive}, {"tavlin.jar", kStepAppletArchive}, {"thumb*.jpg", kStepThumbnail},
    {"index.htm*", kStepPage},
};

std::string canonical(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(path), ec);
    return ec ? path : p.string();
}

std::string namePart(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The media files the document reads from: a publication must neither delete
// nor overwrite them (a project reopened from its own publication reads its
// pictures and frames from the very folder it publishes to).
std::set<std::string> mediaSources(Document& doc) {
    std::set<std::string> out;
    for (auto kind : {MediaKind::Video, MediaKind::Image, MediaKind::Sound})
        for (auto& r : doc.resources(kind))
            if (!r->name.empty()) out.insert(canonical(r->name));
    return out;
}

bool sameFile(const std::string& a, const std::string& b) { return canonical(a) == canonical(b); }

// Copies a whole file through a temporary name. A source that vanished since
// the project was opened is named in the reason.
StepResult copyWhole(const std::string& from, const std::string& to, const char* what) {
    if (sameFile(from, to)) return StepResult::done();  // already in place
    auto bytes = readFileBytes(from);
    if (!bytes)
        return StepResult::fail(std::string("the ") + what + " file " + from +
                                " cannot be read (was it moved or deleted since the project was opened?)");
    if (!writeFileSafely(to, std::string(bytes->begin(), bytes->end())).ok())
        return StepResult::fail("cannot write " + to + " (is the disk full or the folder read-only?)");
    return StepResult::done();
}

// Reports a step's units through the progress; false once stopped.
bool advance(Progress& progress, int64_t done, int64_t total) { return progress.update(done, total); }

struct ProgressScope {
    Progress& progress;
    ProgressScope(Progress& p, const std::string& title) : progress(p) { progress.begin(title); }
    ~ProgressScope() { progress.end(); }
};

}  // namespace

bool wildcardMatch(const std::string& pattern, const std::string& name) {
    return ::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD | FNM_CASEFOLD) == 0;
}

std::vector<std::string> matchingFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!wildcardMatch(pattern, name)) continue;
        std::error_code dec;
        if (it->is_directory(dec)) continue;
        out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<Image> PublishHost::stagePicture(Document& doc) {
    if (doc.stageWidth < 1 || doc.stageHeight < 1) return std::nullopt;
    Canvas stage(doc.stageWidth, doc.stageHeight);
    renderStage(doc, stage);
    return stage.image();
}

EraseList eraseCandidates(Publisher& p, uint32_t flags) {
    EraseList list;
    std::set<std::string> sources = mediaSources(p.document());
    for (const ErasePattern& row : kEraseList) {
        if (!(flags & row.step)) continue;
        for (const std::string& name : matchingFiles(p.folder(), row.pattern)) {
            std::string full = p.path(name);
            if (sources.count(canonical(full))) continue;
            if (std::find(list.paths.begin(), list.paths.end(), full) != list.paths.end()) continue;
            list.names.push_back(name);
            list.paths.push_back(full);
        }
    }
    return list;
}

StepResult eraseStep(Publisher& p, uint32_t flags) {
    EraseList list = eraseCandidates(p, flags);
    if (list.paths.empty()) return StepResult::done();
    if (!p.host().confirmErase(list.names)) return StepResult::fail("the files of the earlier publication were kept");
    for (const std::string& path : list.paths) std::remove(path.c_str());
    return StepResult::done();
}

// Files the picture, sound and frame steps would write over a file the
// document reads from, found before anything is deleted or written.
StepResult checkMediaTargets(Publisher& p, uint32_t flags) {
    Document& doc = p.document();
    std::set<std::string> sources = mediaSources(doc);
    auto clash = [&](const std::string& target, const std::string& ownSource) {
        return sources.count(canonical(target)) && !sameFile(target, ownSource);
    };
    if (flags & kStepFrames) {
        for (auto& r : doc.videoResources) {
            fs::path source = fs::path(canonical(r->name));
            if (canonical(source.parent_path().string()) == canonical(p.folder()) &&
                wildcardMatch("v*", source.filename().string()))
                return StepResult::fail("the video " + r->name +
                                        " lies in the output folder, where new frame lists would replace it;"
                                        " publish into another folder");
        }
    }
    if (flags & kStepPictures) {
        for (size_t i = 0; i < doc.imageResources.size(); ++i) {
            auto& r = doc.imageResources[i];
            if (r->enabledUseCount <= 0) continue;
            std::string target = p.path(publishedPictureName(int32_t(i), r->name));
            if (clash(target, r->name))
                return StepResult::fail(target + " is a picture this project uses; publish into another folder");
        }
    }
    if (flags & kStepSounds) {
        for (size_t i = 0; i < doc.soundResources.size(); ++i) {
            auto& r = doc.soundResources[i];
            if (r->enabledUseCount <= 0 || r->name.empty()) continue;
            std::string target = p.path(publishedSoundName(int32_t(i)));
            if (clash(target, r->name))
                return StepResult::fail(target + " is a sound this project uses; publish into another folder");
        }
    }
    return StepResult::done();
}

StepResult frameStep(Publisher& p) {
    Document& doc = p.document();
    int32_t running = 0;
    for (auto& object : doc.objects) {
        if (!object->enabled || object->kind() != kVideoObject) continue;
        auto* video = static_cast<VideoObject*>(object.get());
        if (!video->video) continue;
        std::string name = frameListName(running++);
        if (!video->video->video)
            return StepResult::fail("the video " + video->video->name + " of " + object->name +
                                    " is not open (was it moved or deleted?)");
        // An object without a range starts at the document's first frame.
        int32_t first = object->ranges.empty() ? 0 : std::max(object->ranges.front().first, 0);
        std::span<const uint8_t> flags;
        if (size_t(first) < doc.frameFlags.size())
            flags = std::span<const uint8_t>(doc.frameFlags).subspan(size_t(first));
        FrameListWriteOptions options;
        options.width = object->width;
        options.height = object->height;
        options.skip = video->frameStep;
        options.jpegQuality = doc.jpegQuality;
        options.diffQuality = doc.diffQuality;
        options.title = "Frames of " + object->name + " (" + name + ")";
        std::string error;
        if (!writeFrameList(p.progress(), p.path(name), *video->video->video, options, flags, &error))
            return StepResult::fail(p.path(name) + ": " + (p.progress().stopped() ? "stopped" : error));
    }
    return StepResult::done();
}

StepResult pictureStep(Publisher& p) {
    Document& doc = p.document();
    ProgressScope scope(p.progress(), "Pictures");
    const int64_t total = int64_t(doc.imageResources.size());
    for (size_t i = 0; i < doc.imageResources.size(); ++i) {
        auto* r = static_cast<ImageResource*>(doc.imageResources[i].get());
        if (r->enabledUseCount <= 0) continue;
        std::string name = publishedPictureName(int32_t(i), r->name);
        std::string ext = pathExtension(namePart(r->name));
        std::string target = p.path(name);
        // The name keeps the source's extension exactly when the file is
        // published as it is.
        bool asItIs = name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0;
        if (asItIs) {
            StepResult copied = copyWhole(r->name, target, "picture");
            if (!copied) return copied;
        } else {
            if (!r->image) return StepResult::fail("the picture " + r->name + " is not loaded");
            if (!GifFormat().write(target, *r->image))
                return StepResult::fail("cannot write " + target + " (is the disk full or the folder read-only?)");
        }
        if (!advance(p.progress(), int64_t(i) + 1, total)) return StepResult::fail("stopped");
    }
    return StepResult::done();
}

StepResult soundStep(Publisher& p) {
    Document& doc = p.document();
    ProgressScope scope(p.progress(), "Sounds");
    const int64_t total = int64_t(doc.soundResources.size());
    for (size_t i = 0; i < doc.soundResources.size(); ++i) {
        auto* r = static_cast<SoundResource*>(doc.soundResources[i].get());
        if (r->enabledUseCount <= 0 || r->name.empty()) continue;
        std::string target = p.path(publishedSoundName(int32_t(i)));
        if (patternMatches("*.au", namePart(r->name))) {
            StepResult copied = copyWhole(r->name, target, "sound");
            if (!copied) return copied;
        } else {
            if (!r->sound) return StepResult::fail("the sound " + r->name + " is not loaded");
            if (!AuFormat().write(target, *r->sound))
                return StepResult::fail("cannot write " + target + " (is the disk full or the folder read-only?)");
        }
        if (!advance(p.progress(), int64_t(i) + 1, total)) return StepResult::fail("stopped");
    }
    return StepResult::done();
}

StepResult thumbnailStep(Publisher& p) {
    std::optional<Image> picture = p.host().stagePicture(p.document());
    if (!picture || picture->empty()) return StepResult::fail("the stage picture cannot be made");
    JpegFormat jpeg;
    jpeg.quality = std::clamp(p.document().jpegQuality, 1, 100);
    std::string target = p.path("thumb.jpg");
    if (!jpeg.write(target, *picture))
        return StepResult::fail("cannot write " + target + " (is the disk full or the folder read-only?)");
    return StepResult::done();
}

}  // namespace tavlin
