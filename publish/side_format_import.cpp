#include "publish/side_format_import.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "base/paths.h"
#include "cipher/envelope.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/video_object.h"
#include "publish/content_file.h"

namespace tavlin {

namespace {

constexpr size_t kMainLineLimit = 1024;
constexpr size_t kEventLineLimit = 4096;
constexpr int32_t kRangeEndCap = 99999;
constexpr int32_t kEventEndCap = 999999;
constexpr uint8_t kEndOfRecords = 255;
constexpr char kEventHeader[6] = {'V', '2', '.', '1', '\n', '\0'};

// Texts of the old files are UTF-16 code units; the program keeps UTF-8.
std::string utf8FromUtf16(const std::vector<uint16_t>& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;  // half a pair
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6), out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12), out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18), out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F)), out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A cursor over text read the way the old program read it: line by line
// with a length limit, or one token at a time.
class TextCursor {
public:
    TextCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool atEnd() const { return at_ >= size_; }
    // The next line without its line feed; a longer line comes in pieces.
    std::string line(size_t limit) {
        const size_t start = at_;
        while (at_ < size_ && at_ - start < limit - 1) {
            if (data_[at_++] == '\n') return std::string(reinterpret_cast<const char*>(data_ + start), at_ - start - 1);
        }
        return std::string(reinterpret_cast<const char*>(data_ + start), at_ - start);
    }
    // One hexadecimal number after blanks; false (nothing taken but the
    // blanks) when none stands there.
    bool skipHex() {
        while (at_ < size_ && std::isspace(data_[at_])) ++at_;
        size_t i = at_;
        if (i + 1 < size_ && data_[i] == '0' && (data_[i + 1] == 'x' || data_[i + 1] == 'X')) i += 2;
        const size_t digits = i;
        while (i < size_ && std::isxdigit(data_[i])) ++i;
        if (i == digits) return false;
        at_ = i;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

std::vector<std::string> tokens(std::string_view text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        size_t j = i;
        while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j]))) ++j;
        if (j > i) out.emplace_back(text.substr(i, j - i));
        i = j;
    }
    return out;
}

