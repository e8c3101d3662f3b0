// tavlin video info|frame|capture: videos through the format registry, and
// recording from the configured capture input.

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands.h"
#include "cli/video_open.h"
#include "core/settings.h"
#include "media/image/image_formats.h"
#include "media/media_registry.h"
#include "media/video/video_capture.h"
#include "cli/terminal_progress.h"
#include "mpeg/mpeg_index.h"

namespace tavlin::cli {

namespace {

const char kUsage[] =
    "usage: tavlin video info FILE [--json] | frame FILE N OUT.png | capture OUT.avi --seconds S [--rate R]\n"
    "       | index FILE.mpg [--force]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 1;
}

// The rate with at most three decimals and no trailing zeros.
std::string rateText(double rate) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", rate);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else out += c;
    }
    return out + "\"";
}

int info(const Args& args) {
    std::string file;
    bool json = false;
    for (const auto& a : args) {
        if (a == "--json") json = true;
        else if (file.empty() && !(a.size() > 1 && a[0] == '-')) file = a;
        else return usage();
    }
    if (file.empty()) return usage();
    OpenedVideo v = openVideoFile(file);
    if (!v.source) return 1;
    const VideoSource& s = *v.source;
    if (json)
        std::printf("{\"width\": %d, \"height\": %d, \"frames\": %d, \"rate\": %s, \"format\": %s}\n", s.current.width,
                    s.current.height, s.frameCount, rateText(s.frameRate).c_str(), jsonString(v.format).c_str());
    else
        std::printf("%d %d %d %s\n", s.current.width, s.current.height, s.frameCount, rateText(s.frameRate).c_str());
    return 0;
}

int frame(const Args& args) {
    if (args.size() != 3) return usage();
    int32_t n = 0;
    if (!parseNumber(args[1], 0, INT32_MAX, n)) return usage();
    OpenedVideo v = openVideoFile(args[0]);
    if (!v.source) return 1;
    if (n >= v.source->frameCount)
        return fail(args[0], "has " + std::to_string(v.source->frameCount) + " frames; there is no frame " + args[1]);
    const Image* picture = v.source->frameAt(n);
    if (!picture || picture->empty()) return fail(args[0], "frame " + args[1] + " cannot be decoded");
    return writePng(args[2], *picture);
}

// Builds the index of an MPEG file (again with --force) and prints its path.
int index(const Args& args) {
    std::string file;
    bool force = false;
    for (const auto& a : args) {
        if (a == "--force") force = true;
        else if (file.empty() && !(a.size() > 1 && a[0] == '-')) file = a;
        else return usage();
    }
    if (file.empty()) return usage();
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return fail(file, "no such file");
    if (!S_ISREG(st.st_mode)) return fail(file, "is not a regular file");
    std::error_code ec;
    std::string path = file;
    if (auto full = std::filesystem::absolute(file, ec); !ec) path = full.lexically_normal().string();
    TerminalProgress progress;
    Result<std::string> built = findOrBuildMpegIndex(path, progress, force);
    if (!built) return fail(file, built.failure() == Failure::None ? "the index build was stopped" : built.reason());
    std::printf("%s\n", built.value().c_str());
    return 0;
}

int capture(const Args& args) {
    std::string out, secondsText, rateArg;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) secondsText = args[++i];
        else if (args[i] == "--rate" && i + 1 < args.size()) rateArg = args[++i];
        else if (out.empty() && !(args[i].size() > 1 && args[i][0] == '-')) out = args[i];
        else return usage();
    }
    int32_t seconds = 0;
    if (out.empty() || !parseNumber(secondsText, 1, 86400, seconds)) return usage();
    Settings settings;
    settings.Load(defaultSettingsPath());
    CaptureInput input;
    input.format = settings.Get("capture_format", input.format);
    input.device = settings.Get("capture_device", input.device);
    VideoCapture capture;
    if (!capture.open(input)) {
        std::fputs("Error: No driver\n", stderr);
        return 1;
    }
    int32_t rate = capture.nativeRate();
    if (!rateArg.empty() && !VideoCapture::rateValid(rateArg, rate)) {
        std::fputs("Error: Bad rate.\n", stderr);
        return 1;
    }
    std::string why;
    if (!capture.startRecording(out, rate, &why)) return fail(out, why);
    capture.setRecordingLimit(double(seconds));
    while (capture.seconds() < double(seconds)) {
        if (!capture.nextFrame()) break;
    }
    if (!capture.stopRecording()) return fail(out, "the recording could not be completed");
    std::printf("%lld frames at %d per second\n", (long long)capture.framesRecorded(), rate);
    return 0;
}

}  // namespace

bool parseNumber(const std::string& s, int64_t lo, int64_t hi, int32_t& out) {
    int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) return false;
    out = int32_t(v);
    return true;
}

OpenedVideo openVideoFile(const std::string& path) {
    OpenedVideo v;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        fail(path, "no such file");
        return v;
    }
    if (S_ISDIR(st.st_mode)) {
        fail(path, "is a folder, not a video");
        return v;
    }
    if (!findVideoFormat(path)) {
        fail(path, "no video format claims this name (use .avi, .mov, .mpg, .mpeg or v*.txt)");
        return v;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        fail(path, "cannot be read");
        return v;
    }
    // The registry's own order: the first format that opens it.
    for (VideoFormat* f = findVideoFormat(path); f; f = findVideoFormat(path, f)) {
        if ((v.source = f->open(path))) {
            v.format = f->description();
            return v;
        }
    }
    fail(path, "no video format can open it");
    return v;
}

int writePng(const std::string& path, const Image& picture) {
    PngFormat png;
    const std::string temp = path + ".tavlin-" + std::to_string(::getpid()) + ".tmp";
    if (!png.write(temp, picture) || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return fail(path, "cannot be written");
    }
    return 0;
}

int videoCommand(const Args& args) {
    if (args.empty()) return usage();
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "info") return info(rest);
    if (args[0] == "frame") return frame(rest);
    if (args[0] == "capture") return capture(rest);
    if (args[0] == "index") return index(rest);
    return usage();
}

}  // namespace tavlin::cli
