// tavlin project: looks into, rewrites and renders project files without
// opening a window. Missing media are reported on standard error and the
// project is read on without them.

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "render/stage_renderer.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/project_file.h"
#include "document/project_text.h"
#include "document/video_object.h"
#include "import/media_import.h"
#include "media/media_registry.h"
#include "media/image/image_formats.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "canvas/canvas.h"

namespace tavlin::cli {

namespace {

std::unique_ptr<Document> openProject(const std::string& path, int* status) {
    openResourceFolder();
    std::string error;
    auto doc = loadProjectFile(path, &error);
    if (!doc) *status = fail(path, error);
    return doc;
}

bool parseInt(const std::string& text, int32_t* out) {
    if (text.empty()) return false;
    Scanner s(text);
    return s.integer(*out) && s.rest().empty();
}

const char* objectKindName(int32_t kind) {
    switch (kind) {
    case kVideoObject: return "video";
    case kImageObject: return "image";
    case kDragPath: return "drag_path";
    }
    return "unknown";
}

const char* eventKindName(int32_t kind) {
    switch (kind) {
    case kPlayEvent: return "play";
    case kJumpEvent: return "jump";
    case kSoundEvent: return "sound";
    case kLinkEvent: return "link";
    case kParamEvent: return "param";
    }
    return "unknown";
}

std::string mediaName(const MediaResource* r) { return r ? r->name : std::string(); }

// Plain text: names are shown quoted with the same escapes, one item a line.
std::string textString(const std::string& s) { return jsonString(s); }

std::string num(int64_t v) { return formatInt(v); }

std::string rangesJson(const std::vector<FrameRange>& ranges) {
    std::string out = "[";
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (i) out += ",";
        out += "[" + num(ranges[i].first) + "," + num(ranges[i].last) + "]";
    }
    return out + "]";
}

std::string objectJson(const MediaObject& o) {
    std::string j = "{\"kind\":" + jsonString(objectKindName(o.kind())) + ",\"name\":" + jsonString(o.name) +
                    ",\"rect\":[" + num(o.left) + "," + num(o.top) + "," + num(o.width) + "," + num(o.height) +
                    "],\"ranges\":" + rangesJson(o.ranges) + ",\"enabled\":" + num(o.enabled) +
                    ",\"locked\":" + num(o.locked);
    if (auto* v = dynamic_cast<const VideoObject*>(&o)) {
        j += ",\"video\":" + jsonString(mediaName(v->video)) + ",\"frame_step\":" + num(v->frameStep);
    } else if (auto* im = dynamic_cast<const ImageObject*>(&o)) {
        j += ",\"picture\":" + jsonString(mediaName(im->picture));
    } else if (auto* p = dynamic_cast<const DragPath*>(&o)) {
        j += ",\"curve\":" + num(p->curveFlag) + ",\"arrow_mode\":" + num(p->arrowMode) +
             ",\"grab_distance\":" + num(p->grabLimit) + ",\"state_widths\":[" + num(p->stateWidths[0]) + "," +
             num(p->stateWidths[1]) + "," + num(p->stateWidths[2]) + "],\"state_pictures\":[" +
             jsonString(mediaName(p->statePictures[0])) + "," + jsonString(mediaName(p->statePictures[1])) + "," +
             jsonString(mediaName(p->statePictures[2])) + "],\"thumbs\":[";
        for (size_t i = 0; i < p->thumbs.size(); ++i) j += (i ? "," : "") + jsonString(mediaName(p->thumbs[i]));
        j += "],\"points\":[";
        const auto& pts = p->path.points();
        for (size_t i = 0; i < pts.size(); ++i) {
            if (i) j += ",";
            j += "{\"x\":" + num(pts[i].x) + ",\"y\":" + num(pts[i].y) + ",\"frame\":" + num(pts[i].frame) +
                 ",\"hand_over\":" + (pts[i].handOver() ? "true" : "false") + "}";
        }
        j += "]";
    }
    return j + "}";
}

std::string eventJson(const Event& e) {
    std::string j = "{\"kind\":" + jsonString(eventKindName(e.kind())) + ",\"range\":[" + num(e.first) + "," +
                    num(e.last) + "],\"wait\":" + num(e.wait);
    if (auto* p = dynamic_cast<const PlayEvent*>(&e)) {
        j += ",\"interruptible\":" + num(p->interruptible);
    } else if (auto* jmp = dynamic_cast<const JumpEvent*>(&e)) {
        j += ",\"targets\":[";
        for (size_t i = 0; i < jmp->targets.size(); ++i) j += (i ? "," : "") + num(jmp->targets[i]);
        j += "]";
    } else if (auto* s = dynamic_cast<const SoundEvent*>(&e)) {
        j += ",\"sound\":" + jsonString(mediaName(s->sound)) + ",\"repeat\":" + num(s->repeat);
    } else if (auto* l = dynamic_cast<const LinkEvent*>(&e)) {
        j += ",\"target\":" + jsonString(l->target) + ",\"address\":" + jsonString(l->address);
    } else if (auto* pe = dynamic_cast<const ParamEvent*>(&e)) {
        j += ",\"text\":" + jsonString(pe->text);
    }
    return j + "}";
}

void printJson(const Document& doc) {
    std::string j = "{\"stage_width\":" + num(doc.stageWidth) + ",\"stage_height\":" + num(doc.stageHeight) +
                    ",\"length\":" + num(doc.length) + ",\"frame_skip\":" + num(doc.frameSkip) + ",\"objects\":[";
    for (size_t i = 0; i < doc.objects.size(); ++i) j += (i ? "," : "") + objectJson(*doc.objects[i]);
    j += "],\"events\":[";
    for (size_t i = 0; i < doc.events.size(); ++i) j += (i ? "," : "") + eventJson(*doc.events[i]);
    j += "],\"frame_codes\":[";
    bool first = true;
    for (int32_t f = 0; f < doc.length; ++f) {
        if (uint8_t code = doc.frameCode(f)) {
            j += (first ? "[" : ",[") + num(f) + "," + num(code) + "]";
            first = false;
        }
    }
    j += "]}\n";
    std::fputs(j.c_str(), stdout);
}

void printText(const Document& doc) {
    std::string t = "stage " + num(doc.stageWidth) + " x " + num(doc.stageHeight) + "\nlength " + num(doc.length) +
                    "\nframe skip " + num(doc.frameSkip) + "\nobjects " + num(int64_t(doc.objects.size())) + "\n";
    for (size_t i = 0; i < doc.objects.size(); ++i) {
        const MediaObject& o = *doc.objects[i];
        t += "  " + num(int64_t(i)) + " " + objectKindName(o.kind()) + " " + textString(o.name) + " rect " +
             num(o.left) + " " + num(o.top) + " " + num(o.width) + " " + num(o.height) + " ranges";
        for (const FrameRange& r : o.ranges) t += " " + num(r.first) + ".." + num(r.last);
        t += " enabled " + num(o.enabled) + " locked " + num(o.locked);
        if (auto* v = dynamic_cast<const VideoObject*>(&o)) {
            t += " video " + textString(mediaName(v->video)) + " step " + num(v->frameStep);
        } else if (auto* im = dynamic_cast<const ImageObject*>(&o)) {
            t += " picture " + textString(mediaName(im->picture));
        } else if (auto* p = dynamic_cast<const DragPath*>(&o)) {
            t += std::string(" curve ") + (p->curveFlag == 1 ? "bezier" : "polyline") + " arrows " +
                 num(p->arrowMode) + " points " + num(p->count());
            for (const PathPoint& pt : p->path.points()) {
                t += "\n    point " + num(pt.x) + " " + num(pt.y) + " frame " + num(pt.frame);
                if (pt.handOver()) t += " hand-over";
            }
        }
        t += "\n";
    }
    t += "events " + num(int64_t(doc.events.size())) + "\n";
    for (size_t i = 0; i < doc.events.size(); ++i) {
        const Event& e = *doc.events[i];
        t += "  " + num(int64_t(i)) + " " + eventKindName(e.kind()) + " frames " + num(e.first) + ".." +
             num(e.last) + " wait " + num(e.wait);
        if (auto* p = dynamic_cast<const PlayEvent*>(&e)) {
            t += " interruptible " + num(p->interruptible);
        } else if (auto* jmp = dynamic_cast<const JumpEvent*>(&e)) {
            t += " targets";
            for (int32_t target : jmp->targets) t += " " + num(target);
        } else if (auto* s = dynamic_cast<const SoundEvent*>(&e)) {
            t += " sound " + textString(mediaName(s->sound)) + " repeat " + num(s->repeat);
        } else if (auto* l = dynamic_cast<const LinkEvent*>(&e)) {
            t += " target " + textString(l->target) + " address " + textString(l->address);
        } else if (auto* pe = dynamic_cast<const ParamEvent*>(&e)) {
            t += " text " + textString(pe->text);
        }
        t += "\n";
    }
    t += "frame codes";
    for (int32_t f = 0; f < doc.length; ++f)
        if (uint8_t code = doc.frameCode(f)) t += " " + num(f) + ":" + num(code);
    t += "\n";
    std::fputs(t.c_str(), stdout);
}

int info(const Args& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (file.empty())
            file = a;
        else
            return fail("project info", "usage: tavlin project info FILE.tvl [--json]");
    }
    if (file.empty()) return fail("project info", "usage: tavlin project info FILE.tvl [--json]");
    int status = 0;
    auto doc = openProject(file, &status);
    if (!doc) return status;
    doc->recomputeFrameCodes();
    if (json)
        printJson(*doc);
    else
        printText(*doc);
    return 0;
}

