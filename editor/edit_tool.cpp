#include "editor/edit_tool.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "base/numbers.h"
#include "document/document.h"
#include "document/drag_path.h"

namespace tavlin {

namespace {

int32_t cursorFor(int32_t code) {
    switch (code) {
    case kHitTopLeft:
    case kHitBottomRight: return kCursorResizeFalling;
    case kHitTopRight:
    case kHitBottomLeft: return kCursorResizeRising;
    case kHitMove: return kCursorMove;
    case kHitPathPoint: return kCursorPoint;
    case kHitPathSegment: return kCursorSegment;
    default: return kCursorNeutral;
    }
}

DragPath* asPath(MediaObject* o) { return o && o->kind() == kDragPath ? static_cast<DragPath*>(o) : nullptr; }

MediaObject* firstSelected(Document& doc) {
    for (const auto& o : doc.objects)
        if (o->selected) return o.get();
    return nullptr;
}

}  // namespace

void constrainToNeighbour(int32_t nx, int32_t ny, int32_t* x, int32_t* y) {
    int64_t adx = std::llabs(int64_t(nx) - *x);
    int64_t ady = std::llabs(int64_t(ny) - *y);
    if (ady / 2 >= adx) {
        *x = nx;
        return;
    }
    int32_t original = *y;
    *y = ny;
    if (adx / 2 < ady) *y = saturateToInt32(original < ny ? int64_t(ny) - adx : int64_t(ny) + adx);
}

void EditTool::hover(EditorView& view, int32_t x, int32_t y) {
    Document* doc = view.document();
    int32_t t = editingTolerance(view.zoom());
    if (!doc || t == 0) return;
    MediaObject* hovered = nullptr;
    hitCode = kHitNone;
    for (int pass = 0; pass < 2 && !hovered; ++pass) {
        for (const auto& o : doc->objects) {
            if (o->locked || !o->enabled) continue;
            // Selected objects first, but never one that cannot be seen at this frame.
            if (!o->visibleAt(doc->currentFrame) || (pass == 0 && !o->selected)) continue;
            int32_t index = -1;
            int32_t code = o->hitTest(x, y, t, &index);
            if (code == kHitNone) continue;
            hovered = o.get();
            hitCode = code;
            pointIndex = index;
            break;
        }
    }
    hoveredId = hovered ? hovered->id : 0;
    if (!hovered) {
        secondary.hover(view, x, y);
        return;
    }
    view.setCursor(cursorFor(hitCode));
}

void EditTool::press(EditorView& view, int32_t x, int32_t y, int32_t modifiers) {
    Document* doc = view.document();
    int32_t t = editingTolerance(view.zoom());
    if (!doc || t == 0) return;
    MediaObject* object = liveHovered(*doc);
    if (!object) {
        secondary.press(view, x, y, modifiers);
        return;
    }
    bool shift = modifiers & kModifierShift, control = modifiers & kModifierControl;
    doc->mouseDown = 1;
    lastX = x;
    lastY = y;
    // The press decides by the hover's code; the index comes from the press
    // position when it still hits the same part.
    int32_t index = -1;
    if (object->hitTest(x, y, t, &index) == hitCode) pointIndex = index;

    DragPath* path = asPath(object);
    if (hitCode == kHitPathPoint && path) {
        doc->selectAll(false);
        object->selected = 1;
    } else if (hitCode == kHitPathSegment && path) {
        if (control && shift) {
            hitCode = kHitMove;
            view.setCursor(kCursorMove);
        } else if (control) {
            if (PathPoint* end = path->point(pointIndex)) end->flags ^= PathPoint::kHandOver;
        } else if (!object->selected) {
            doc->selectAll(false);
            object->selected = 1;
        } else if (pointIndex >= 1 && pointIndex < path->count()) {
            PathPoint inserted;
            inserted.x = x;
            inserted.y = y;
            inserted.frame = truncToInt(path->path.mapPointer(x, y, 0.0).frame);
            path->path.insertPoint(pointIndex, inserted);
            hitCode = kHitPathPoint;
        }
    } else if (hitCode >= kHitTopLeft && hitCode <= kHitMove) {
        if (control && shift) {
            hitCode = kHitMove;
            view.setCursor(kCursorMove);
        } else if (control) {
            object->selected = object->selected ? 0 : 1;
        } else {
            int32_t hitSelected = 0;
            for (const auto& o : doc->objects)
                if (o->selected && o->hitTest(x, y, t, nullptr) != kHitNone) ++hitSelected;
            if (!(doc->selectedCount() > 1 && hitSelected > 0)) doc->selectAll(false);
            object->selected = 1;
        }
    }
    view.redraw();
    doc->snapshot();

    if (doc->selectedCount() == 1)
        view.openInfoWindow(*firstSelected(*doc));
    else
        view.closeInfoWindow();
}

void EditTool::drag(EditorView& view, int32_t x, int32_t y, int32_t modifiers) {
    Document* doc = view.document();
    if (!doc || editingTolerance(view.zoom()) == 0) return;
    if (!liveHovered(*doc)) {
        secondary.drag(view, x, y, modifiers);
        return;
    }
    if (hitCode == kHitPathPoint)
        dragPoint(view, *doc, x, y, modifiers);
    else
        dragSelection(view, *doc, x, y, modifiers);
}

void EditTool::dragPoint(EditorView& view, Document& doc, int32_t x, int32_t y, int32_t modifiers) {
    DragPath* path = asPath(liveHovered(doc));
    PathPoint* p = path ? path->point(pointIndex) : nullptr;
    if (!p) return;
    if (modifiers & kModifierShift) {
        if (const PathPoint* n = path->point(pointIndex == 0 ? 1 : pointIndex - 1))
            constrainToNeighbour(n->x, n->y, &x, &y);
    }
    p->x = x;
    p->y = y;
    path->fitRectangle();
    view.redraw();
}

void EditTool::dragSelection(EditorView& view, Document& doc, int32_t x, int32_t y, int32_t modifiers) {
    int64_t dx = int64_t(x) - lastX, dy = int64_t(y) - lastY;
    lastX = x;
    lastY = y;
    for (const auto& o : doc.objects) {
        if (!o->selected) continue;
        int64_t x0 = o->left, y0 = o->top, w0 = o->width, h0 = o->height;
        int64_t nx = x0, ny = y0, nw = w0, nh = h0;
        switch (hitCode) {
        case kHitTopLeft: nx += dx, ny += dy, nw -= dx, nh -= dy; break;
        case kHitTopRight: ny += dy, nw += dx, nh -= dy; break;
        case kHitBottomLeft: nx += dx, nw -= dx, nh += dy; break;
        case kHitBottomRight: nw += dx, nh += dy; break;
        case kHitMove: nx += dx, ny += dy; break;
        default: continue;
        }
        nw = std::max<int64_t>(nw, 1);
        nh = std::max<int64_t>(nh, 1);
        if ((modifiers & kModifierShift) && w0 > 0) {
            Size media = o->mediaSize();
            if (media.width > 0 && media.height > 0) nh = std::max<int64_t>(int64_t(media.height) * nw / media.width, 1);
        }
        if (hitCode == kHitMove) {
            o->moveTo(saturateToInt32(nx), saturateToInt32(ny));
            if (nw != w0 || nh != h0) o->resize(saturateToInt32(nw), saturateToInt32(nh));
        } else {
            o->setRect(saturateToInt32(nx), saturateToInt32(ny), saturateToInt32(nw), saturateToInt32(nh));
        }
    }
    if (doc.selectedCount() == 1) view.refreshInfoWindow();
    view.redraw();
}

void EditTool::release(EditorView& view, int32_t x, int32_t y) {
    Document* doc = view.document();
    if (!doc || editingTolerance(view.zoom()) == 0) return;
    doc->mouseDown = 0;
    MediaObject* object = liveHovered(*doc);
    if (!object) {
        secondary.release(view, x, y);
        return;
    }
    DragPath* path = asPath(object);
    if (hitCode == kHitPathPoint && path && path->point(pointIndex)) {
        path->path.dropPoint(pointIndex, x, y);
        path->computeCross();
        // Merged points leave the old bounding box behind.
        path->fitRectangle();
    }
    hoveredId = 0;
    view.redraw();
}

}  // namespace tavlin
