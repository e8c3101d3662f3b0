// tavlin content: writes the content file of a project, reads a publication
// back into a project, and prints a content file field by field for people
// who debug a publication.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "base/paths.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "document/document.h"
#include "document/event.h"
#include "document/media_object.h"
#include "document/project_file.h"
#include "publish/content_file.h"

namespace tavlin::cli {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

// "YYYYMMDD" as the publish date number, under the rule of the publish
// window: year 2000 to 3000, month 1 to 12, day 1 to 31.
bool parseDate(const std::string& text, int32_t* out) {
    if (text.size() != 8) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int32_t year = std::stoi(text.substr(0, 4));
    int32_t month = std::stoi(text.substr(4, 2));
    int32_t day = std::stoi(text.substr(6, 2));
    if (year < 2000 || year > 3000 || month < 1 || month > 12 || day < 1 || day > 31) return false;
    *out = (year - 2000) * 10000 + month * 100 + day;
    return true;
}

int write(const Args& args) {
    const char* usage = "usage: tavlin content write PROJECT.tvl OUTDIR [--date YYYYMMDD]";
    std::vector<std::string> words;
    int32_t date = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--date") {
            if (i + 1 >= args.size()) return fail("content write", usage);
            if (!parseDate(args[++i], &date)) return fail(args[i], "not a date YYYYMMDD from 2000 to 3000");
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 2) return fail("content write", usage);
    openResourceFolder();
    std::string error;
    std::unique_ptr<Document> doc = loadProjectFile(words[0], &error);
    if (!doc) return fail(words[0], error);
    std::error_code ec;
    std::filesystem::create_directories(words[1], ec);
    if (!isDirectory(words[1])) return fail(words[1], "not a folder and cannot be made one");
    ContentResult r = writeContentFile(*doc, words[1], date);
    if (!r) return fail(joinPath(words[1], kContentFileName), r.reason);
    return 0;
}

int read(const Args& args) {
    if (args.size() != 2) return fail("content read", "usage: tavlin content read FILE OUT.tvl");
    openResourceFolder();
    Document doc(0, 0);
    ContentResult r = loadContentFile(args[0], doc);
    if (!r) return fail(args[0], r.reason);
    if (!saveProjectFile(doc, args[1])) return fail(args[1], "cannot write the file");
    return 0;
}

std::string kindName(const ContentObject& o) {
    switch (o.kind) {
    case kVideoObject: return "video";
    case kImageObject: return "image";
    case kDragPath: return "drag_path";
    }
    return "unknown";
}

std::string kindName(const ContentEvent& e) {
    const char* names[] = {"play", "jump", "sound", "link", "param"};
    return e.kind < kEventKinds ? names[e.kind] : "unknown";
}

template <typename T, typename F>
std::string list(const std::vector<T>& items, F each, const char* open = "[", const char* sep = ",",
                 const char* close = "]") {
    std::string out = open;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? sep : "") + each(items[i]);
    return out + close;
}

std::string hex6(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", unsigned(v & 0xFFFFFF));
    return buf;
}

std::string hex8(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", unsigned(v));
    return buf;
}

void printJson(const ContentDescription& c) {
    auto n = [](int32_t v) { return num(v); };
    auto str = [](const std::string& s) { return jsonString(s); };
    std::string j = "{";
    if (c.hasHeader)
        j += "\"header_word\":" + jsonString(hex8(c.headerWord)) + ",\"publish_date\":" + num(c.publishDate) +
             ",\"reserved\":" + num(c.reserved) + ",\"header_flag\":" + num(c.headerFlag) + ",";
    j += "\"enciphered\":" + std::string(c.hasHeader ? "true" : "false") + ",\"version\":" + num(c.version) +
         ",\"video_count\":" + num(c.videoCount) + ",\"pictures\":" + list(c.pictureNames, str) +
         ",\"sounds\":" + list(c.soundNames, str) + ",\"stage_width\":" + num(c.stageWidth) +
         ",\"stage_height\":" + num(c.stageHeight) + ",\"length\":" + num(c.length) + ",\"objects\":[";
    for (size_t i = 0; i < c.objects.size(); ++i) {
        const ContentObject& o = c.objects[i];
        j += std::string(i ? "," : "") + "{\"kind\":" + jsonString(kindName(o)) + ",\"rect\":[" + num(o.x) + "," +
             num(o.y) + "," + num(o.width) + "," + num(o.height) + "],\"ranges\":" +
             list(o.ranges, [](const FrameRange& r) { return "[" + num(r.first) + "," + num(r.last) + "]"; });
        if (o.kind == kVideoObject) j += ",\"video\":" + num(o.media);
        if (o.kind == kImageObject) j += ",\"picture\":" + num(o.media);
        if (o.kind == kDragPath) {
            j += ",\"states\":[";
            for (size_t s = 0; s < 3; ++s)
                j += std::string(s ? "," : "") + "{\"picture\":" + num(o.statePictures[s]) + ",\"width\":" +
                     num(o.stateWidths[s]) + ",\"colour\":" + jsonString(hex6(o.stateColours[s])) + "}";
            j += "],\"arrow_mode\":" + num(o.arrowMode) + ",\"curve\":" + num(o.curveFlag) +
                 ",\"grab_distance\":" + num(int8_t(o.grabDistance)) + ",\"thumbs\":" + list(o.thumbs, n) +
                 ",\"keep_thumb\":" + num(o.keepThumb) + ",\"thumb_direction\":" + num(o.thumbDirection) +
                 ",\"points\":" + list(o.points, [](const ContentPoint& p) {
                     return "[" + num(p.x) + "," + num(p.y) + "," + num(p.frame) + "," + num(p.ordinary) + "]";
                 });
        }
        j += "}";
    }
    j += "],\"events\":[";
    for (size_t i = 0; i < c.events.size(); ++i) {
        const ContentEvent& e = c.events[i];
        j += std::string(i ? "," : "") + "{\"kind\":" + jsonString(kindName(e)) + ",\"first\":" + num(e.first) +
             ",\"last\":" + num(e.last) + ",\"wait\":" + num(e.wait);
        switch (e.kind) {
        case kPlayEvent: j += ",\"interruptible\":" + num(e.interruptible); break;
        case kJumpEvent: j += ",\"targets\":" + list(e.targets, n); break;
        case kSoundEvent: j += ",\"repeat\":" + num(e.repeat) + ",\"sound\":" + num(e.sound); break;
        case kLinkEvent: j += ",\"target\":" + jsonString(e.target) + ",\"address\":" + jsonString(e.address); break;
        case kParamEvent: j += ",\"text\":" + jsonString(e.text); break;
        }
        j += "}";
    }
    j += "]}\n";
    std::fputs(j.c_str(), stdout);
}

