#include "studio/object_info_window.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "document/document.h"
#include "document/drag_path.h"
#include "document/image_object.h"
#include "document/media_resource.h"
#include "document/video_object.h"
#include "editor/editor_tools.h"
#include "import/media_import.h"
#include "import/still_list.h"
#include "studio/capture_dialog.h"
#include "studio/info_controls.h"
#include "studio/picture_chooser.h"
#include "studio/still_list_editor.h"
#include "ui/control.h"

namespace tavlin {

using namespace info;

namespace {

const char* dialogOf(int32_t kind) {
    switch (kind) {
    case kVideoObject: return "infovideo";
    case kImageObject: return "infoimage";
    default: return "infodm";
    }
}

constexpr int32_t kGrabDistances = 11;  // none, 1, 5, 10, ... 50

std::string hexText(int32_t colour) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", unsigned(colour) & 0xFFFFFFu);
    return buf;
}

std::string str(const char* id) { return resources().StringCopy(id); }

// The folder a picture chooser starts in for a picture now named `name`: its
// own folder, or the current one when it has none.
std::string pictureFolder(const std::string& name) {
    return name.find_first_of("/\\") == std::string::npos ? std::string() : folderOf(name);
}

// A picture's line of a still list: "N", its index and a full path.
constexpr uintmax_t kLongestStillLine = 4200;

// Whether `path` holds exactly what the still-picture list editor writes.
// The header is looked at first, so a large video is not read through.
bool isStillList(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char start[64];
    in.read(start, sizeof start);
    std::string header(start, size_t(in.gcount()));
    size_t end = header.find('\n');
    if (end == std::string::npos) return false;
    header.resize(end);
    StillListSize size;
    int32_t frames = 0, again = 0;
    if (std::sscanf(header.c_str(), "%d %d %d %d", &size.width, &size.height, &frames, &again) != 4 || frames <= 0 ||
        frames != again)
        return false;
    std::error_code error;
    auto bytes = std::filesystem::file_size(path, error);
    if (error || bytes > uintmax_t(frames) * kLongestStillLine) return false;
    in.clear();
    in.seekg(0);
    std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return whole == stillListText(readStillList(path), size);
}

// What the object's rectangle fields read: widths and heights below 1 are 1.
struct ObjectFields {
    std::string name;
    int32_t left, top, width, height;
};

}  // namespace

int32_t ObjectInfoWindow::GrabDistanceAt(int32_t index) {
    if (index <= 0) return 0;
    return index == 1 ? 1 : (index - 1) * 5;
}

ObjectInfoWindow::ObjectInfoWindow(Window* owner, EditorView& view, int32_t kind)
    : InfoPanel(owner, view, dialogOf(kind)), kind_(kind) {
    if (kind_ == kDragPath) {
        for (int32_t s = 0; s < kDragPathStates; ++s) {
            if (auto* widths = dynamic_cast<ComboBox*>(ControlById(kStateWidth + s))) {
                widths->AddString(str("none"));
                for (int32_t w = 1; w <= 10; ++w) widths->AddString(std::to_string(w));
            }
        }
        if (auto* dirs = dynamic_cast<ComboBox*>(ControlById(kThumbDirection)))
            for (const char* id : {"fixed", "flip", "rotate"}) dirs->AddString(str(id));
        if (auto* grab = dynamic_cast<ComboBox*>(ControlById(kGrabDistance))) {
            grab->AddString(str("none"));
            for (int32_t i = 1; i < kGrabDistances; ++i) grab->AddString(std::to_string(GrabDistanceAt(i)));
        }
    }
    for (int32_t id : {int32_t(kMediaBox), kStatePicture + 1, kStatePicture + 2})
        if (auto* button = dynamic_cast<Button*>(ControlById(id))) emptyLabels_[id] = button->label();
}

void ObjectInfoWindow::setTarget(MediaObject* object) {
    targetId_ = object && object->kind() == kind_ ? object->id : 0;
    load();
}

std::string ObjectInfoWindow::emptyLabel(int32_t id) const {
    auto it = emptyLabels_.find(id);
    return it == emptyLabels_.end() ? std::string() : it->second;
}

MediaObject* ObjectInfoWindow::target() const {
    Document* doc = document();
    return doc ? doc->findObject(targetId_) : nullptr;
}

bool ObjectInfoWindow::isText(int32_t id) const {
    return (id >= kName && id <= kHeight) || (kind_ == kVideoObject && id == kFrameStep);
}

