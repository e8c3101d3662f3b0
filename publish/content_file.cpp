#include "publish/content_file.h"

#include <filesystem>
#include <string_view>
#include <unordered_map>

#include "base/paths.h"
#include "base/safe_write.h"
#include "cipher/content_key.h"
#include "cipher/des_cipher.h"
#include "cipher/viewer_constants.h"
#include "core/prompts.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/interfaces.h"
#include "document/media_recount.h"
#include "document/media_resource.h"
#include "document/project_file.h"
#include "document/video_object.h"
#include "media/media_registry.h"
#include "media/video/ncrf_escape.h"
#include "publish/content_stream.h"

namespace tavlin {

namespace {

// Questions about one missing file, before it counts as skipped.
constexpr int kMaxMediaQuestions = 50;

std::string hex(int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", unsigned(v));
    return buf;
}

std::string num(int64_t v) { return std::to_string(v); }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool containsIgnoringCase(std::string_view hay, std::string_view needle) {
    if (needle.size() > hay.size()) return false;
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && lower(hay[i + k]) == lower(needle[k])) ++k;
        if (k == needle.size()) return true;
    }
    return false;
}

const char* objectKindWord(int32_t kind) {
    switch (kind) {
    case kVideoObject: return "video object";
    case kImageObject: return "image object";
    case kDragPath: return "drag path";
    }
    return "object";
}

const char* eventKindWord(int32_t kind) {
    switch (kind) {
    case kPlayEvent: return "play";
    case kJumpEvent: return "jump";
    case kSoundEvent: return "sound";
    case kLinkEvent: return "link";
    case kParamEvent: return "param";
    }
    return "unknown";
}

std::string eventLabel(int32_t kind, int32_t first, int32_t last) {
    return std::string("the ") + eventKindWord(kind) + " event at frames " + num(first) + ".." + num(last);
}

// Published positions by source path: the first published entry wins.
std::unordered_map<std::string, int32_t> publishedPositions(const std::vector<std::unique_ptr<MediaResource>>& list) {
    std::unordered_map<std::string, int32_t> positions;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i]->enabledUseCount > 0) positions.emplace(list[i]->name, int32_t(i));
    return positions;
}

int32_t reference(const std::unordered_map<std::string, int32_t>& positions, const MediaResource* r) {
    if (!r) return -1;
    auto it = positions.find(r->name);
    return it == positions.end() ? -1 : it->second;
}

// Names what does not fit and the limit, so the author knows what to shorten.
ContentResult tooLong(const std::string& what, size_t size, size_t limit, const char* unit) {
    return ContentResult::fail(ContentFailure::TooLong, what + " has " + num(int64_t(size)) + " " + unit +
                                                            "; the content file holds at most " + num(int64_t(limit)));
}

}  // namespace

std::string publishedPictureName(int32_t position, const std::string& sourcePath) {
    std::string ext = pathExtension(std::filesystem::path(sourcePath).filename().string());
    // The same test the asset export makes: the extension found in a pattern
    // means the source file is copied as it is.
    if (containsIgnoringCase("*.jpg;*.jpeg", ext) || containsIgnoringCase("*.gif", ext)) return "i" + hex(position) + ext;
    return "i" + hex(position) + ".gif";
}

std::string publishedSoundName(int32_t position) { return "a" + hex(position) + ".au"; }

std::string frameListName(int32_t number) { return "v" + hex(number) + ".txt"; }

// Writing ------------------------------------------------------------------------

