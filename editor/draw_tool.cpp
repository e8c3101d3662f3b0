#include "editor/draw_tool.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "document/document.h"
#include "document/drag_path.h"
#include "document/media_resource.h"
#include "document/project_file.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"

namespace tavlin {

namespace {

constexpr int32_t kMinButtonSide = 16;

// A button picture of the resource folder as a media resource of the
// document, found or loaded like a media name stored in a project.
ImageResource* buttonPicture(Document& doc, const char* name) {
    MediaResource* r = resolveMedia(doc, MediaKind::Image, joinPath(resources().Path(), name));
    return r && r->kind() == MediaKind::Image ? static_cast<ImageResource*>(r) : nullptr;
}

void setAllStates(DragPath& path, ImageResource* picture) {
    if (!picture) return;
    for (int32_t s = 0; s < kDragPathStates; ++s) path.setStatePicture(s, picture);
}

}  // namespace

DragPath* DrawTool::liveNewObject(Document& doc) {
    MediaObject* o = doc.findObject(newObjectId);
    return o && o->kind() == kDragPath ? static_cast<DragPath*>(o) : nullptr;
}

void DrawTool::hover(EditorView& view, int32_t, int32_t) {
    if (editingTolerance(view.zoom()) == 0) return;
    if (!cursorTried_) {
        // Tried once: a missing picture would otherwise complain at every move.
        cursorTried_ = true;
        if (const Image* picture = resources().Image("cdrawpath.png")) cursor_ = view.makeCursor(*picture, 0, 0);
    }
    view.setCursor(cursor_ >= 0 ? cursor_ : kCursorPoint);
}

void DrawTool::press(EditorView& view, int32_t x, int32_t y, int32_t) {
    Document* doc = view.document();
    if (!doc || editingTolerance(view.zoom()) == 0) return;
    if (kind == kDrawPlayButton) {
        // The event made on release spans these frames, whichever way round
        // the in and out points are.
        int32_t a = std::min(doc->inPoint, doc->outPoint), b = std::max(doc->inPoint, doc->outPoint);
        if (doc->eventOverlaps(kPlayEvent, a + 1, b)) {
            ShowMessage("%s", documentString("e_ev_overlap").c_str());
            return;
        }
    }
    doc->mouseDown = 1;
    auto path = std::make_unique<DragPath>(*doc);
    if (!path) {
        ShowMessage("%s", documentString("e_gen_dm").c_str());
        return;
    }
    doc->snapshot();
    startX = x;
    startY = y;
    switch (kind) {
    case kDrawFreeHand: path->addPoint(x, y, 0, true); break;
    case kDrawOval:
        // An oval is round whatever the curve setting of new paths.
        path->curveFlag = 1;
        path->addPoint(x, y, 0, true);
        path->addPoint(x - 1, y + 1, 0, true);
        path->addPoint(x, y + 2, 0, true);
        path->addPoint(x + 1, y + 1, 0, true);
        path->addPoint(x, y, 0, true);
        break;
    case kDrawVerticalLine:
        path->addPoint(x, y, 0, true);
        path->addPoint(x, y + 1, 0, true);
        break;
    case kDrawHorizontalLine:
        path->addPoint(x, y, 0, true);
        path->addPoint(x + 1, y, 0, true);
        break;
    default:
        // Moved before the points exist, since moving a path carries its
        // points along.
        path->moveTo(x, y);
        path->addPoint(x, y, 0, true);
        path->addPoint(x + 1, y, 0, true);
        setAllStates(*path, buttonPicture(*doc, kind == kDrawPlayButton ? "playbutton.png" : "jumpbutton.png"));
        break;
    }
    path->ranges.push_back({0, doc->length - 1});
    path->uniqueName("dpath");
    MediaObject* added = doc->addObject(std::move(path));
    newObjectId = added->id;
    doc->selectAll(false);
    added->selected = 1;
    view.redraw();
}

void DrawTool::shape(EditorView& view, DragPath& path, int32_t x, int32_t y) {
    int32_t x0 = startX, y0 = startY;
    auto set = [&path](int32_t i, int32_t px, int32_t py) {
        if (PathPoint* p = path.point(i)) {
            p->x = px;
            p->y = py;
        }
    };
    // Halves in 64 bits: the sums of far-apart stage positions overflow.
    auto mid = [](int32_t a, int32_t b) { return int32_t((int64_t(a) + b) / 2); };
    switch (kind) {
    case kDrawFreeHand: path.addPoint(x, y, 0, true); break;
    case kDrawOval:
        set(0, mid(x0, x), y0);
        set(1, x0, mid(y0, y));
        set(2, mid(x0, x), y);
        set(3, x, mid(y0, y));
        set(4, mid(x0, x), y0);
        break;
    case kDrawVerticalLine: set(1, x0, y); break;
    case kDrawHorizontalLine: set(1, x, y0); break;
    default: {
        int64_t w = int64_t(x) - x0, h = int64_t(y) - y0;
        path.setRect(x0, y0, int32_t(std::clamp<int64_t>(w, kMinButtonSide, INT32_MAX)),
                     int32_t(std::clamp<int64_t>(h, kMinButtonSide, INT32_MAX)));
        int32_t middle = int32_t(int64_t(path.top) + path.height / 2);
        set(0, path.left, middle);
        set(1, int32_t(std::min<int64_t>(int64_t(path.left) + path.width, INT32_MAX)), middle);
        view.refreshInfoWindow();
        break;
    }
    }
    view.redraw();
}

void DrawTool::drag(EditorView& view, int32_t x, int32_t y, int32_t) {
    Document* doc = view.document();
    if (!doc || editingTolerance(view.zoom()) == 0) return;
    if (DragPath* path = liveNewObject(*doc)) shape(view, *path, x, y);
}

void DrawTool::release(EditorView& view, int32_t x, int32_t y) {
    Document* doc = view.document();
    if (!doc || editingTolerance(view.zoom()) == 0) return;
    doc->mouseDown = 0;
    DragPath* path = liveNewObject(*doc);
    if (!path) return;
    // A click without a drag draws nothing: the path would be a speck no
    // one can see or pick. The press leaves no trace, not even in the history.
    bool traced = kind == kDrawPlayButton || kind == kDrawJumpButton || x != startX || y != startY ||
                  (kind == kDrawFreeHand && path->path.count() > 1);
    if (!traced) {
        doc->removeObject(path);
        newObjectId = 0;
        if (doc->history.position > 0) --doc->history.position;
        view.redraw();
        return;
    }
    shape(view, *path, x, y);

    int32_t a = std::min(doc->inPoint, doc->outPoint), b = std::max(doc->inPoint, doc->outPoint);
    int32_t c = doc->currentFrame;
    path->path.distributeFrames(a, b);
    if (kind == kDrawFreeHand) {
        path->path.simplify(32);
        path->path.distributeFrames(a, b);
    }
    if (kind == kDrawJumpButton) {
        for (PathPoint& p : path->path.points()) p.frame = b;
        path->ranges[0] = {c, c};
    }
    if (kind == kDrawPlayButton) {
        for (PathPoint& p : path->path.points()) p.frame = a + 1;
        path->ranges[0] = {a, a};
        path->ranges.push_back({b, b});
        doc->addEvent(kPlayEvent, a + 1, b);

        // Shown while the event plays; pressing it goes back to the in point,
        // outside the event.
        auto stop = std::make_unique<DragPath>(*doc);
        for (const PathPoint& p : path->path.points()) stop->addPoint(p.x, p.y, a, !p.handOver());
        stop->computeCross();
        stop->left = path->left;
        stop->top = path->top;
        stop->width = path->width;
        stop->height = path->height;
        stop->ranges.push_back({a + 1, b - 1});
        stop->selected = 1;
        setAllStates(*stop, buttonPicture(*doc, "stopbutton.png"));
        stop->uniqueName("dpath");
        path->computeCross();
        path = static_cast<DragPath*>(doc->addObject(std::move(stop)));
    } else {
        path->computeCross();
    }
    // From here on `path` is the object to show: the stop button when one was
    // added.
    DragPath* newObject = path;
    newObject->fitRectangle();

    // A video or picture under the new path would otherwise take the edit
    // tool's presses meant for the path.
    for (size_t i = size_t(doc->indexOf(newObject)) + 1; i < doc->objects.size(); ++i) {
        MediaObject& o = *doc->objects[i];
        if (o.kind() == kDragPath) continue;
        o.selected = 0;
        o.locked = 1;
    }

    view.openInfoWindow(*newObject);
    newObjectId = 0;
    doc->recomputeFrameCodes();
    // Only the mode: the drawing tool stays active for the next path.
    doc->setEditMode(true);
    view.refreshToolbox();
    view.redraw();
}

}  // namespace tavlin