bool ObjectInfoWindow::storeFields() {
    MediaObject* o = target();
    if (!o) return false;
    ObjectFields f{text(kName), number(kLeft), number(kTop), std::max(number(kWidth), 1), std::max(number(kHeight), 1)};
    bool differs =
        f.name != o->name || f.left != o->left || f.top != o->top || f.width != o->width || f.height != o->height;
    int32_t step = 0;
    if (kind_ == kVideoObject) {
        step = number(kFrameStep);
        if (step < 0) step = 1;
        differs = differs || step != static_cast<VideoObject*>(o)->frameStep;
    }
    if (!differs) return false;
    beginTyping();
    o->name = f.name;
    o->setRect(f.left, f.top, f.width, f.height);
    if (kind_ == kVideoObject) static_cast<VideoObject*>(o)->setFrameStep(step);
    return true;
}

void ObjectInfoWindow::applyText(int32_t id) {
    MediaObject* o = target();
    if (!o) return;
    int32_t n = number(id);
    switch (id) {
    case kName:
        if (text(kName) == o->name) return;
        beginTyping();
        o->name = text(kName);
        break;
    case kLeft:
    case kTop: {
        int32_t x = id == kLeft ? n : o->left, y = id == kTop ? n : o->top;
        if (x == o->left && y == o->top) return;
        beginTyping();
        o->moveTo(x, y);
        break;
    }
    case kWidth:
    case kHeight: {
        int32_t w = id == kWidth ? std::max(n, 1) : o->width, h = id == kHeight ? std::max(n, 1) : o->height;
        if (w == o->width && h == o->height) return;
        beginTyping();
        o->resize(w, h);
        break;
    }
    case kFrameStep: {
        auto* video = static_cast<VideoObject*>(o);
        int32_t step = n < 0 ? 1 : n;
        if (step == video->frameStep) return;
        beginTyping();
        video->setFrameStep(step);
        break;
    }
    default: return;
    }
    changed();
}

void ObjectInfoWindow::loadFields() {
    MediaObject* o = target();
    if (!o) return;
    setText(kName, o->name);
    setNumber(kLeft, o->left);
    setNumber(kTop, o->top);
    setNumber(kWidth, o->width);
    setNumber(kHeight, o->height);
    visitObject(
        *o,
        [&](VideoObject& v) {
            std::string name = v.video ? v.video->name : v.storedName;
            setLabel(kMediaBox, name.empty() ? emptyLabel(kMediaBox) : baseName(name));
            setNumber(kFrameStep, v.frameStep);
        },
        [&](ImageObject& i) {
            std::string name = i.picture ? i.picture->name : i.storedName;
            setLabel(kMediaBox, name.empty() ? emptyLabel(kMediaBox) : baseName(name));
        },
        [&](DragPath& p) { loadPath(p); });
}

void ObjectInfoWindow::loadPath(const DragPath& p) {
    for (int32_t s = 0; s < kDragPathStates; ++s) {
        if (auto* widths = dynamic_cast<ComboBox*>(ControlById(kStateWidth + s)))
            widths->SetSelection(std::clamp(p.stateWidths[size_t(s)], 0, 10));
        const ImageResource* picture = p.statePictures[size_t(s)];
        setLabel(kStatePicture + s, picture ? baseName(picture->name) : emptyLabel(kStatePicture + s));
        if (Control* remove = ControlById(kStatePictureRemove + s)) remove->Enable(picture != nullptr);
    }
    if (auto* list = dynamic_cast<ListBox*>(ControlById(kThumbList))) {
        list->Clear();
        for (const ImageResource* thumb : p.thumbs) list->AddString(thumb ? baseName(thumb->name) : std::string());
    }
    bool thumbs = !p.thumbs.empty();
    for (int32_t id : {kThumbRemove, kKeepThumb, kThumbDirection})
        if (Control* c = ControlById(id)) c->Enable(thumbs);
    setChecked(kKeepThumb, p.keepThumb != 0);
    if (auto* dirs = dynamic_cast<ComboBox*>(ControlById(kThumbDirection)))
        dirs->SetSelection(std::clamp(p.thumbDirection, 0, 2));
    setChecked(kArrowAtStart, p.arrowMode & kArrowStart);
    setChecked(kArrowAtEnd, p.arrowMode & kArrowEnd);
    setChecked(kArrowAutomatic, p.arrowMode & kArrowAuto);
    for (int32_t id : {kArrowAtStart, kArrowAtEnd})
        if (Control* c = ControlById(id)) c->Enable(!(p.arrowMode & kArrowAuto));
    setChecked(kCurve, p.curveFlag != 0);
    if (auto* grab = dynamic_cast<ComboBox*>(ControlById(kGrabDistance))) {
        int32_t index = 0;
        for (int32_t i = 0; i < kGrabDistances; ++i)
            if (GrabDistanceAt(i) <= p.grabLimit) index = i;
        grab->SetSelection(index);
    }
    setChecked(kGrabFromThumb, p.grabFromThumb != 0);
}