ContentDescription describeContent(const Document& doc, int32_t publishDate) {
    ContentDescription c;
    c.headerWord = viewer::kContentHeaderWord;
    c.publishDate = uint32_t(publishDate);
    c.stageWidth = doc.stageWidth;
    c.stageHeight = doc.stageHeight;
    c.length = doc.length;

    auto pictures = publishedPositions(doc.imageResources);
    auto sounds = publishedPositions(doc.soundResources);
    for (size_t i = 0; i < doc.imageResources.size(); ++i)
        if (doc.imageResources[i]->enabledUseCount > 0)
            c.pictureNames.push_back(publishedPictureName(int32_t(i), doc.imageResources[i]->name));
    for (size_t i = 0; i < doc.soundResources.size(); ++i)
        if (doc.soundResources[i]->enabledUseCount > 0) c.soundNames.push_back(publishedSoundName(int32_t(i)));

    // Frame lists are numbered over the enabled video objects that hold a
    // video; one without a video keeps its place in the count only.
    int32_t nextVideo = 0;
    for (const auto& object : doc.objects) {
        const MediaObject& o = *object;
        if (!o.enabled) continue;
        ContentObject co;
        co.kind = uint8_t(o.kind());
        co.x = o.left;
        co.y = o.top;
        co.width = o.width;
        co.height = o.height;
        co.ranges = o.ranges;
        co.label = std::string("the ") + objectKindWord(o.kind()) + " \"" + o.name + "\"";
        visitObject(
            *object,
            [&](const VideoObject& v) {
                ++c.videoCount;
                co.media = v.video ? nextVideo++ : -1;
            },
            [&](const ImageObject& im) { co.media = reference(pictures, im.picture); },
            [&](const DragPath& p) {
                for (size_t s = 0; s < 3; ++s) {
                    co.statePictures[s] = reference(pictures, p.statePictures[s]);
                    co.stateWidths[s] = uint8_t(p.stateWidths[s]);
                    co.stateColours[s] = uint32_t(p.stateColours[s]) & 0xFFFFFF;
                }
                co.arrowMode = uint8_t(p.arrowMode);
                co.curveFlag = uint8_t(p.curveFlag);
                co.grabDistance = uint8_t(p.grabFromThumb ? -p.grabLimit : p.grabLimit);
                co.thumbs.reserve(p.thumbs.size());
                for (const ImageResource* t : p.thumbs) co.thumbs.push_back(reference(pictures, t));
                co.keepThumb = uint8_t(p.keepThumb);
                co.thumbDirection = uint8_t(p.thumbDirection);
                const auto& points = p.path.points();
                co.points.reserve(points.size());
                for (const PathPoint& pt : points)
                    co.points.push_back({pt.x, pt.y, pt.frame, uint8_t(pt.handOver() ? 0 : 1)});
            },
            [](const MediaObject&) {});
        c.objects.push_back(std::move(co));
    }

    for (const auto& event : doc.events) {
        const Event& e = *event;
        int32_t kind = e.kind();
        if (kind < 0 || kind >= kEventKinds || !doc.kindSwitch[size_t(kind)]) continue;
        ContentEvent ce;
        ce.kind = uint8_t(kind);
        ce.first = e.first;
        ce.last = e.last;
        ce.wait = e.wait;
        ce.label = eventLabel(kind, e.first, e.last);
        visitEvent(
            *event, [&](const PlayEvent& play) { ce.interruptible = uint8_t(play.interruptible); },
            [&](const JumpEvent& jump) { ce.targets = jump.targets; },
            [&](const SoundEvent& sound) {
                ce.repeat = uint8_t(sound.repeat);
                ce.sound = reference(sounds, sound.sound);
            },
            [&](const LinkEvent& link) {
                ce.target = link.target;
                ce.address = link.address;
            },
            [&](const ParamEvent& param) { ce.text = param.text; }, [](const Event&) {});
        c.events.push_back(std::move(ce));
    }
    return c;
}

