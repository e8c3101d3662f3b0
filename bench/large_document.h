#pragma once
// The large project the file and recovery benchmarks share: 200 drag paths
// of 250 points each (50,000 points) on a 640 x 480 stage of 1000 frames.

#include <memory>

#include "document/document.h"
#include "document/drag_path.h"

namespace tavlin::bench {

inline std::unique_ptr<Document> largeDocument() {
    auto doc = std::make_unique<Document>(640, 480);
    doc->setLength(1000);
    for (int o = 0; o < 200; ++o) {
        auto path = std::make_unique<DragPath>(*doc);
        path->uniqueName("dpath");
        for (int i = 0; i < 250; ++i) path->addPoint((i * 7 + o) % 640, (i * 13 + o * 3) % 480, i * 4, i % 50 != 0);
        path->computeCross();
        path->fitRectangle();
        path->ranges.push_back({0, 999});
        doc->addObject(std::move(path));
    }
    return doc;
}

}  // namespace tavlin::bench