void ObjectInfoWindow::onButton(int32_t id) {
    MediaObject* o = target();
    if (!o) return;
    if (id == kApplyObject) {
        storeAll();
        return;
    }
    if (id == kNaturalSize) {
        storeAll();
        Size size = o->mediaSize();
        if (size.width != 0 && size.height != 0 && (size.width != o->width || size.height != o->height)) {
            beginChange();
            o->resize(size.width, size.height);
            changed();
        }
        load();
        return;
    }
    if (kind_ == kDragPath) {
        pathControl(static_cast<DragPath&>(*o), id);
        return;
    }
    if (id == kMediaBox) replaceMedia(std::string());
    if (kind_ == kVideoObject && id == kRecord) recordVideo();
    if (kind_ == kVideoObject && id == kStillPictures) editStills();
}

void ObjectInfoWindow::recordVideo() {
    std::optional<std::string> target = uniqueNameOrTell(tmpDir(), "nv", ".avi");
    if (!target) return;
    std::optional<std::string> recorded = captureVideo(this, *target);
    if (recorded && !recorded->empty()) replaceMedia(*recorded);
}

void ObjectInfoWindow::editStills() {
    auto* video = dynamic_cast<VideoObject*>(target());
    if (!video) return;
    std::string current = video->video ? video->video->name : std::string();
    // The editor writes its list over the file it was opened on, so only a
    // list it could have written itself is edited in place; any other video
    // (an AVI, a frame list with difference frames) would be lost.
    std::optional<std::string> list;
    if (!current.empty() && isStillList(current))
        list = current;
    else
        list = uniqueNameOrTell(tmpDir(), "vn", ".txt");
    if (!list) return;
    std::optional<std::string> written = editStillList(this, *list);
    if (!written || written->empty()) return;
    // A list rewritten within the second it was read keeps its time stamp:
    // it is read again all the same.
    if (Document* doc = document())
        if (MediaResource* known = doc->findResource(MediaKind::Video, *written)) known->modificationTime = -1;
    replaceMedia(*written);
}

void ObjectInfoWindow::onDrop(const std::string& path) {
    if (kind_ != kDragPath) replaceMedia(path);
}

void ObjectInfoWindow::replaceMedia(const std::string& dropped) {
    MediaObject* o = target();
    if (!o) return;
    ObjectId id = o->id;
    std::string current;
    visitObject(
        *o, [&](VideoObject& v) { current = v.video ? v.video->name : v.storedName; },
        [&](ImageObject& i) { current = i.picture ? i.picture->name : i.storedName; }, [](const MediaObject&) {});
    MediaKind kind = kind_ == kVideoObject ? MediaKind::Video : MediaKind::Image;
    // The picture chooser opens where the current picture is.
    std::string start = kind == MediaKind::Image ? pictureFolder(current) : baseName(current);
    MediaResource* chosen = chooseMedia(kind, start, dropped);
    // The question may have let other windows run: look the object up again.
    o = document() ? document()->findObject(id) : nullptr;
    if (!chosen || !o) return;
    beginChange();
    visitObject(
        *o, [&](VideoObject& v) { v.attachVideo(static_cast<VideoResource*>(chosen)); },
        [&](ImageObject& i) { i.attachImage(static_cast<ImageResource*>(chosen)); }, [](const MediaObject&) {});
    if (kind == MediaKind::Video) settings().Set("tmp_dir", folderOf(chosen->name));
    document()->extendLength();
    document()->recomputeFrameCodes();
    changed();
    load();
}