ContentResult encodeContent(const ContentDescription& c, std::vector<uint8_t>& plain) {
    plain.clear();
    constexpr size_t kU16 = 0xFFFF;
    if (c.pictureNames.size() > kU16) return tooLong("the list of published pictures", c.pictureNames.size(), kU16, "entries");
    if (c.soundNames.size() > kU16) return tooLong("the list of published sounds", c.soundNames.size(), kU16, "entries");
    if (size_t(c.videoCount) > kU16) return tooLong("the list of video objects", size_t(c.videoCount), kU16, "entries");
    if (c.objects.size() > kU16) return tooLong("the list of enabled objects", c.objects.size(), kU16, "entries");
    if (c.events.size() > kU16) return tooLong("the list of published events", c.events.size(), kU16, "entries");

    ContentStream s;
    size_t estimate = 64;
    for (const auto& o : c.objects) estimate += 32 + o.ranges.size() * 8 + o.thumbs.size() * 2 + o.points.size() * 9;
    for (const auto& e : c.events) estimate += 16 + e.targets.size() * 4 + e.target.size() + e.address.size() + e.text.size();
    s.reserve(estimate);

    if (c.hasHeader) {
        s.putU32(c.headerWord);
        s.putU32(c.publishDate);
        s.putU32(c.reserved);
        s.putU8(c.headerFlag);
    }
    s.putU16(c.version);
    s.putU16(c.videoCount);
    s.putU16(int64_t(c.pictureNames.size()));
    for (size_t i = 0; i < c.pictureNames.size(); ++i)
        if (!s.putStr8(c.pictureNames[i]))
            return tooLong("the published name of picture " + num(int64_t(i)) + " (\"" + c.pictureNames[i] + "\")",
                           c.pictureNames[i].size(), 0xFF, "bytes");
    s.putU16(int64_t(c.soundNames.size()));
    for (size_t i = 0; i < c.soundNames.size(); ++i)
        if (!s.putStr8(c.soundNames[i]))
            return tooLong("the published name of sound " + num(int64_t(i)), c.soundNames[i].size(), 0xFF, "bytes");
    s.putU16(c.stageWidth);
    s.putU16(c.stageHeight);
    s.putU16(c.length);

    s.putU16(int64_t(c.objects.size()));
    for (const ContentObject& o : c.objects) {
        if (o.ranges.size() > kU16) return tooLong("the frame range list of " + o.label, o.ranges.size(), kU16, "entries");
        s.putU8(o.kind);
        s.putU16(o.x);
        s.putU16(o.y);
        s.putU16(o.width);
        s.putU16(o.height);
        s.putU16(int64_t(o.ranges.size()));
        for (const FrameRange& r : o.ranges) {
            s.putU32(r.first);
            s.putU32(r.last);
        }
        if (o.kind == kVideoObject || o.kind == kImageObject) {
            s.putU16(o.media);
        } else if (o.kind == kDragPath) {
            if (o.thumbs.size() > 0xFF) return tooLong("the thumb list of " + o.label, o.thumbs.size(), 0xFF, "entries");
            if (o.points.size() > kU16) return tooLong("the point list of " + o.label, o.points.size(), kU16, "entries");
            for (size_t st = 0; st < 3; ++st) {
                s.putU16(o.statePictures[st]);
                s.putU8(o.stateWidths[st]);
                s.putU8(o.stateColours[st] >> 16);
                s.putU8(o.stateColours[st] >> 8);
                s.putU8(o.stateColours[st]);
            }
            s.putU8(o.arrowMode);
            s.putU8(o.curveFlag);
            s.putU8(o.grabDistance);
            s.putU8(int64_t(o.thumbs.size()));
            for (int32_t t : o.thumbs) s.putU16(t);
            s.putU8(o.keepThumb);
            s.putU8(o.thumbDirection);
            s.putU16(int64_t(o.points.size()));
            for (const ContentPoint& p : o.points) {
                s.putU16(p.x);
                s.putU16(p.y);
                s.putU32(p.frame);
                s.putU8(p.ordinary);
            }
        }
    }

    s.putU16(int64_t(c.events.size()));
    for (const ContentEvent& e : c.events) {
        s.putU8(e.kind);
        s.putU32(e.first);
        s.putU32(e.last);
        s.putU32(e.wait);
        switch (e.kind) {
        case kPlayEvent: s.putU8(e.interruptible); break;
        case kJumpEvent:
            if (e.targets.size() > kU16) return tooLong("the target list of " + e.label, e.targets.size(), kU16, "entries");
            s.putU16(int64_t(e.targets.size()));
            for (int32_t t : e.targets) s.putU32(t);
            break;
        case kSoundEvent:
            s.putU8(e.repeat);
            s.putU16(e.sound);
            break;
        case kLinkEvent:
            if (!s.putStr8(e.target)) return tooLong("the window name of " + e.label, e.target.size(), 0xFF, "bytes");
            if (!s.putStr16(e.address)) return tooLong("the address of " + e.label, e.address.size(), kU16, "bytes");
            break;
        case kParamEvent:
            if (!s.putStr16(e.text)) return tooLong("the parameter text of " + e.label, e.text.size(), kU16, "bytes");
            break;
        default: break;
        }
    }
    plain = s.take();
    return {};
}

