#pragma once
// The tool of play mode: the pointer picks the nearest drag path and dragging
// along it moves through the frames, as a viewer of the published page would.

#include "editor/editor_tools.h"

namespace tavlin {

class PlayTool : public Tool {
public:
    // Sets the mouse-down flag, then drags.
    void press(EditorView& view, int32_t x, int32_t y, int32_t modifiers) override;
    // Makes the path under the pointer the active one (grab cursor), or
    // clears it (neutral cursor).
    void hover(EditorView& view, int32_t x, int32_t y) override;
    void drag(EditorView& view, int32_t x, int32_t y, int32_t modifiers) override;
    void release(EditorView& view, int32_t x, int32_t y) override;

private:
    int32_t gripCursor_ = -1;  // made from its picture on the first drag
};

}  // namespace tavlin
