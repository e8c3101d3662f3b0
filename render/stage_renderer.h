#pragma once
// The stage picture: the document's current frame, objects drawn back to
// front over white.

#include <cstdint>
#include <memory>

namespace tavlin {

class Canvas;
class Document;

// Renders into `stage` (which keeps its own size) and sets the document's
// redraw-needed flag when something on the stage is animated.
void renderStage(Document& document, Canvas& stage);

// Keeps a stage picture of the document's size between frames.
class StageRenderer {
public:
    StageRenderer();
    ~StageRenderer();
    // Renders the current frame, first resizing the picture to the stage.
    Canvas& render(Document& document);
    // The last picture rendered (white before the first).
    Canvas& picture() { return *picture_; }

private:
    std::unique_ptr<Canvas> picture_;
};

}  // namespace tavlin