std::vector<uint8_t> encipherContent(std::span<const uint8_t> plain) {
    DesCipher des;
    des.setKey(contentKey());
    return NcrfEscape::wrap(des.cipherBuffer(plain, CipherDirection::Encrypt));
}

ContentResult writeContentFile(Document& doc, const std::string& folder, int32_t publishDate) {
    recountMedia(doc);
    std::vector<uint8_t> plain;
    if (ContentResult r = encodeContent(describeContent(doc, publishDate), plain); !r) return r;
    std::vector<uint8_t> file = encipherContent(plain);
    std::string path = joinPath(folder, kContentFileName);
    Status written = writeFileSafely(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
    if (!written) return ContentResult::fail(ContentFailure::CannotWrite, "cannot write " + path + ": " + written.reason());
    return {};
}

// Reading ------------------------------------------------------------------------

namespace {

ContentResult damaged(const std::string& why) { return ContentResult::fail(ContentFailure::Damaged, why); }

bool frameNumber(int64_t v) { return v >= -kMaxLength && v <= kMaxLength; }

// A published name is a plain file name beside the content file; anything
// that could reach another folder is refused rather than followed.
bool plainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char ch : name)
        if (ch == '/' || ch == '\\' || ch == '\0') return false;
    return true;
}

// Smallest bytes of each record, to check counts against the data first.
constexpr uint64_t kMinObjectBytes = 1 + 8 + 2;
constexpr uint64_t kMinEventBytes = 1 + 12;

ContentResult parseObjects(ContentStreamReader& in, ContentDescription& c) {
    uint32_t count = in.u16();
    if (!in.expect(count, kMinObjectBytes)) return damaged("the object count runs past the end of the data");
    c.objects.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        ContentObject& o = c.objects[i];
        std::string where = "object " + num(i);
        o.label = where;
        o.kind = uint8_t(in.u8());
        if (o.kind > kDragPath) return damaged(where + " has the unknown kind " + num(o.kind));
        o.x = in.s16();
        o.y = in.s16();
        o.width = int32_t(in.u16());
        o.height = int32_t(in.u16());
        uint32_t ranges = in.u16();
        if (!in.expect(ranges, 8)) return damaged(where + ": its frame ranges run past the end of the data");
        o.ranges.resize(ranges);
        for (FrameRange& r : o.ranges) {
            r.first = in.s32();
            r.last = in.s32();
            if (!frameNumber(r.first) || !frameNumber(r.last)) return damaged(where + " has a frame range beyond any timeline");
        }
        if (o.kind == kVideoObject || o.kind == kImageObject) {
            o.media = in.s16();
        } else {
            for (size_t s = 0; s < 3; ++s) {
                o.statePictures[s] = in.s16();
                o.stateWidths[s] = uint8_t(in.u8());
                uint32_t r = in.u8(), g = in.u8(), b = in.u8();
                o.stateColours[s] = r << 16 | g << 8 | b;
            }
            o.arrowMode = uint8_t(in.u8());
            o.curveFlag = uint8_t(in.u8());
            o.grabDistance = uint8_t(in.u8());
            uint32_t thumbs = in.u8();
            if (!in.expect(thumbs, 2)) return damaged(where + ": its thumbs run past the end of the data");
            o.thumbs.resize(thumbs);
            for (int32_t& t : o.thumbs) t = in.s16();
            o.keepThumb = uint8_t(in.u8());
            o.thumbDirection = uint8_t(in.u8());
            uint32_t points = in.u16();
            if (!in.expect(points, 9)) return damaged(where + ": its points run past the end of the data");
            o.points.resize(points);
            for (ContentPoint& p : o.points) {
                p.x = in.s16();
                p.y = in.s16();
                p.frame = in.s32();
                p.ordinary = uint8_t(in.u8());
                if (!frameNumber(p.frame)) return damaged(where + " has a point at a frame beyond any timeline");
            }
        }
        if (!in.ok()) return damaged(where + " is cut short");
    }
    return {};
}