int32_t leadingInt(const std::string& s) {
    const long long v = std::strtoll(s.c_str(), nullptr, 10);
    return int32_t(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

int32_t truncated(double v) {
    if (!(v == v)) return 0;
    return int32_t(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

// Names in the old files may use backslashes and are relative to the main file.
std::string mediaPath(const std::string& folder, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    if (!name.empty() && name[0] == '/') return name;
    return joinPath(folder, name);
}

class Importer {
public:
    Importer(Document& doc, std::string folder) : doc_(doc), folder_(std::move(folder)) {}

    Status run(const std::string& mainPath) {
        namespace fs = std::filesystem;
        std::string video = fs::path(mainPath).replace_extension(".avi").string();
        if (!isRegularFile(video)) video = fs::path(mainPath).replace_extension(".mpg").string();
        if (!isRegularFile(video))
            return Status::failure(Failure::CannotRead, "no .avi or .mpg video beside " + mainPath);
        auto* resource = static_cast<VideoResource*>(loadMediaAsking(doc_, MediaKind::Video, video));
        if (!resource) return Status::failure(Failure::CannotRead, "the video " + video + " cannot be opened");
        auto object = std::make_unique<VideoObject>(doc_);
        object->attachVideo(resource);
        object->uniqueName("video");
        video_ = static_cast<VideoObject*>(doc_.addObject(std::move(object)));
        doc_.setStageSize(video_->width, video_->height);

        Result<std::vector<uint8_t>> payload = readEnciphered(mainPath);
        if (!payload) return Status::failure(payload.failure(), payload.reason());
        parseMain(payload.value());

        const std::string eventPath = fs::path(mainPath).replace_extension(".qme").string();
        std::ifstream events(eventPath, std::ios::binary);
        if (!events) return Status::failure(Failure::CannotRead, "the event file " + eventPath + " cannot be opened");
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(events)), std::istreambuf_iterator<char>());
        if (bytes.size() >= sizeof kEventHeader && std::memcmp(bytes.data(), kEventHeader, sizeof kEventHeader) == 0)
            readRecords(bytes);
        else
            readOlderEvents(bytes);
        doc_.extendLength();
        doc_.recomputeFrameCodes();
        return {};
    }

private:
    // ---- the main file

    void parseMain(const std::vector<uint8_t>& payload) {
        TextCursor in(payload.data(), payload.size());
        startPath();
        while (!in.atEnd()) {
            const std::string line = in.line(kMainLineLimit);
            if (line.empty()) continue;
            const char first = line[0];
            if (first >= '0' && first <= '9') {
                double x = 0, y = 0, frame = 0, flag = 0;
                const int n = std::sscanf(line.c_str(), "%lf %lf %lf %lf", &x, &y, &frame, &flag);
                path_->addPoint(truncated(x), truncated(y), truncated(frame), n >= 4 && flag > 0);
            } else if (first == '+') {
                applyLook(line.c_str() + 1);
            } else if (first == 'G') {
                double g = 0;
                if (std::sscanf(line.c_str() + 1, "%lf", &g) == 1) {
                    video_->width = truncated(video_->width * g);
                    video_->height = truncated(video_->height * g);
                }
            } else if (first == 'M') {
                int a = 0, n = 0;
                if (std::sscanf(line.c_str() + 1, "%d %d", &a, &n) == 2 && n > 0)
                    for (int k = 0; k < (n + 7) / 8 && in.skipHex(); ++k) {
                    }
            } else if (first == '.') {
                endPath(line.substr(1));
            }
        }
        finishPath();
    }

    void applyLook(const char* text) {
        unsigned int c = 0;
        int d = 0, w = 1;
        const int n = std::sscanf(text, "%x %d %d", &c, &d, &w);
        if (n < 1) return;
        if (n < 3) w = 1;
        if (n < 2) d = 0;
        for (int32_t& colour : path_->stateColours) colour = int32_t(c & 0xFFFFFF);
        path_->grabLimit = d;
        if (c & 0x0C000000u) {
            path_->stateWidths[0] = w;
            path_->stateWidths[1] = (c & 0x10000000u) ? w + 1 : w;
        } else {
            path_->stateWidths[0] = path_->stateWidths[1] = 0;
        }
        path_->stateWidths[2] = 0;
        if (c & 0x01000000u) path_->arrowMode |= 1;
        if (c & 0x02000000u) path_->arrowMode |= 2;
    }

    void endPath(const std::string& rest) {
        const auto words = tokens(rest);
        std::vector<std::string> pair;
        for (const std::string& t : words) {
            if (t == "D" || t == "E") {
                path_->enabled = t == "E";
                path_->selected = 0;
                continue;
            }
            pair.push_back(t);
            if (pair.size() < 2) continue;
            const int32_t start = pair[0] == "*" ? 0 : std::max(0, leadingInt(pair[0]));
            const int32_t end = pair[1] == "*" ? kRangeEndCap : std::min(kRangeEndCap, leadingInt(pair[1]));
            path_->ranges.push_back({start, end});
            pair.clear();
        }
        finishPath();
        startPath();
    }

    void startPath() { path_ = std::make_unique<DragPath>(doc_); }

    void finishPath() {
        if (!path_ || path_->count() < 2) {
            path_.reset();
            return;
        }
        path_->computeCross();
        path_->fitRectangle();
        path_->thumbX = path_->point(0)->x;
        path_->thumbY = path_->point(0)->y;
        path_->uniqueName("dpath");
        paths_.push_back(static_cast<DragPath*>(doc_.addObject(std::move(path_))));
    }

    // ---- the event file, version 2.1

    struct Bytes {
        const std::vector<uint8_t>& b;
        size_t at;
        bool ok = true;
        uint32_t u8() {
            if (at + 1 > b.size()) return ok = false, 0;
            return b[at++];
        }
        uint32_t u16() {
            if (at + 2 > b.size()) return ok = false, 0;
            at += 2;
            return uint32_t(b[at - 2]) << 8 | b[at - 1];
        }
        std::string str16() {
            const uint32_t n = u16();
            if (!ok || at + n > b.size()) return ok = false, std::string();
            at += n;
            return std::string(reinterpret_cast<const char*>(b.data() + at - n), n);
        }
    };

    void readRecords(const std::vector<uint8_t>& bytes) {
        Bytes in{bytes, sizeof kEventHeader};
        for (;;) {
            const uint32_t type = in.u8();
            if (!in.ok || type == kEndOfRecords) return;
            const int32_t start = int32_t(std::min<uint32_t>(in.u16(), kEventEndCap));
            const int32_t end = int32_t(std::min<uint32_t>(in.u16(), kEventEndCap));
            if (!in.ok) return;
            // A record cut off by the end of the file is dropped whole.
            switch (type) {
            case 0: {
                const int32_t wait = int32_t(in.u16());
                const int32_t repeat = int32_t(in.u8()) - '0';
                const std::string name = in.str16();
                if (!in.ok) return;
                if (auto* e = static_cast<SoundEvent*>(doc_.addEvent(kSoundEvent, start, end))) {
                    e->wait = wait;
                    e->repeat = repeat;
                    if (!name.empty()) e->sound = sound(name);
                }
                break;
            }
            case 1: {
                const int32_t wait = int32_t(in.u16());
                const std::string target = in.str16(), address = in.str16();
                if (!in.ok) return;
                if (auto* e = static_cast<LinkEvent*>(doc_.addEvent(kLinkEvent, start, end))) {
                    e->wait = wait;
                    e->target = target;
                    e->address = address;
                }
                break;
            }
            case 2: {
                in.u8();
                std::vector<uint16_t> units(in.u16());
                for (uint16_t& u : units) u = uint16_t(in.u16());
                if (!in.ok) return;
                if (auto* e = static_cast<ParamEvent*>(doc_.addEvent(kParamEvent, start, end)))
                    e->text = utf8FromUtf16(units);
                break;
            }
            case 3: {
                const int32_t wait = int32_t(in.u16());
                std::vector<int32_t> targets(in.u16());
                for (int32_t& t : targets) t = int32_t(in.u16());
                if (!in.ok) return;
                if (auto* e = static_cast<JumpEvent*>(doc_.addEvent(kJumpEvent, start, end))) {
                    e->wait = wait;
                    e->targets = targets;
                }
                break;
            }
            case 4: {
                const int32_t x = int32_t(in.u16()), y = int32_t(in.u16());
                const std::string name = in.str16();
                if (!in.ok) return;
                if (name.empty()) break;
                ImageResource* picture = image(name);
                auto object = std::make_unique<ImageObject>(doc_);
                object->ranges.push_back({start, end});
                object->attachImage(picture);
                object->uniqueName("image");
                // The background lies under everything: last in the list.
                doc_.objects.push_back(std::move(object));
                video_->left = x;
                video_->top = y;
                if (picture && picture->image) doc_.setStageSize(picture->image->width, picture->image->height);
                break;
            }
            case 5: {
                in.u8();
                std::vector<std::string> names(in.u16());
                for (std::string& n : names) n = in.str16();
                if (!in.ok) return;
                DragPath* owner = nullptr;
                for (DragPath* p : paths_)
                    if (p->count() > 0 && p->point(0)->frame <= start && start <= p->point(p->count() - 1)->frame) {
                        owner = p;
                        break;
                    }
                for (const std::string& n : names)
                    if (ImageResource* r = image(n); r && owner) owner->thumbs.push_back(r);
                break;
            }
            case 6:
            case 11:
            case 12:
            case 13:
            case 14: {
                const int32_t x = int32_t(in.u16()), y = int32_t(in.u16());
                const std::string name = in.str16();
                if (!in.ok) return;
                if (name.empty()) break;
                auto object = std::make_unique<ImageObject>(doc_);
                object->ranges.push_back({start, end});
                object->attachImage(image(name));
                object->left = x;
                object->top = y;
                object->uniqueName("image");
                doc_.addObject(std::move(object));
                break;
            }
            case 7: {
                const int32_t wait = int32_t(in.u16());
                const int32_t flag = int32_t(in.u8());
                if (!in.ok) return;
                if (auto* e = static_cast<PlayEvent*>(doc_.addEvent(kPlayEvent, start, end))) {
                    e->wait = wait;
                    e->interruptible = flag;
                }
                break;
            }
            case 9:
            case 10: {
                const int16_t v = int16_t(in.u16());
                if (!in.ok) return;
                if (auto* e = static_cast<ParamEvent*>(doc_.addEvent(kParamEvent, start, end))) e->text = std::to_string(v);
                break;
            }
            default: break;  // 8 and unknown types carry nothing
            }
        }
    }

    // ---- the event file, older version

    void readOlderEvents(const std::vector<uint8_t>& bytes) {
        TextCursor in(bytes.data(), bytes.size());
        while (!in.atEnd()) {
            const std::string line = in.line(kEventLineLimit);
            if (line.size() < 2 || line[0] != '.') continue;
            const char kind = line[1];
            if (kind != '0' && kind != '1' && kind != '2') continue;
            const auto words = tokens(std::string_view(line).substr(2));
            const int32_t start = words.size() > 0 ? std::max(0, leadingInt(words[0])) : 0;
            const int32_t end = words.size() > 1 ? std::min(kEventEndCap, leadingInt(words[1])) : 0;
            std::vector<uint16_t> units;
            for (size_t i = 2; i < words.size(); ++i) {
                unsigned int u = 0;
                if (std::sscanf(words[i].c_str(), "%x", &u) != 1) break;
                units.push_back(uint16_t(u));
            }
            const std::string text = utf8FromUtf16(units);
            if (kind == '0') {
                if (auto* e = static_cast<SoundEvent*>(doc_.addEvent(kSoundEvent, start, end)); e && !text.empty())
                    e->sound = sound(text);
            } else if (kind == '1') {
                auto* e = static_cast<LinkEvent*>(doc_.addEvent(kLinkEvent, start, end));
                const size_t comma = text.find(',');
                if (e && comma != std::string::npos && comma > 0) {
                    e->target = text.substr(0, comma);
                    e->address = text.substr(comma + 1);
                }
            } else if (auto* e = static_cast<ParamEvent*>(doc_.addEvent(kParamEvent, start, end))) {
                e->text = text;
            }
        }
    }

    ImageResource* image(const std::string& name) {
        return static_cast<ImageResource*>(loadMediaAsking(doc_, MediaKind::Image, mediaPath(folder_, name)));
    }
    SoundResource* sound(const std::string& name) {
        return static_cast<SoundResource*>(loadMediaAsking(doc_, MediaKind::Sound, mediaPath(folder_, name)));
    }

    Document& doc_;
    std::string folder_;
    VideoObject* video_ = nullptr;
    std::unique_ptr<DragPath> path_;
    std::vector<DragPath*> paths_;
};

}  // namespace

Status importSideFormat(const std::string& mainPath, Document& doc) {
    const std::string folder = folderOf(mainPath);
    return Importer(doc, folder.empty() ? std::string(".") : folder).run(mainPath);
}

}  // namespace tavlin