int normalize(const Args& args) {
    if (args.size() != 2) return fail("project normalize", "usage: tavlin project normalize IN.tvl OUT.tvl");
    int status = 0;
    auto doc = openProject(args[0], &status);
    if (!doc) return status;
    if (!saveProjectFile(*doc, args[1])) return fail(args[1], "cannot write the file");
    return 0;
}

int render(const Args& args) {
    std::vector<std::string> words;
    bool edit = false;
    for (const std::string& a : args) {
        if (a == "--edit")
            edit = true;
        else
            words.push_back(a);
    }
    const char* usage = "usage: tavlin project render FILE.tvl FRAME OUT.png [--edit]";
    if (words.size() != 3) return fail("project render", usage);
    int32_t frame = 0;
    if (!parseInt(words[1], &frame)) return fail(words[1], "not a frame number");

    // Text on the stage needs fonts, and fonts need a GUI application; the
    // offscreen platform keeps it from looking for a display.
    std::unique_ptr<QGuiApplication> app;
    if (!QGuiApplication::instance()) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Qt's own remarks about the session (no runtime folder and the like)
        // are not the tool's output; failures are reported by the tool itself.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        static int argc = 1;
        static char name[] = "tavlin";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }

    int status = 0;
    auto doc = openProject(words[0], &status);
    if (!doc) return status;
    if (frame < 0 || frame >= doc->length)
        return fail(words[1], "frame outside the timeline 0.." + num(doc->length - 1));
    doc->recomputeFrameCodes();
    // Set directly: going through play mode would start the events, and a
    // running play event makes the stage draw its fast way.
    doc->editMode = edit ? 1 : 0;
    doc->currentFrame = frame;
    doc->mouseDown = 0;
    Canvas stage(doc->stageWidth, doc->stageHeight);
    renderStage(*doc, stage);
    if (!PngFormat().write(words[2], stage.image())) return fail(words[2], "cannot write the picture");
    return 0;
}