ContentResult parseEvents(ContentStreamReader& in, ContentDescription& c) {
    uint32_t count = in.u16();
    if (!in.expect(count, kMinEventBytes)) return damaged("the event count runs past the end of the data");
    c.events.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        ContentEvent& e = c.events[i];
        std::string where = "event " + num(i);
        e.kind = uint8_t(in.u8());
        if (e.kind >= kEventKinds) return damaged(where + " has the unknown kind " + num(e.kind));
        e.first = in.s32();
        e.last = in.s32();
        e.wait = in.s32();
        e.label = eventLabel(e.kind, e.first, e.last);
        if (!frameNumber(e.first) || !frameNumber(e.last)) return damaged(where + " has frames beyond any timeline");
        switch (e.kind) {
        case kPlayEvent: e.interruptible = uint8_t(in.u8()); break;
        case kJumpEvent: {
            uint32_t targets = in.u16();
            if (!in.expect(targets, 4)) return damaged(where + ": its targets run past the end of the data");
            e.targets.resize(targets);
            for (int32_t& t : e.targets) {
                t = in.s32();
                if (!frameNumber(t)) return damaged(where + " jumps to a frame beyond any timeline");
            }
            break;
        }
        case kSoundEvent:
            e.repeat = uint8_t(in.u8());
            e.sound = in.s16();
            break;
        case kLinkEvent:
            e.target = in.str8();
            e.address = in.str16();
            break;
        case kParamEvent: e.text = in.str16(); break;
        }
        if (!in.ok()) return damaged(where + " is cut short");
    }
    return {};
}

ContentResult parseNames(ContentStreamReader& in, std::vector<std::string>& names, const char* what) {
    uint32_t count = in.u16();
    if (!in.expect(count, 1)) return damaged(std::string("the ") + what + " count runs past the end of the data");
    names.resize(count);
    for (std::string& name : names) {
        name = in.str8();
        if (!in.ok()) return damaged(std::string("the ") + what + " names are cut short");
        if (!plainFileName(name)) return damaged(std::string("a ") + what + " name is not a plain file name");
    }
    return {};
}

ContentResult parseStream(std::span<const uint8_t> data, bool header, ContentDescription& c) {
    ContentStreamReader in(data);
    c.hasHeader = header;
    if (header) {
        c.headerWord = in.u32();
        c.publishDate = in.u32();
        c.reserved = in.u32();
        c.headerFlag = uint8_t(in.u8());
        if (!in.ok()) return damaged("the header is cut short");
        // The version test alone would pass one wrong key in 65536.
        if (c.headerWord != viewer::kContentHeaderWord)
            return ContentResult::fail(ContentFailure::WrongKey, "not enciphered with the content key, or damaged");
    }
    c.version = uint16_t(in.u16());
    if (!in.ok()) return damaged("the data is cut short");
    if (c.version != kContentVersion)
        return ContentResult::fail(ContentFailure::Version, "format version " + num(c.version) + ", not 3");
    c.videoCount = int32_t(in.u16());
    if (ContentResult r = parseNames(in, c.pictureNames, "picture"); !r) return r;
    if (ContentResult r = parseNames(in, c.soundNames, "sound"); !r) return r;
    c.stageWidth = int32_t(in.u16());
    c.stageHeight = int32_t(in.u16());
    c.length = int32_t(in.u16());
    if (!in.ok()) return damaged("the stage size is cut short");
    if (c.stageWidth < 1 || c.stageWidth > kMaxStageSide || c.stageHeight < 1 || c.stageHeight > kMaxStageSide)
        return damaged("the stage size " + num(c.stageWidth) + " x " + num(c.stageHeight) + " is out of range");
    if (c.length < 1) return damaged("the timeline has no frames");
    if (ContentResult r = parseObjects(in, c); !r) return r;
    return parseEvents(in, c);
}

}  // namespace

ContentResult decodeContent(std::span<const uint8_t> fileBytes, ContentDescription& out) {
    out = ContentDescription{};
    std::vector<uint8_t> data = NcrfEscape::unwrap(fileBytes);
    if (data.size() >= 2 && data[0] == 0x00 && data[1] == 0x03) return parseStream(data, false, out);
    // Ciphertext comes in whole blocks; anything else was cut or is not ours.
    if (data.empty() || data.size() % 8 != 0)
        return ContentResult::fail(ContentFailure::WrongKey, "not a content file (not whole cipher blocks)");
    DesCipher des;
    des.setKey(contentKey());
    std::vector<uint8_t> plain = des.cipherBuffer(data, CipherDirection::Decrypt);
    return parseStream(plain, true, out);
}

