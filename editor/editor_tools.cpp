#include "editor/editor_tools.h"

#include <array>
#include <cmath>
#include <memory>
#include <utility>

#include "document/document.h"
#include "editor/draw_tool.h"
#include "document/drag_path.h"
#include "editor/edit_tool.h"
#include "editor/play_tool.h"

namespace tavlin {

int32_t editingTolerance(double zoom) {
    // NaN and negative zooms count as none too.
    if (!(zoom > 0)) return 0;
    return truncToInt(7.0 / zoom * 0.5 + 1.0);
}

namespace {

std::array<std::unique_ptr<Tool>, kToolCount> makeTable() {
    std::array<std::unique_ptr<Tool>, kToolCount> table;
    table[kPlayToolEntry] = std::make_unique<PlayTool>();
    table[kEditToolEntry] = std::make_unique<EditTool>();
    table[4] = std::make_unique<DrawTool>(kDrawPlayButton);
    table[5] = std::make_unique<DrawTool>(kDrawJumpButton);
    table[8] = std::make_unique<DrawTool>(kDrawFreeHand);
    table[9] = std::make_unique<DrawTool>(kDrawOval);
    table[10] = std::make_unique<DrawTool>(kDrawVerticalLine);
    table[11] = std::make_unique<DrawTool>(kDrawHorizontalLine);
    return table;
}

// A drawing tool of the table becomes the active one in edit mode.
void activateDrawing(EditorView& view, int32_t entry) {
    setEditMode(view, true);
    view.setActiveTool(editorTool(entry));
}

}  // namespace

Tool* editorTool(int32_t index) {
    static const auto table = makeTable();
    if (index < 0 || index >= kToolCount) return nullptr;
    return table[size_t(index)].get();
}

void setEditMode(EditorView& view, bool edit) {
    if (Document* doc = view.document()) doc->setEditMode(edit);
    view.setActiveTool(editorTool(edit ? kEditToolEntry : kPlayToolEntry));
    view.refreshToolbox();
    view.redraw();
}

bool toolboxCommand(EditorView& view, int32_t button) {
    Document* doc = view.document();
    switch (button) {
    case kPlayModeButton: setEditMode(view, false); return true;
    case kEditModeButton: setEditMode(view, true); return true;
    case kDrawPlayButtonButton:
    case kDrawJumpButtonButton:
    case kDrawPathButton:
    case kDrawOvalButton:
    case kDrawVerticalLineButton:
    case kDrawHorizontalLineButton: activateDrawing(view, button); return true;
    case kSetInButton:
    case kSetOutButton:
        if (!doc) return true;
        (button == kSetInButton ? doc->inPoint : doc->outPoint) = doc->currentFrame;
        view.redraw();
        return true;
    case kFlipPathButton: flipSelectedPaths(view); return true;
    default: return false;
    }
}

void addDefaultPath(EditorView& view) {
    Document* doc = view.document();
    if (!doc) return;
    doc->purgeResources();
    doc->snapshot();
    auto path = std::make_unique<DragPath>(*doc);
    path->addPoint(doc->stageWidth / 3, doc->stageHeight / 2, doc->inPoint, true);
    path->addPoint(2 * doc->stageWidth / 3, doc->stageHeight / 2, doc->outPoint, true);
    path->computeCross();
    path->ranges.push_back({0, doc->length - 1});
    path->uniqueName("dpath");
    MediaObject* added = doc->addObject(std::move(path));
    doc->selectAll(false);
    added->selected = 1;
    view.redraw();
    view.openInfoWindow(*added);
    setEditMode(view, true);
}

void flipSelectedPaths(EditorView& view) {
    Document* doc = view.document();
    if (!doc) return;
    // A flip changes what is saved, so it must count as a change to keep.
    bool any = false;
    for (const auto& o : doc->objects) any = any || (o->selected && o->kind() == kDragPath);
    if (!any) return;
    doc->snapshot();
    for (const auto& o : doc->objects) {
        if (!o->selected || o->kind() != kDragPath) continue;
        auto& points = static_cast<DragPath&>(*o).path.points();
        size_t n = points.size();
        for (size_t i = 0; i < n / 2; ++i) {
            std::swap(points[i].x, points[n - 1 - i].x);
            std::swap(points[i].y, points[n - 1 - i].y);
        }
        static_cast<DragPath&>(*o).computeCross();
    }
    view.redraw();
}

void setCurrentFrameCode(EditorView& view, int32_t code) {
    Document* doc = view.document();
    if (!doc || code < 0 || code > 4) return;
    // The marks are saved with the project: without a snapshot the change
    // would not count and closing would not offer to save it.
    doc->snapshot();
    doc->fixFrameCodes(0, doc->currentFrame, doc->currentFrame, code);
    doc->recomputeFrameCodes();
    view.refreshTimeline();
}

}  // namespace tavlin
