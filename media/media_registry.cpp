#include "media/media_registry.h"

#include <algorithm>
#include <cctype>

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
        std::string f = label;
        f.push_back('\0');
        for (auto& fmt : list.formats) f += fmt->pattern() + ";";
        f.push_back('\0');
        for (auto& fmt : list.formats) {
            f += fmt->description();
            f.push_back('\0');
            f += fmt->pattern();
            f.push_back('\0');
        }
        f.push_back('\0');
        list.filter = std::move(f);
    }
    return list.filter;
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

AudioFormat* findAudioFormat(const std::string& path) { return findIn<AudioFormat>(audioList(), path, nullptr); }

std::unique_ptr<Sound> readSound(const std::string& path) {
    AudioFormat* f = findAudioFormat(path);
    return f ? f->read(path) : nullptr;
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
