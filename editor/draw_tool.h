#pragma once
// Draws a new drag path with the mouse: free-hand, an oval, a vertical or a
// horizontal line, a play button (with its play event and stop button) or a
// jump button. The tool stays active, so several can be drawn in a row.

#include <cstdint>

#include "document/media_object.h"
#include "editor/editor_tools.h"

namespace tavlin {

class DragPath;

enum DrawKind : int32_t {
    kDrawFreeHand = 0,
    kDrawOval = 1,
    kDrawVerticalLine = 2,
    kDrawHorizontalLine = 3,
    kDrawPlayButton = 4,
    kDrawJumpButton = 5,
};

class DrawTool : public Tool {
public:
    explicit DrawTool(int32_t kind) : kind(kind) {}

    void press(EditorView& view, int32_t x, int32_t y, int32_t modifiers) override;
    // Shows the drawing cursor.
    void hover(EditorView& view, int32_t x, int32_t y) override;
    void drag(EditorView& view, int32_t x, int32_t y, int32_t modifiers) override;
    void release(EditorView& view, int32_t x, int32_t y) override;

    int32_t kind;
    ObjectId newObjectId = 0;  // the path being drawn
    int32_t startX = 0;
    int32_t startY = 0;

private:
    // The path being drawn while it still belongs to the document.
    DragPath* liveNewObject(Document& doc);
    void shape(EditorView& view, DragPath& path, int32_t x, int32_t y);

    int32_t cursor_ = -1;  // made from the picture on first hover
    bool cursorTried_ = false;
};

}  // namespace tavlin
