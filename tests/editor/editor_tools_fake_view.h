#pragma once
// An editor view that records what the tools asked of it, over a document
// wired to the fakes of document_test_fakes.h.

#include <cstdint>
#include <memory>
#include <vector>

#include "editor/editor_tools.h"
#include "document/media_resource.h"
#include "document/video_object.h"
#include "support/document_fakes.h"

namespace tavlin::test {

struct FakeEditorView : EditorView {
    explicit FakeEditorView(Document* doc) : doc(doc) {}

    Document* document() override { return doc; }
    double zoom() const override { return zoomFactor; }
    void setCursor(int32_t id) override { cursors.push_back(id); }
    int32_t makeCursor(const Image&, int32_t hotX, int32_t hotY) override {
        madeCursors.push_back({hotX, hotY});
        return 21;
    }
    Tool* activeTool() const override { return tool; }
    void setActiveTool(Tool* t) override { tool = t; }
    void redraw() override { ++redraws; }
    void openInfoWindow(MediaObject& object) override { infoObject = &object, ++infoOpens; }
    void refreshInfoWindow() override { ++infoRefreshes; }
    void closeInfoWindow() override { infoObject = nullptr, ++infoCloses; }
    void refreshTimeline() override { ++timelineRefreshes; }
    void refreshToolbox() override { ++toolboxRefreshes; }

    int32_t cursor() const { return cursors.empty() ? -1 : cursors.back(); }

    // One whole gesture as the main window sends it: hover, press, drags, release.
    void gesture(Tool& t, std::vector<std::pair<int32_t, int32_t>> points, int32_t modifiers = 0) {
        auto [x, y] = points.front();
        t.hover(*this, x, y);
        t.press(*this, x, y, modifiers);
        for (size_t i = 1; i < points.size(); ++i) t.drag(*this, points[i].first, points[i].second, modifiers);
        t.release(*this, points.back().first, points.back().second);
    }

    Document* doc;
    double zoomFactor = 1.0;
    std::vector<int32_t> cursors;
    struct HotSpot {
        int32_t x, y;
    };
    std::vector<HotSpot> madeCursors;
    Tool* tool = nullptr;
    int redraws = 0;
    MediaObject* infoObject = nullptr;
    int infoOpens = 0;
    int infoRefreshes = 0;
    int infoCloses = 0;
    int timelineRefreshes = 0;
    int toolboxRefreshes = 0;
};

// A video object over a 320 x 240 video of 100 frames, placed at the rectangle given.
inline VideoObject* addTestVideo(Document& doc, int32_t x, int32_t y, int32_t width, int32_t height) {
    auto resource = std::make_unique<VideoResource>();
    resource->video = std::make_unique<ColourVideo>(100, 320, 240);
    VideoResource* r = resource.get();
    doc.videoResources.push_back(std::move(resource));
    auto object = std::make_unique<VideoObject>(doc);
    object->attachVideo(r);
    object->setRect(x, y, width, height);
    return static_cast<VideoObject*>(doc.addObject(std::move(object)));
}

}  // namespace tavlin::test