// The frame the play tool's drag sets when the pointer goes to (x, y), as a
// script or the web viewer's tests compare it.
int map(const Args& args) {
    const char* usage = "usage: tavlin project map FILE.tvl X Y [--frame F] [--object N]";
    std::vector<std::string> words;
    std::optional<int32_t> frame, objectIndex;
    for (size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--frame" || args[i] == "--object") && i + 1 < args.size()) {
            int32_t v = 0;
            if (!parseInt(args[i + 1], &v)) return fail(args[i + 1], "not a whole number");
            (args[i] == "--frame" ? frame : objectIndex) = v;
            ++i;
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 3) return fail("project map", usage);
    int32_t x = 0, y = 0;
    if (!parseInt(words[1], &x) || !parseInt(words[2], &y)) return fail("project map", usage);
    int status = 0;
    auto doc = openProject(words[0], &status);
    if (!doc) return status;
    doc->recomputeFrameCodes();
    // Play mode set directly: entering it would start the events.
    doc->editMode = 0;
    doc->currentFrame = std::clamp(frame.value_or(0), 0, doc->length - 1);
    DragPath* path = nullptr;
    if (objectIndex) {
        int32_t n = 0;
        for (const auto& o : doc->objects) {
            if (o->kind() != kDragPath) continue;
            if (n++ == *objectIndex) path = static_cast<DragPath*>(o.get());
        }
        if (!path) return fail(words[0], "has no drag path " + num(*objectIndex));
    } else {
        path = pickPath(*doc, x, y);
        if (!path) return fail(words[0], "no drag path near " + num(x) + " " + num(y) + " at frame " +
                                             num(doc->currentFrame));
    }
    doc->setActiveDragPath(path);
    doc->mouseDown = 1;
    dragTo(*doc, x, y);
    std::printf("%d\n", doc->currentFrame);
    return 0;
}

