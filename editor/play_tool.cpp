#include "editor/play_tool.h"

#include "core/resource_folder.h"

#include "document/document.h"
#include "document/drag_path.h"
#include "document/event.h"

namespace tavlin {

namespace {

// The document when the tools may act on it.
Document* usable(EditorView& view) {
    if (editingTolerance(view.zoom()) == 0) return nullptr;
    return view.document();
}

}  // namespace

void PlayTool::press(EditorView& view, int32_t x, int32_t y, int32_t modifiers) {
    Document* doc = usable(view);
    if (!doc) return;
    doc->mouseDown = 1;
    drag(view, x, y, modifiers);
}

void PlayTool::hover(EditorView& view, int32_t x, int32_t y) {
    Document* doc = usable(view);
    if (!doc) return;
    if (!doc->editMode) {
        const auto* play = static_cast<const PlayEvent*>(doc->runningEvent[kPlayEvent]);
        if (play && !play->interruptible) return;
    }
    if (DragPath* path = pickPath(*doc, x, y)) {
        if (doc->activeDragPath() != path) {
            doc->setActiveDragPath(path);
            view.redraw();
        }
        view.setCursor(kCursorGrab);
        return;
    }
    if (doc->activeDragPath()) {
        doc->setActiveDragPath(nullptr);
        view.redraw();
    }
    // Away from every path a press does nothing: the normal arrow.
    view.setCursor(kCursorArrow);
}

void PlayTool::drag(EditorView& view, int32_t x, int32_t y, int32_t) {
    Document* doc = usable(view);
    if (!doc) return;
    if (!dragTo(*doc, x, y)) return;
    // The hand closes on the path while it drags.
    if (gripCursor_ < 0)
        if (const Image* picture = resources().Image("cfingergrip.png")) gripCursor_ = view.makeCursor(*picture, 0, 0);
    if (gripCursor_ >= 0) view.setCursor(gripCursor_);
}

void PlayTool::release(EditorView& view, int32_t, int32_t) {
    Document* doc = usable(view);
    if (!doc) return;
    doc->mouseDown = 0;
    view.redraw();
}

}  // namespace tavlin
