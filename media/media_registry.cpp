#include "media/media_registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "base/file_filter.h"

namespace tavlin {

namespace {

template <class F>
struct FormatList {
    std::vector<std::unique_ptr<F>> formats;
    std::string filter;  // cached; empty means "build on next request"
};

FormatList<VideoFormat>& videoList() { static FormatList<VideoFormat> l; return l; }
FormatList<ImageFormat>& imageList() { static FormatList<ImageFormat> l; return l; }
FormatList<AudioFormat>& audioList() { static FormatList<AudioFormat> l; return l; }

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

template <class F>
const std::string& buildFilter(FormatList<F>& list, const char* label) {
    if (list.filter.empty()) {
        std::vector<std::string> parts{label, ""};
        for (auto& fmt : list.formats) parts[1] += fmt->pattern() + ";";
        for (auto& fmt : list.formats) {
            parts.push_back(fmt->description());
            parts.push_back(fmt->pattern());
        }
        list.filter = filterList(parts);
    }
    return list.filter;
}

// Why a file a format claims cannot be read at all, before decoding.
std::optional<Reason> unopenable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return Reason{Failure::CannotRead, errno == ENOENT ? "no such file" : std::strerror(errno)};
    if (S_ISDIR(st.st_mode)) return Reason{Failure::CannotRead, "is a folder"};
    return std::nullopt;
}

std::optional<Reason> unreadable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Reason{Failure::CannotRead, std::strerror(errno)};
    std::fclose(f);
    return std::nullopt;
}

template <class T, class F>
Result<std::unique_ptr<T>> readWithFormat(F* format, const std::string& path, const char* kind) {
    if (auto why = unopenable(path)) return *why;
    if (!format) return {Failure::NotRecognised, std::string("no ") + kind + " format claims this name"};
    if (auto why = unreadable(path)) return *why;
    return format->readWithReason(path);
}

template <class F>
F* findIn(FormatList<F>& list, const std::string& path, const F* after) {
    auto it = list.formats.begin();
    if (after) {
        it = std::find_if(list.formats.begin(), list.formats.end(),
                          [after](const auto& f) { return f.get() == after; });
        if (it == list.formats.end()) return nullptr;
        ++it;
    }
    for (; it != list.formats.end(); ++it)
        if (patternMatches((*it)->pattern(), path)) return it->get();
    return nullptr;
}

}  // namespace

std::string pathExtension(const std::string& path) {
    auto dot = path.rfind('.');
    if (dot == std::string::npos) return {};
    return path.substr(dot);
}

bool patternMatches(const std::string& pattern, const std::string& path) {
    std::string ext = pathExtension(path);
    if (ext.empty()) return false;
    return lower(pattern).find(lower(ext)) != std::string::npos;
}

void registerVideoFormat(std::unique_ptr<VideoFormat> f) {
    videoList().formats.push_back(std::move(f));
    videoList().filter.clear();
}
void registerImageFormat(std::unique_ptr<ImageFormat> f) {
    imageList().formats.push_back(std::move(f));
    imageList().filter.clear();
}
void registerAudioFormat(std::unique_ptr<AudioFormat> f) {
    audioList().formats.push_back(std::move(f));
    audioList().filter.clear();
}

VideoFormat* findVideoFormat(const std::string& path, const VideoFormat* after) {
    return findIn(videoList(), path, after);
}

std::unique_ptr<VideoSource> openVideo(const std::string& path) {
    for (VideoFormat* f = findVideoFormat(path); f; f = findVideoFormat(path, f)) {
        if (auto src = f->open(path)) return src;
    }
    return nullptr;
}

ImageFormat* findImageFormat(const std::string& path) { return findIn<ImageFormat>(imageList(), path, nullptr); }

std::unique_ptr<Image> readImage(const std::string& path) {
    ImageFormat* f = findImageFormat(path);
    return f ? f->read(path) : nullptr;
}

Result<std::unique_ptr<Image>> readImageWithReason(const std::string& path) {
    return readWithFormat<Image>(findImageFormat(path), path, "picture");
}

Status ImageFormat::writeWithReason(const std::string& path, const Image& image) {
    if (write(path, image)) return Status::success();
    return {Failure::CannotWrite, "cannot be written"};
}

Status AudioFormat::writeWithReason(const std::string& path, const Sound& sound) {
    if (write(path, sound)) return Status::success();
    return {Failure::CannotWrite, "cannot be written"};
}

Result<std::unique_ptr<Image>> ImageFormat::readWithReason(const std::string& path) {
    if (auto img = read(path)) return img;
    return {Failure::Damaged, "cannot be decoded as " + description()};
}

AudioFormat* findAudioFormat(const std::string& path) { return findIn<AudioFormat>(audioList(), path, nullptr); }

std::unique_ptr<Sound> readSound(const std::string& path) {
    AudioFormat* f = findAudioFormat(path);
    return f ? f->read(path) : nullptr;
}

Result<std::unique_ptr<Sound>> readSoundWithReason(const std::string& path) {
    return readWithFormat<Sound>(findAudioFormat(path), path, "sound");
}

Result<std::unique_ptr<Sound>> AudioFormat::readWithReason(const std::string& path) {
    if (auto sound = read(path)) return sound;
    return {Failure::Damaged, "cannot be decoded as " + description()};
}

const std::string& videoFilter() { return buildFilter(videoList(), "All Video"); }
const std::string& imageFilter() { return buildFilter(imageList(), "All Image"); }
const std::string& audioFilter() { return buildFilter(audioList(), "All Wave"); }

const std::vector<std::unique_ptr<VideoFormat>>& videoFormats() { return videoList().formats; }
const std::vector<std::unique_ptr<ImageFormat>>& imageFormats() { return imageList().formats; }
const std::vector<std::unique_ptr<AudioFormat>>& audioFormats() { return audioList().formats; }

void clearRegistry() {
    videoList() = {};
    imageList() = {};
    audioList() = {};
}

}  // namespace tavlin
