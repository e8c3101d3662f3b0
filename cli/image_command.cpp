// tavlin image info|convert|scale: pictures through the format registry.

#include <cstdio>
#include <string>

#include "base/numbers.h"

#include "cli/commands.h"
#include "media/image/image_formats.h"
#include "media/media_registry.h"

namespace tavlin::cli {

namespace {

const char kUsage[] =
    "usage: tavlin image info FILE | convert IN OUT [--quality N] | scale IN OUT W H [--mode averaged|nearest|fit]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 1;
}

bool parseInt(const std::string& s, int64_t lo, int64_t hi, int32_t& out) {
    auto v = parseWholeInt(s, lo, hi);
    if (v) out = int32_t(*v);
    return v.has_value();
}

// Positional words and "--name value" options; false on anything unknown.
struct Parsed {
    std::vector<std::string> words;
    std::string quality, mode;
};

bool parse(const Args& args, bool allowQuality, bool allowMode, Parsed& p) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--quality" && allowQuality && i + 1 < args.size() && p.quality.empty()) p.quality = args[++i];
        else if (a == "--mode" && allowMode && i + 1 < args.size() && p.mode.empty()) p.mode = args[++i];
        else if (a.size() > 1 && a[0] == '-' && a != "-") return false;
        else p.words.push_back(a);
    }
    return true;
}

// Reads a picture, or says on standard error why it cannot.
std::unique_ptr<Image> readPicture(const std::string& path, int& status) {
    status = 1;
    auto read = readImageWithReason(path);
    if (read) {
        status = 0;
        return read.take();
    }
    if (read.failure() == Failure::CannotRead) fail(path, read.reason());
    else if (!findImageFormat(path)) fail(path, "no picture format claims this name (use .png, .jpg, .jpeg or .gif)");
    else fail(path, "cannot be decoded as a picture: " + read.reason());
    return nullptr;
}

// The formats replace a file only once the new one is complete, so a failed
// write never destroys an existing file.
int writePicture(const std::string& path, const Image& image, ImageFormat& format) {
    Status written = format.writeWithReason(path, image);
    return written ? 0 : fail(path, written.reason());
}

// The format OUT's name chooses; JPEG gets the quality asked for (75 unless given).
ImageFormat* outputFormat(const std::string& path, int32_t quality) {
    ImageFormat* format = findImageFormat(path);
    if (!format) {
        fail(path, "no picture format claims this name (use .png, .jpg, .jpeg or .gif)");
        return nullptr;
    }
    if (auto* jpeg = dynamic_cast<JpegFormat*>(format)) jpeg->quality = quality;
    return format;
}

int info(const Parsed& p) {
    if (p.words.size() != 1) return usage();
    int status = 0;
    auto img = readPicture(p.words[0], status);
    if (!img) return status;
    std::printf("%d %d %d\n", img->width, img->height, img->transparent ? 1 : 0);
    return 0;
}

int convert(const Parsed& p) {
    if (p.words.size() != 2) return usage();
    int32_t quality = 75;
    if (!p.quality.empty() && !parseInt(p.quality, 1, 100, quality)) return usage();
    int status = 0;
    auto img = readPicture(p.words[0], status);
    if (!img) return status;
    ImageFormat* format = outputFormat(p.words[1], quality);
    if (!format) return 1;
    return writePicture(p.words[1], *img, *format);
}

int scale(const Parsed& p) {
    if (p.words.size() != 4) return usage();
    int32_t w = 0, h = 0;
    if (!parseInt(p.words[2], 1, INT32_MAX, w) || !parseInt(p.words[3], 1, INT32_MAX, h)) return usage();
    const std::string mode = p.mode.empty() ? "averaged" : p.mode;
    if (mode != "averaged" && mode != "nearest" && mode != "fit") return usage();
    if (!imageSizeAllowed(w, h))
        return fail(p.words[1], "a picture of " + p.words[2] + " x " + p.words[3] + " would be too large");
    int status = 0;
    auto img = readPicture(p.words[0], status);
    if (!img) return status;
    ImageFormat* format = outputFormat(p.words[1], 75);
    if (!format) return 1;
    auto out = mode == "averaged" ? scaleAveraged(*img, w, h)
               : mode == "nearest" ? scaleNearest(*img, w, h)
                                   : fitToSize(*img, w, h);
    if (!out) return fail(p.words[1], "not enough memory for the scaled picture");
    return writePicture(p.words[1], *out, *format);
}

}  // namespace

int imageCommand(const Args& args) {
    if (args.empty()) return usage();
    const std::string& verb = args[0];
    const Args rest(args.begin() + 1, args.end());
    Parsed p;
    if (verb == "info") return parse(rest, false, false, p) ? info(p) : usage();
    if (verb == "convert") return parse(rest, true, false, p) ? convert(p) : usage();
    if (verb == "scale") return parse(rest, false, true, p) ? scale(p) : usage();
    return usage();
}

}  // namespace tavlin::cli
