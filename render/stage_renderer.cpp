#include "render/stage_renderer.h"

#include "canvas/canvas.h"
#include "document/document.h"
#include "render/object_painter.h"

namespace tavlin {

void renderStage(Document& doc, Canvas& stage) {
    bool animated = false;
    for (const auto& o : doc.objects)
        if (o->isAnimatedAt(doc.currentFrame)) animated = true;
    doc.redrawNeeded = animated ? 1 : 0;
    stage.FillRect(0, 0, stage.width(), stage.height(), 0xFFFFFF);
    for (size_t i = doc.objects.size(); i-- > 0;) drawObject(stage, *doc.objects[i], doc.currentFrame);
}

StageRenderer::StageRenderer() : picture_(std::make_unique<Canvas>(1, 1)) {}

StageRenderer::~StageRenderer() = default;

Canvas& StageRenderer::render(Document& doc) {
    if (picture_->width() != doc.stageWidth || picture_->height() != doc.stageHeight)
        picture_ = std::make_unique<Canvas>(doc.stageWidth, doc.stageHeight);
    renderStage(doc, *picture_);
    return *picture_;
}

}  // namespace tavlin
