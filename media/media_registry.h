#pragma once
// Format objects for every kind of media file, and the three process-wide
// lists that choose a format by a file's name.

#include <memory>
#include <string>
#include <vector>

#include "base/result.h"
#include "media/image.h"
#include "media/audio/sound.h"

namespace tavlin {

class VideoSource {
public:
    virtual ~VideoSource() = default;
    // Reads the file and prepares the current frame; called by the format's open.
    virtual bool load(const std::string& path) = 0;
    // The picture of the 0-based frame index, owned by the source and valid
    // until the next call, or nothing.
    virtual const Image* frameAt(int32_t index) = 0;
    // Two operations no source gives a meaning to yet; see mpeg source.
    virtual void reserved3(int32_t* a, int32_t* b, int32_t* c) { (void)a; (void)b; (void)c; }
    virtual int32_t reserved2(int32_t a, int32_t b, int32_t* out) { (void)a; (void)b; (void)out; return 0; }

    Image current;            // created by load at the video's size
    int32_t frameCount = 0;
    double frameRate = 0.0;   // frames per second, 0 when the format has none
};

class VideoFormat {
public:
    virtual ~VideoFormat() = default;
    virtual std::string description() const = 0;
    virtual std::string pattern() const = 0;
    virtual std::unique_ptr<VideoSource> open(const std::string& path) = 0;
};

class ImageFormat {
public:
    virtual ~ImageFormat() = default;
    virtual std::string description() const = 0;
    virtual std::string pattern() const = 0;
    virtual std::unique_ptr<Image> read(const std::string& path) = 0;
    virtual bool write(const std::string& path, const Image& image) = 0;
    // The picture, or why there is none. Formats that can tell more than
    // "cannot be decoded" override it and make read() its thin wrapper.
    virtual Result<std::unique_ptr<Image>> readWithReason(const std::string& path);
    // write() saying why it failed; the default knows only that it did.
    virtual Status writeWithReason(const std::string& path, const Image& image);
};

class AudioFormat {
public:
    virtual ~AudioFormat() = default;
    virtual std::string description() const = 0;
    virtual std::string pattern() const = 0;
    virtual std::unique_ptr<Sound> read(const std::string& path) = 0;
    virtual bool write(const std::string& path, const Sound& sound) = 0;
    // The sound, or why there is none (as ImageFormat::readWithReason).
    virtual Result<std::unique_ptr<Sound>> readWithReason(const std::string& path);
    virtual Status writeWithReason(const std::string& path, const Sound& sound);
};

// The value of a result, or null: the pointer-returning readers over the
// result-returning ones.
template <typename T>
std::unique_ptr<T> valueOrNull(Result<std::unique_ptr<T>> r) {
    return r ? r.take() : nullptr;
}

// The extension of a path: from its last "." to the end, dot included; empty
// when the path has no ".".
std::string pathExtension(const std::string& path);
// A pattern claims a path when it holds the path's extension, ignoring case.
bool patternMatches(const std::string& pattern, const std::string& path);

void registerVideoFormat(std::unique_ptr<VideoFormat> format);
void registerImageFormat(std::unique_ptr<ImageFormat> format);
void registerAudioFormat(std::unique_ptr<AudioFormat> format);

// The next video format after `after` (from the start when null) that claims the path.
VideoFormat* findVideoFormat(const std::string& path, const VideoFormat* after = nullptr);
std::unique_ptr<VideoSource> openVideo(const std::string& path);
ImageFormat* findImageFormat(const std::string& path);
std::unique_ptr<Image> readImage(const std::string& path);
AudioFormat* findAudioFormat(const std::string& path);
std::unique_ptr<Sound> readSound(const std::string& path);
// The same, saying why a file failed: no format claims its name
// (NotRecognised), it cannot be opened (CannotRead), or the format's reason.
Result<std::unique_ptr<Image>> readImageWithReason(const std::string& path);
Result<std::unique_ptr<Sound>> readSoundWithReason(const std::string& path);

// Filter lists for the open-file dialog: zero-terminated strings ended by an
// empty one ("All Image", all patterns, then description/pattern pairs).
// The returned string holds the embedded zero bytes.
const std::string& videoFilter();
const std::string& imageFilter();
const std::string& audioFilter();

const std::vector<std::unique_ptr<VideoFormat>>& videoFormats();
const std::vector<std::unique_ptr<ImageFormat>>& imageFormats();
const std::vector<std::unique_ptr<AudioFormat>>& audioFormats();

// Empties all three lists (tests, and the end of the program).
void clearRegistry();

// Registers the picture formats (PNG, JPEG, GIF), in that order.
void registerImageFormats();
// Registers the sound formats (AU, WAV), in that order.
void registerAudioFormats();
// Registers the video formats that exist, in the order AVI, MPEG, QuickTime,
// frame list, generic container; MPEG is the format handed in (none: left out).
void registerVideoFormats(std::unique_ptr<VideoFormat> mpeg = nullptr);

}  // namespace tavlin
