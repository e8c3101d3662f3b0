#include "mpeg/mpeg_index.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/line_reader.h"
#include "base/numbers.h"
#include "base/paths.h"
#include "base/safe_write.h"
#include "mpeg/start_codes.h"

namespace tavlin {

namespace {

int64_t modifiedTime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec : -1;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
        if (j > i) out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

std::optional<int64_t> hexOffset(std::string_view w) {
    if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) w.remove_prefix(2);
    if (w.empty() || w.size() > 15) return std::nullopt;
    int64_t v = 0;
    for (char c : w) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return std::nullopt;
        v = v * 16 + d;
    }
    return v;
}

// The scan of the stream: start codes with the bytes that follow them, which
// may lie in the next piece.
class IndexScan {
public:
    IndexScan(std::FILE* out, Progress& progress, int64_t sizeKb) : out_(out), progress_(progress), sizeKb_(sizeKb) {}

    // False once the user stopped the build.
    bool feed(const MpegChunk& c) {
        size_t i = 0;
        if (need_ > 0) {
            while (need_ > 0 && i < c.size) payload_[have_++] = c.data[i++], --need_;
            if (need_ > 0) return true;
            if (!finish()) return false;
        }
        for (;;) {
            const size_t j = scanner_.find(c.data, c.size, i);
            if (j >= c.size) break;
            // The read holding the last zero of the prefix.
            const int64_t at = j >= 2 ? c.offset : previous_;
            code_ = c.data[j];
            i = j + 1;
            if (code_ == startcode::kSequenceHeader) {
                sawSequence_ = true;
                std::fprintf(out_, "S %" PRIx64 "\n", at);
                continue;
            }
            if (code_ != startcode::kGroup && code_ != startcode::kPicture) continue;
            codeAt_ = at;
            need_ = code_ == startcode::kGroup ? 4 : 2;
            have_ = 0;
            while (need_ > 0 && i < c.size) payload_[have_++] = c.data[i++], --need_;
            if (need_ > 0) break;
            if (!finish()) return false;
        }
        previous_ = c.offset;
        return true;
    }

    int32_t pictures() const { return pictures_; }
    bool sawSequence() const { return sawSequence_; }

private:
    bool finish() {
        scanner_.reset();
        if (code_ == startcode::kPicture) {
            const int type = (payload_[1] >> 3) & 7;
            if (type >= 1 && type <= 3) ++pictures_;
            return true;
        }
        const uint32_t t = uint32_t(payload_[0]) << 24 | uint32_t(payload_[1]) << 16 | uint32_t(payload_[2]) << 8 | payload_[3];
        std::fprintf(out_, "G %d %" PRIx64 " %02d:%02d:%02d.%02d\n", pictures_, codeAt_, int((t >> 26) & 31),
                     int((t >> 20) & 63), int((t >> 13) & 63), int((t >> 7) & 63));
        return progress_.update(codeAt_ / 1024, sizeKb_);
    }

    std::FILE* out_;
    Progress& progress_;
    int64_t sizeKb_;
    StartCodeScanner scanner_;
    int64_t previous_ = 0, codeAt_ = 0;
    uint8_t code_ = 0;
    uint8_t payload_[4] = {};
    int need_ = 0, have_ = 0;
    int32_t pictures_ = 0;
    bool sawSequence_ = false;
};

std::string cacheTmpFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string base;
    if (cache && *cache) base = cache;
    else if (const char* home = std::getenv("HOME"); home && *home) base = joinPath(home, ".cache");
    else return {};
    return joinPath(joinPath(base, "tavlin"), "tmp");
}

// The SRC line of an index file (empty when it has none).
std::string indexSource(const std::string& indexPath) {
    std::FILE* f = std::fopen(indexPath.c_str(), "rb");
    if (!f) return {};
    char line[4096];
    std::string src;
    if (std::fgets(line, sizeof line, f) && std::strncmp(line, "SRC ", 4) == 0) {
        src = line + 4;
        while (!src.empty() && (src.back() == '\n' || src.back() == '\r')) src.pop_back();
    }
    std::fclose(f);
    return src;
}

}  // namespace