void printText(const ContentDescription& c) {
    auto n = [](int32_t v) { return num(v); };
    auto str = [](const std::string& s) { return jsonString(s); };
    std::string t;
    if (c.hasHeader)
        t += "header " + hex8(c.headerWord) + " date " + num(c.publishDate) + " reserved " + num(c.reserved) +
             " flag " + num(c.headerFlag) + "\n";
    else
        t += "plain stream (not enciphered, no header)\n";
    t += "version " + num(c.version) + "\nvideos " + num(c.videoCount) + "\npictures " +
         num(int64_t(c.pictureNames.size())) + list(c.pictureNames, str, " ", " ", "") + "\nsounds " +
         num(int64_t(c.soundNames.size())) + list(c.soundNames, str, " ", " ", "") + "\nstage " +
         num(c.stageWidth) + " x " + num(c.stageHeight) + "\nlength " + num(c.length) + "\nobjects " +
         num(int64_t(c.objects.size())) + "\n";
    for (size_t i = 0; i < c.objects.size(); ++i) {
        const ContentObject& o = c.objects[i];
        t += "  " + num(int64_t(i)) + " " + kindName(o) + " rect " + num(o.x) + " " + num(o.y) + " " +
             num(o.width) + " " + num(o.height) + " ranges" +
             list(o.ranges, [](const FrameRange& r) { return num(r.first) + ".." + num(r.last); }, " ", " ", "");
        if (o.kind == kVideoObject) t += " video " + num(o.media);
        if (o.kind == kImageObject) t += " picture " + num(o.media);
        if (o.kind == kDragPath) {
            for (size_t s = 0; s < 3; ++s)
                t += "\n    state " + num(int64_t(s)) + " picture " + num(o.statePictures[s]) + " width " +
                     num(o.stateWidths[s]) + " colour " + hex6(o.stateColours[s]);
            t += "\n    arrows " + num(o.arrowMode) + " curve " + num(o.curveFlag) + " grab " +
                 num(int8_t(o.grabDistance)) + " thumbs" + list(o.thumbs, n, " ", " ", "") + " keep " +
                 num(o.keepThumb) + " direction " + num(o.thumbDirection) + "\n    points " +
                 num(int64_t(o.points.size()));
            for (const ContentPoint& p : o.points)
                t += "\n      " + num(p.x) + " " + num(p.y) + " frame " + num(p.frame) + (p.ordinary ? "" : " hand-over");
        }
        t += "\n";
    }
    t += "events " + num(int64_t(c.events.size())) + "\n";
    for (size_t i = 0; i < c.events.size(); ++i) {
        const ContentEvent& e = c.events[i];
        t += "  " + num(int64_t(i)) + " " + kindName(e) + " frames " + num(e.first) + ".." + num(e.last) + " wait " +
             num(e.wait);
        switch (e.kind) {
        case kPlayEvent: t += " interruptible " + num(e.interruptible); break;
        case kJumpEvent: t += " targets" + list(e.targets, n, " ", " ", ""); break;
        case kSoundEvent: t += " repeat " + num(e.repeat) + " sound " + num(e.sound); break;
        case kLinkEvent: t += " target " + jsonString(e.target) + " address " + jsonString(e.address); break;
        case kParamEvent: t += " text " + jsonString(e.text); break;
        }
        t += "\n";
    }
    std::fputs(t.c_str(), stdout);
}

int dump(const Args& args) {
    std::vector<std::string> words;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else
            words.push_back(a);
    }
    if (words.size() != 1) return fail("content dump", "usage: tavlin content dump FILE [--json]");
    const std::string& file = words[0];
    ContentDescription c;
    ContentResult r = readContentFile(file, c);
    if (!r) return fail(file, r.reason);
    if (json)
        printJson(c);
    else
        printText(c);
    return 0;
}

}  // namespace

int contentCommand(const Args& args) {
    if (args.empty()) return fail("content", "usage: tavlin content write|read|dump ... (see tavlin --help)");
    PromptsScope scope;
    Args rest(args.begin() + 1, args.end());
    if (args[0] == "write") return write(rest);
    if (args[0] == "read") return read(rest);
    if (args[0] == "dump") return dump(rest);
    return fail("content", "unknown command '" + args[0] + "' (see tavlin --help)");
}

}  // namespace tavlin::cli
