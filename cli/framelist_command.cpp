// tavlin framelist write|info|frame: frame lists written from any video and
// read back.

#include <cstdio>
#include <string>
#include <vector>

#include "base/paths.h"
#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "cli/video_open.h"
#include "core/resource_folder.h"
#include "media/video/frame_list_source.h"
#include "media/video/frame_list_writer.h"

namespace tavlin::cli {

namespace {

const char kUsage[] =
    "usage: tavlin framelist write VIDEO OUT.txt [--size W H] [--skip N] [--jpeg-quality Q] [--diff-quality Q]\n"
    "                              (--codes DIGITS | --key-every K)\n"
    "       tavlin framelist info LIST.txt [--json]\n"
    "       tavlin framelist frame LIST.txt N OUT.png\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 1;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int write(const Args& args) {
    std::vector<std::string> words;
    FrameListWriteOptions o;
    std::string codes, keyEvery;
    bool sized = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool more = i + 1 < args.size();
        if (a == "--size" && i + 2 < args.size()) {
            if (!parseNumber(args[i + 1], 1, 10000, o.width) || !parseNumber(args[i + 2], 1, 10000, o.height))
                return usage();
            sized = true;
            i += 2;
        } else if (a == "--skip" && more) {
            if (!parseNumber(args[++i], 0, 1000000, o.skip)) return usage();
        } else if (a == "--jpeg-quality" && more) {
            if (!parseNumber(args[++i], 1, 100, o.jpegQuality)) return usage();
        } else if (a == "--diff-quality" && more) {
            if (!parseNumber(args[++i], 0, 100, o.diffQuality)) return usage();
        } else if (a == "--codes" && more && codes.empty()) {
            codes = args[++i];
        } else if (a == "--key-every" && more && keyEvery.empty()) {
            keyEvery = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return usage();
        } else {
            words.push_back(a);
        }
    }
    if (words.size() != 2 || codes.empty() == keyEvery.empty()) return usage();
    OpenedVideo v = openVideoFile(words[0]);
    if (!v.source) return 1;
    if (!sized) {
        o.width = v.source->current.width;
        o.height = v.source->current.height;
    }
    const int64_t step = int64_t(o.skip) + 1;
    const int64_t frames = (int64_t(v.source->frameCount) + step - 1) / step;
    std::vector<uint8_t> flags;
    if (!codes.empty()) {
        if (int64_t(codes.size()) != frames)
            return fail(words[0], "has " + std::to_string(frames) + " timeline frames; --codes gives " +
                                      std::to_string(codes.size()));
        for (char c : codes) {
            if (c < '0' || c > '3') return usage();
            flags.push_back(uint8_t(c - '0'));
        }
    } else {
        int32_t k = 0;
        if (!parseNumber(keyEvery, 1, INT32_MAX, k)) return usage();
        for (int64_t i = 0; i < frames; ++i) flags.push_back(i % k == 0 ? 2 : 3);
    }
    ResourceFolder res;
    res.Open(joinPath(executableDir(), "res"));
    const std::string sumText = res.String("diff_sum_h");
    o.diffSumHeight = diffSumHeight(&sumText);
    o.title = res.String("saving");
    if (o.title.empty() || o.title[0] == '(') o.title = "Saving";
    TerminalProgress progress;
    std::string error;
    if (!writeFrameList(progress, words[1], *v.source, o, flags, &error)) return fail(words[1], error);
    return 0;
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
    FrameListSource list;
    if (!list.load(file)) return fail(file, list.error());
    const auto& recs = list.records();
    if (json) {
        std::printf("{\"width\": %d, \"height\": %d, \"frames\": %d, \"records\": [", list.width(), list.height(),
                    list.frameCount);
        for (size_t i = 0; i < recs.size(); ++i)
            std::printf("%s[\"%c\", %d, %s]", i ? ", " : "", recs[i].type, recs[i].frame,
                        recs[i].type == 'd' ? "null" : jsonString(recs[i].file).c_str());
        std::printf("]}\n");
    } else {
        std::printf("%d %d %d %zu\n", list.width(), list.height(), list.frameCount, recs.size());
        for (const auto& r : recs)
            std::printf("%c %d%s%s\n", r.type, r.frame, r.type == 'd' ? "" : " ", r.file.c_str());
    }
    return 0;
}

int frame(const Args& args) {
    if (args.size() != 3) return usage();
    int32_t n = 0;
    if (!parseNumber(args[1], 0, INT32_MAX, n)) return usage();
    FrameListSource list;
    if (!list.load(args[0])) return fail(args[0], list.error());
    const Image* picture = list.frameAt(n);
    if (!picture || picture->empty()) return fail(args[0], "has no frames");
    return writePng(args[2], *picture);
}

}  // namespace

int framelistCommand(const Args& args) {
    if (args.empty()) return usage();
    const Args rest(args.begin() + 1, args.end());
    if (args[0] == "write") return write(rest);
    if (args[0] == "info") return info(rest);
    if (args[0] == "frame") return frame(rest);
    return usage();
}

}  // namespace tavlin::cli