ContentResult readContentFile(const std::string& path, ContentDescription& out) {
    std::optional<std::vector<uint8_t>> bytes = isDirectory(path) ? std::nullopt : readFileBytes(path);
    if (!bytes) return ContentResult::fail(ContentFailure::CannotRead, "cannot read " + path);
    return decodeContent(*bytes, out);
}

// Applying -----------------------------------------------------------------------

namespace {

const std::string& filterFor(MediaKind kind) {
    switch (kind) {
    case MediaKind::Video: return videoFilter();
    case MediaKind::Image: return imageFilter();
    case MediaKind::Sound: break;
    }
    return audioFilter();
}

// "e_cant_open" holds one "%s"; the name goes in as text, never as a format.
std::string cantOpenText(const std::string& file) {
    std::string text = documentString("e_cant_open");
    size_t at = text.find("%s");
    if (at == std::string::npos) return text + " " + file;
    return text.substr(0, at) + file + text.substr(at + 2);
}

// A kept entry of the same path is reused, and reloaded when its file has
// changed since; otherwise the file is loaded as a new entry.
MediaResource* loadOne(Document& doc, MediaKind kind, const std::string& path) {
    if (MediaResource* kept = doc.findResource(kind, path)) {
        int64_t now = fileModificationTime(path);
        if (now != kept->modificationTime) {
            kept->release();
            // A failed reload keeps the name, so the document still names the file.
            if (!kept->load(path)) kept->name = path;
            kept->modificationTime = now;
        }
        return kept;
    }
    std::unique_ptr<MediaResource> r = createResource(kind);
    if (!r || !r->load(path)) return nullptr;
    r->modificationTime = fileModificationTime(path);
    MediaResource* added = r.get();
    doc.resources(kind).push_back(std::move(r));
    return added;
}

// Loads, asking about a file that does not open: another file, or skip it.
MediaResource* loadMedia(Document& doc, MediaKind kind, const std::string& path) {
    if (MediaResource* r = loadOne(doc, kind, path)) return r;
    std::string shown = path;
    for (int asked = 0; asked < kMaxMediaQuestions; ++asked) {
        int answer = AskChoice(cantOpenText(shown), {documentString("b_open_another"), documentString("b_ignore")});
        if (answer != 0) return nullptr;
        std::optional<std::string> chosen = prompts().openFile(filterFor(kind), path);
        if (!chosen || chosen->empty()) return nullptr;
        shown = *chosen;
        if (MediaResource* r = loadOne(doc, kind, *chosen)) return r;
    }
    return nullptr;
}

// What each position of the file's lists became: the list position of the
// loaded entry, or null when it was skipped. References go through this, so a
// skipped file leaves its users without media instead of shifting the rest.
template <typename R>
R* lookup(const std::vector<MediaResource*>& loaded, int32_t ref) {
    if (ref < 0 || size_t(ref) >= loaded.size()) return nullptr;
    return static_cast<R*>(loaded[size_t(ref)]);
}

}  // namespace