int MpegIndex::groupOf(int32_t n) const {
    auto it = std::upper_bound(groups.begin(), groups.end(), n,
                               [](int32_t v, const MpegGroup& g) { return v < g.first; });
    return it == groups.begin() ? -1 : int(it - groups.begin()) - 1;
}

std::string mpegIndexPath(const std::string& videoPath) { return videoPath + ".index"; }

std::vector<std::string> mpegIndexFallbackFolders() {
    std::vector<std::string> out{joinPath(executableDir(), "tmp")};
    if (std::string c = cacheTmpFolder(); !c.empty()) out.push_back(c);
    return out;
}

Result<MpegIndex> readMpegIndex(const std::string& indexPath, int64_t fileSize) {
    std::FILE* f = std::fopen(indexPath.c_str(), "rb");
    if (!f) return Result<MpegIndex>::failure(Failure::CannotRead, "Cannot read index file " + indexPath);
    MpegIndex index;
    bool sawMax = false;
    std::string line;
    auto bad = [&](const std::string& why) {
        std::fclose(f);
        return Result<MpegIndex>::failure(Failure::Damaged, "Invalid index file (" + why + ")");
    };
    char buf[4096];
    bool first = true;
    while (std::fgets(buf, sizeof buf, f)) {
        std::string_view l(buf);
        while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.remove_suffix(1);
        if (first && l.substr(0, 4) == "SRC ") index.source = std::string(l.substr(4));
        first = false;
        const auto w = words(l);
        if (w.empty()) continue;
        if (w[0] == "ES" || w[0] == "SS") {
            index.hasKind = true;
            index.kind = w[0] == "ES" ? MpegStreamKind::Elementary : MpegStreamKind::Program;
        } else if (w[0] == "TS") {
            auto pid = w.size() > 1 ? hexOffset(w[1]) : std::nullopt;
            if (!pid || *pid > 0x1FFF) return bad("PID");
            index.hasKind = true;
            index.kind = MpegStreamKind::Transport;
            index.pid = int(*pid);
        } else if (w[0] == "S") {
            auto o = w.size() > 1 ? hexOffset(w[1]) : std::nullopt;
            if (!o || *o >= fileSize) return bad("sequence header offset");
            index.sequences.push_back(*o);
        } else if (w[0] == "G") {
            auto n = w.size() > 1 ? parseWholeInt(w[1], 0, INT32_MAX) : std::nullopt;
            auto o = w.size() > 2 ? hexOffset(w[2]) : std::nullopt;
            if (!n || !o || *o >= fileSize) return bad("group offset");
            MpegGroup g;
            g.first = int32_t(*n);
            g.offset = *o;
            if (w.size() > 3) std::sscanf(std::string(w[3]).c_str(), "%d:%d:%d.%d", &g.hours, &g.minutes, &g.seconds, &g.pictures);
            if (!index.groups.empty()) {
                const MpegGroup& p = index.groups.back();
                if (g.first < p.first || g.offset < p.offset) return bad("groups out of order");
                if (g.offset == p.offset) g.sameOffset = p.sameOffset + 1;
            }
            if (!index.sequences.empty()) {
                g.sequenceOffset = index.sequences.back();
                int same = 0;
                for (auto it = index.sequences.rbegin() + 1; it != index.sequences.rend() && *it == g.sequenceOffset; ++it) ++same;
                g.sequenceSameOffset = same;
            }
            index.groups.push_back(g);
        } else if (w[0] == "MAX") {
            auto n = w.size() > 1 ? parseWholeInt(w[1], 0, INT32_MAX) : std::nullopt;
            if (!n) return bad("picture count");
            index.max = int32_t(*n);
            sawMax = true;
        }
    }
    std::fclose(f);
    // A build that never finished has no count; its groups cannot be trusted.
    if (!sawMax) return Result<MpegIndex>::failure(Failure::Damaged, "Invalid index file (no picture count)");
    if (!index.groups.empty() && index.groups.back().first > index.max)
        return Result<MpegIndex>::failure(Failure::Damaged, "Invalid index file (picture count)");
    return index;
}

