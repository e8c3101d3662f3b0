#pragma once
// Rendering a document's stage in tests: one stage picture per document,
// kept until the next render of the same document.

#include <map>
#include <memory>

#include "canvas/canvas.h"
#include "document/document.h"
#include "render/stage_renderer.h"
#include "render/timeline_bars.h"

namespace tavlin::test {

inline std::map<const Document*, std::unique_ptr<StageRenderer>>& stageRenderers() {
    static std::map<const Document*, std::unique_ptr<StageRenderer>> renderers;
    return renderers;
}

inline Canvas& renderStage(Document& doc) {
    auto& slot = stageRenderers()[&doc];
    if (!slot) slot = std::make_unique<StageRenderer>();
    return slot->render(doc);
}

// The picture of the last render of the document.
inline Canvas& stageOf(const Document& doc) {
    auto& slot = stageRenderers()[&doc];
    if (!slot) slot = std::make_unique<StageRenderer>();
    return slot->picture();
}

}  // namespace tavlin::test
