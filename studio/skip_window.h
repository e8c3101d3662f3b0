#pragma once
// The frame-skip windows: "skipall" sets the document's frame skip,
// "skipinout" fixes the frame codes between the in and out points. Each entry
// shows how many frames its value would write; choosing one applies it at
// once, and Cancel puts everything back.

#include <cstdint>

#include "ui/dialog.h"

namespace tavlin {

class Document;

class SkipWindow : public Dialog {
public:
    static constexpr int32_t kList = 0;
    static constexpr int32_t kOk = 1;
    static constexpr int32_t kClearMarks = 2;
    static constexpr int32_t kCancel = 3;

    SkipWindow(Window* owner, Document& doc, bool wholeDocument);
    void OnControl(int32_t id) override;

private:
    Document& doc_;
    bool whole_;
    bool ready_ = false;
};

// Runs the window over `doc`: 1 when accepted, 0 when cancelled (the frame
// codes and the undo history as before), -1 when there is no frame to skip.
// `onChange` runs after each change so that views can follow.
int32_t runSkipWindow(Window* owner, Document* doc, bool wholeDocument, void (*onChange)(Window*) = nullptr);

}  // namespace tavlin