// Imports a picture, video or sound the way the studio's commands do, then
// saves the project (over itself unless -o names another file).
int add(const Args& args) {
    const char* usage = "usage: tavlin project add PROJECT.tvl MEDIA [--at X Y] [--frame N] [-o OUT.tvl]";
    std::vector<std::string> words;
    std::optional<std::pair<int32_t, int32_t>> at;
    std::optional<int32_t> frame;
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--at") {
            int32_t x = 0, y = 0;
            if (i + 2 >= args.size() || !parseInt(args[i + 1], &x) || !parseInt(args[i + 2], &y))
                return fail("project add", "--at needs two numbers X Y");
            at = std::make_pair(x, y);
            i += 2;
        } else if (a == "--frame") {
            int32_t n = 0;
            if (i + 1 >= args.size() || !parseInt(args[i + 1], &n))
                return fail("project add", "--frame needs a number");
            frame = n;
            i += 1;
        } else if (a == "-o") {
            if (i + 1 >= args.size()) return fail("project add", "-o needs a file name");
            out = args[++i];
        } else {
            words.push_back(a);
        }
    }
    if (words.size() != 2) return fail("project add", usage);
    // Stored as a full path, so the project finds it from wherever it is opened.
    std::error_code ec;
    std::string media = std::filesystem::absolute(words[1], ec).lexically_normal().string();
    if (ec) media = words[1];
    if (out.empty()) out = words[0];
    int status = 0;
    auto doc = openProject(words[0], &status);
    if (!doc) return status;
    if (frame) {
        if (*frame < 0 || *frame >= doc->length)
            return fail(std::to_string(*frame),
                        "not a frame of the project (0.." + std::to_string(doc->length - 1) + ")");
        doc->currentFrame = *frame;
    }
    int32_t x = at ? at->first : -1, y = at ? at->second : -1;
    bool done = false;
    if (fileNameOf(media) != "tavlin.txt" && findVideoFormat(media))
        done = importVideo(*doc, media, x, y);
    else if (findImageFormat(media))
        done = importImage(*doc, media, x, y);
    else if (findAudioFormat(media))
        done = importSound(*doc, media);
    else
        return fail(media, "not a picture, video or sound this tool knows by its name");
    if (!done) return fail(media, "not added");
    if (!saveProjectFile(*doc, out)) return fail(out, "cannot write the file");
    return 0;
}

}  // namespace

int projectCommand(const Args& args) {
    if (args.empty()) return fail("project", "usage: tavlin project info|normalize|render|map|add ... (see tavlin --help)");
    PromptsScope scope;
    Args rest(args.begin() + 1, args.end());
    if (args[0] == "info") return info(rest);
    if (args[0] == "normalize") return normalize(rest);
    if (args[0] == "render") return render(rest);
    if (args[0] == "map") return map(rest);
    if (args[0] == "add") return add(rest);
    return fail("project", "unknown command '" + args[0] + "' (see tavlin --help)");
}

}  // namespace tavlin::cli
