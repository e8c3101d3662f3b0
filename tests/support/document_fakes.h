#pragma once
// Stand-ins for the windows and services around a document and a settable
// clock.

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/document.h"
#include "media/media_registry.h"
#include "core/prompts.h"
#include "support/recording_prompts.h"

namespace tavlin::test {

struct FakeView : DocumentView {
    int redraws = 0;
    std::string title;
    void redraw() override { ++redraws; }
    void setTitle(const std::string& t) override { title = t; }
};

struct FakeTimeline : TimelineView {
    int refreshes = 0;
    bool dragging = false;
    std::vector<int32_t> shown;
    void refresh() override { ++refreshes; }
    void frameChanged(int32_t frame) override { shown.push_back(frame); }
    bool draggingFrame() const override { return dragging; }
};

struct FakeInfo : InfoWindow {
    int closes = 0;
    void close() override { ++closes; }
};

struct FakeClipboard : Clipboard {
    std::string content;
    std::string text() override { return content; }
    void setText(const std::string& t) override { content = t; }
};

struct FakeAudio : SoundOutput {
    struct Play {
        const Sound* sound;
        int32_t loops;
    };
    std::vector<Play> plays;
    int stops = 0;
    void play(const Sound& sound, int32_t loops) override { plays.push_back({&sound, loops}); }
    void stop() override { ++stops; }
};

// A video of n frames, each filled with a colour made from its index.
class ColourVideo : public VideoSource {
public:
    ColourVideo(int32_t frames, int32_t w, int32_t h) {
        frameCount = frames;
        current = Image(w, h);
    }
    bool load(const std::string&) override { return true; }
    const Image* frameAt(int32_t index) override {
        if (index < 0 || index >= frameCount) return nullptr;
        requested.push_back(index);
        for (auto& p : current.pixels) p = 0xFF000000u | uint32_t(index);
        return &current;
    }
    static uint32_t colourOf(int32_t index) { return uint32_t(index) & 0xFFFFFF; }
    std::vector<int32_t> requested;
};

// A document wired to fakes, with a clock the test moves by hand.
struct Wired {
    Document doc{0, 0};
    FakeView view;
    FakeTimeline timeline;
    FakeInfo info;
    FakeClipboard clipboard;
    FakeAudio audio;
    int64_t clock = 1000;

    Wired() {
        doc.view = &view;
        doc.timeline = &timeline;
        doc.infoWindow = &info;
        doc.clipboard = &clipboard;
        doc.audio = &audio;
        doc.setClock([this] { return clock; });
        doc.seedRandom(7);
    }
    ~Wired() {
        // The fakes go before the document does.
        doc.view = nullptr;
        doc.timeline = nullptr;
        doc.infoWindow = nullptr;
        doc.clipboard = nullptr;
        doc.audio = nullptr;
    }
    void advance(int64_t ms) { clock += ms; }
};

}  // namespace tavlin::test
