#pragma once
// The tool of edit mode: selects, moves and resizes stage objects, moves,
// inserts and merges drag path points. Over empty stage it acts as the play
// tool, so drag paths can be tried while editing.

#include <cstdint>

#include "editor/editor_tools.h"
#include "document/document.h"
#include "editor/play_tool.h"

namespace tavlin {

class EditTool : public Tool {
public:
    void press(EditorView& view, int32_t x, int32_t y, int32_t modifiers) override;
    // Finds the object and handle under the pointer (selected objects first)
    // and shows the matching cursor.
    void hover(EditorView& view, int32_t x, int32_t y) override;
    void drag(EditorView& view, int32_t x, int32_t y, int32_t modifiers) override;
    void release(EditorView& view, int32_t x, int32_t y) override;

    int32_t hitCode = 0;
    ObjectId hoveredId = 0;  // the object under the pointer at the last hover
    int32_t lastX = 0;
    int32_t lastY = 0;
    int32_t pointIndex = 0;
    PlayTool secondary;

private:
public:
    // The hovered object while it still exists (an undo between hover and
    // press replaces every object, and the id then finds nothing).
    MediaObject* liveHovered(Document& doc) const { return doc.findObject(hoveredId); }

private:
    void dragPoint(EditorView& view, Document& doc, int32_t x, int32_t y, int32_t modifiers);
    void dragSelection(EditorView& view, Document& doc, int32_t x, int32_t y, int32_t modifiers);
};

// Where a dragged path point goes with Shift held: straight above or below
// the neighbour, level with it, or on its diagonal.
void constrainToNeighbour(int32_t nx, int32_t ny, int32_t* x, int32_t* y);

}  // namespace tavlin