IndexBuild buildMpegIndex(const std::string& videoPath, const std::string& indexPath, Progress& progress,
                          std::string* why) {
    MpegStreamReader reader;
    if (!reader.open(videoPath)) {
        if (why) *why = reader.error();
        return IndexBuild::CouldNotStart;
    }
    const int64_t sizeKb = reader.fileSize() / 1024;
    bool started = false, stopped = false, noVideo = false;
    Status written = writeFileSafely(indexPath, [&](std::FILE* out) {
        started = true;
        std::fprintf(out, "SRC %s\n", videoPath.c_str());
        progress.begin(kMpegIndexTitle);
        switch (reader.kind()) {
        case MpegStreamKind::Transport: std::fprintf(out, "TS 0x%x\n", reader.pid()); break;
        case MpegStreamKind::Program: std::fputs("SS\n", out); break;
        case MpegStreamKind::Elementary: std::fputs("ES\n", out); break;
        }
        IndexScan scan(out, progress, sizeKb);
        MpegChunk c;
        while (reader.next(c))
            if (!scan.feed(c)) break;
        std::fprintf(out, "MAX %d\n", scan.pictures());
        stopped = !progress.update(sizeKb, sizeKb);
        progress.end();
        // A stopped build leaves nothing behind, nor does a file that holds
        // no MPEG video at all.
        noVideo = !scan.sawSequence();
        return !stopped && !noVideo;
    });
    if (stopped) {
        if (why) *why = "stopped";
        return IndexBuild::Stopped;
    }
    if (noVideo) {
        if (why) *why = "Cannot read Sequence Header";
        return IndexBuild::NoVideo;
    }
    if (!written) {
        if (why) *why = started ? written.reason() : "Cannot create " + indexPath;
        return IndexBuild::CouldNotStart;
    }
    return IndexBuild::Built;
}

Result<std::string> findOrBuildMpegIndex(const std::string& videoPath, Progress& progress, bool rebuild) {
    const std::string beside = mpegIndexPath(videoPath);
    const std::string name = fileNameOf(beside);
    const int64_t videoTime = modifiedTime(videoPath);
    // An index older than its video describes another stream.
    auto current = [&](const std::string& p) { return isRegularFile(p) && modifiedTime(p) >= videoTime; };
    if (!rebuild) {
        if (current(beside)) return beside;
        // Fallback folders are shared by videos of the same name.
        for (const std::string& folder : mpegIndexFallbackFolders()) {
            const std::string p = joinPath(folder, name);
            if (current(p) && indexSource(p) == videoPath) return p;
        }
    }
    {
        // A file that is no MPEG stream fails the same way everywhere.
        MpegStreamReader probe;
        if (!probe.open(videoPath)) return Result<std::string>::failure(Failure::NotRecognised, probe.error());
    }
    std::string why;
    switch (buildMpegIndex(videoPath, beside, progress, &why)) {
    case IndexBuild::Built: return beside;
    case IndexBuild::Stopped: return Result<std::string>::failure(Failure::None, "stopped");
    case IndexBuild::NoVideo: return Result<std::string>::failure(Failure::NotRecognised, why);
    case IndexBuild::CouldNotStart: break;
    }
    for (const std::string& folder : mpegIndexFallbackFolders()) {
        if (!makeFolders(folder) || ::access(folder.c_str(), W_OK) != 0) continue;
        const std::string p = joinPath(folder, name);
        switch (buildMpegIndex(videoPath, p, progress, &why)) {
        case IndexBuild::Built: return p;
        case IndexBuild::Stopped: return Result<std::string>::failure(Failure::None, "stopped");
        case IndexBuild::NoVideo: return Result<std::string>::failure(Failure::NotRecognised, why);
        case IndexBuild::CouldNotStart: break;
        }
    }
    return Result<std::string>::failure(Failure::CannotWrite, why);
}

}  // namespace tavlin