void ObjectInfoWindow::pathControl(DragPath& p, int32_t id) {
    Settings& s = settings();
    auto combo = [this](int32_t c) {
        auto* box = dynamic_cast<ComboBox*>(ControlById(c));
        return box ? box->GetSelection() : -1;
    };
    if (id >= kStatePicture && id < kStatePicture + kDragPathStates) {
        int32_t state = id - kStatePicture;
        const ImageResource* now = p.statePictures[size_t(state)];
        ObjectId pathId = p.id;
        MediaResource* chosen = chooseMedia(MediaKind::Image, now ? pictureFolder(now->name) : std::string(), {});
        auto* again = document() ? dynamic_cast<DragPath*>(document()->findObject(pathId)) : nullptr;
        if (!chosen || !again) return;
        beginChange();
        again->setStatePicture(state, static_cast<ImageResource*>(chosen));
    } else if (id >= kStateWidth && id < kStateWidth + kDragPathStates) {
        int32_t state = id - kStateWidth, width = combo(id);
        if (width < 0 || width == p.stateWidths[size_t(state)]) return;
        beginChange();
        p.stateWidths[size_t(state)] = width;
        s.Set("dmlinew" + std::to_string(state), std::to_string(width));
    } else if (id >= kStateColour && id < kStateColour + kDragPathStates) {
        int32_t state = id - kStateColour;
        std::optional<uint32_t> colour = prompts().chooseColour(uint32_t(p.stateColours[size_t(state)]));
        if (!colour) return;
        beginChange();
        p.stateColours[size_t(state)] = int32_t(*colour & 0xFFFFFF);
        s.Set("dmcolor" + std::to_string(state), hexText(p.stateColours[size_t(state)]));
    } else if (id >= kStatePictureRemove && id < kStatePictureRemove + kDragPathStates) {
        int32_t state = id - kStatePictureRemove;
        if (!p.statePictures[size_t(state)]) return;
        beginChange();
        p.clearStatePicture(state);
    } else if (id == kThumbAdd) {
        ObjectId pathId = p.id;
        std::optional<std::vector<std::string>> files = choosePictures(this, std::string(), true);
        if (!files) return;
        bool added = false;
        for (const std::string& file : *files) {
            // Each thumb joins the path before the next is resolved: resolving
            // purges the media nothing uses, which a thumb held aside would be.
            MediaResource* chosen = chooseMedia(MediaKind::Image, std::string(), file);
            auto* again = document() ? dynamic_cast<DragPath*>(document()->findObject(pathId)) : nullptr;
            if (!again) break;
            if (!chosen) continue;
            if (!added) beginChange();
            added = true;
            again->thumbs.push_back(static_cast<ImageResource*>(chosen));
            again->updateThumb();
        }
        if (!added) return;
    } else if (id == kThumbRemove) {
        auto* list = dynamic_cast<ListBox*>(ControlById(kThumbList));
        int32_t at = list ? list->GetSelection() : -1;
        if (at < 0 || size_t(at) >= p.thumbs.size()) return;
        beginChange();
        p.thumbs.erase(p.thumbs.begin() + at);
        p.currentThumb = 0;
        p.updateThumb();
    } else if (id == kKeepThumb) {
        beginChange();
        p.keepThumb = checked(id) ? 1 : 0;
        s.Set("dmkeep", p.keepThumb ? "1" : "0");
    } else if (id == kThumbDirection) {
        int32_t mode = combo(id);
        if (mode < 0 || mode == p.thumbDirection) return;
        beginChange();
        p.thumbDirection = mode;
        s.Set("dmthumbdir", std::to_string(mode));
    } else if (id == kArrowAtStart || id == kArrowAtEnd || id == kArrowAutomatic) {
        int32_t bit = id == kArrowAtStart ? kArrowStart : id == kArrowAtEnd ? kArrowEnd : kArrowAuto;
        beginChange();
        p.arrowMode = checked(id) ? (p.arrowMode | bit) : (p.arrowMode & ~bit);
        s.Set("dmarrow", std::to_string(p.arrowMode));
    } else if (id == kCurve) {
        beginChange();
        p.curveFlag = checked(id) ? 1 : 0;
        s.Set("dmbezier", p.curveFlag ? "1" : "0");
    } else if (id == kGrabDistance) {
        int32_t index = combo(id);
        if (index < 0) return;
        beginChange();
        p.grabLimit = GrabDistanceAt(index);
        s.Set("dmdist", std::to_string(p.grabLimit));
    } else if (id == kGrabFromThumb) {
        beginChange();
        p.grabFromThumb = checked(id) ? 1 : 0;
        s.Set("dmfromthumb", p.grabFromThumb ? "1" : "0");
    } else {
        return;
    }
    changed();
    load();
}

}  // namespace tavlin