ContentResult applyContent(const ContentDescription& c, const std::string& folder, Document& doc) {
    if (!doc.setStageSize(c.stageWidth, c.stageHeight))
        return damaged("the stage size " + num(c.stageWidth) + " x " + num(c.stageHeight) + " is out of range");
    if (!doc.setLength(c.length)) return damaged("the length " + num(c.length) + " is out of range");

    // Frame lists that no object refers to and that are not there were never
    // written (an enabled video object without a video still counts): they
    // are not asked about.
    std::vector<bool> videoUsed(size_t(c.videoCount), false);
    for (const ContentObject& o : c.objects)
        if (o.kind == kVideoObject && o.media >= 0 && o.media < c.videoCount) videoUsed[size_t(o.media)] = true;
    std::vector<MediaResource*> videos(size_t(c.videoCount), nullptr);
    for (int32_t i = 0; i < c.videoCount; ++i) {
        std::string path = joinPath(folder, frameListName(i));
        if (!videoUsed[size_t(i)] && !fileExists(path)) continue;
        videos[size_t(i)] = loadMedia(doc, MediaKind::Video, path);
    }
    std::vector<MediaResource*> pictures;
    for (const std::string& name : c.pictureNames) pictures.push_back(loadMedia(doc, MediaKind::Image, joinPath(folder, name)));
    std::vector<MediaResource*> sounds;
    for (const std::string& name : c.soundNames) sounds.push_back(loadMedia(doc, MediaKind::Sound, joinPath(folder, name)));

    int32_t named[3] = {0, 0, 0};
    const char* bases[3] = {"video", "image", "dpath"};
    for (size_t i = 0; i < c.objects.size(); ++i) {
        const ContentObject& co = c.objects[i];
        std::unique_ptr<MediaObject> object = MediaObject::create(doc, co.kind);
        if (!object) return damaged("object " + num(int64_t(i)) + " has the unknown kind " + num(co.kind));
        MediaObject& o = *object;
        o.left = co.x;
        o.top = co.y;
        o.width = co.width;
        o.height = co.height;
        o.ranges = co.ranges;
        // The file keeps no names; these are the ones new objects would get
        // in an empty document, without a search per object.
        o.name = bases[co.kind] + num(named[co.kind]++);
        visitObject(
            o, [&](VideoObject& v) { v.video = lookup<VideoResource>(videos, co.media); },
            [&](ImageObject& im) { im.picture = lookup<ImageResource>(pictures, co.media); },
            [&](DragPath& p) {
                for (size_t s = 0; s < 3; ++s) {
                    p.statePictures[s] = lookup<ImageResource>(pictures, co.statePictures[s]);
                    p.stateWidths[s] = co.stateWidths[s];
                    p.stateColours[s] = int32_t(co.stateColours[s]);
                }
                p.arrowMode = co.arrowMode;
                p.curveFlag = co.curveFlag;
                p.grabLimit = co.grabDistance;
                p.grabFromThumb = 0;
                p.thumbs.clear();
                for (int32_t t : co.thumbs)
                    if (ImageResource* r = lookup<ImageResource>(pictures, t)) p.thumbs.push_back(r);
                p.keepThumb = co.keepThumb;
                p.thumbDirection = co.thumbDirection;
                p.path.clear();
                p.path.points().reserve(co.points.size());
                for (const ContentPoint& pt : co.points) p.addPoint(pt.x, pt.y, pt.frame, pt.ordinary != 0);
                p.computeCross();
                if (p.count() >= 2) {
                    p.thumbX = p.point(0)->x;
                    p.thumbY = p.point(0)->y;
                }
            },
            [](const MediaObject&) {});
        if (!withinLimits(o)) return damaged("object " + num(int64_t(i)) + " holds values beyond any document");
        doc.objects.push_back(std::move(object));
    }

    for (size_t i = 0; i < c.events.size(); ++i) {
        const ContentEvent& ce = c.events[i];
        std::unique_ptr<Event> event = Event::create(ce.kind, ce.first, ce.last);
        if (!event) return damaged("event " + num(int64_t(i)) + " has the unknown kind " + num(ce.kind));
        event->wait = ce.wait;
        event->document = &doc;
        visitEvent(
            *event, [&](PlayEvent& play) { play.interruptible = ce.interruptible; },
            [&](JumpEvent& jump) { jump.targets = ce.targets; },
            [&](SoundEvent& sound) {
                sound.repeat = ce.repeat;
                sound.sound = lookup<SoundResource>(sounds, ce.sound);
            },
            [&](LinkEvent& link) {
                link.target = ce.target;
                link.address = ce.address;
            },
            [&](ParamEvent& param) { param.text = ce.text; });
        if (!withinLimits(*event)) return damaged("event " + num(int64_t(i)) + " holds values beyond any document");
        doc.events.push_back(std::move(event));
    }

    doc.extendLength();
    doc.recomputeFrameCodes();
    doc.publishDate = c.hasHeader ? int32_t(c.publishDate) : 0;
    doc.contentFlag = 1;
    return {};
}

ContentResult loadContentFile(const std::string& path, Document& doc) {
    ContentDescription c;
    if (ContentResult r = readContentFile(path, c); !r) return r;
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    return applyContent(c, folder, doc);
}

MediaResource* loadMediaAsking(Document& doc, MediaKind kind, const std::string& path) {
    return loadMedia(doc, kind, path);
}

}  // namespace tavlin
