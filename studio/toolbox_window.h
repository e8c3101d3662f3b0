#pragma once
// The tool box: a small palette of 13 picture buttons beside the main window
// that switch between play and edit mode, pick the drawing tools, set the in
// and out points and flip drag paths. A button acts when it is released over
// itself; resting on a button for a second shows its hint.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/image.h"
#include "ui/window.h"

class QObject;

namespace tavlin {

class EditorView;

class ToolboxWindow : public Window {
public:
    static constexpr int32_t kButtonCount = 13;
    static constexpr int32_t kButtonWidth = 24;
    static constexpr int32_t kButtonHeight = 20;
    static constexpr int32_t kClientWidth = 51;
    static constexpr int32_t kClientHeight = 156;
    static constexpr uint32_t kBackground = 0xE6E6E6;
    // The cell after the last button: darker, so it does not read as a blank button.
    static constexpr uint32_t kEmptyCell = 0xA8A8A8;
    // How long the pointer must rest on a button before its hint shows.
    static constexpr int64_t kHintDelayMs = 1000;

    // The picture and hint id of a button.
    static const char* ButtonPicture(int32_t index);
    static const char* ButtonHint(int32_t index);
    // Top-left corner of a button in the client area (its frame lies one
    // pixel outside).
    static void ButtonOrigin(int32_t index, int32_t* x, int32_t* y);
    // The button under a client point, or -1.
    static int32_t ButtonAt(int32_t x, int32_t y);
    // Buttons that have no action in this build (the media imports).
    static bool ButtonAvailable(int32_t index);
    // Why a button cannot act now, as a string id ("" when it can): greyed
    // buttons say so in their hint.
    const char* WhyGreyed(int32_t index) const;
    // The hint a button shows now, with the reason when it is greyed.
    std::string HintFor(int32_t index) const;

    // A hidden tool box at (x, y) in the owner's client coordinates, acting on
    // `view`; null, after the "e_no_button" message, when a picture is missing.
    static std::unique_ptr<ToolboxWindow> Create(Window* owner, EditorView& view, int32_t x, int32_t y);
    ~ToolboxWindow() override;

    // Draws the buttons again from the editor's mode and tool.
    void Redraw();
    // Whether a button is drawn pushed in now (held down or showing the
    // current mode or tool).
    bool DrawnPressed(int32_t index) const;

    // The hint: shown from the idle step once the pointer has rested long
    // enough; the clock gives milliseconds and can be replaced for tests.
    void Idle();
    void SetClock(std::function<int64_t()> clock);
    Window* hintWindow() const { return hint_.get(); }
    bool hintShown() const;
    const std::string& hintText() const { return hintText_; }
    // The pointer left the window: nothing to rest on any more.
    void PointerLeft();

    void OnLeftDown(int32_t x, int32_t y, int32_t modifiers) override;
    void OnLeftUp(int32_t x, int32_t y, int32_t modifiers) override;
    void OnMouseMove(int32_t x, int32_t y, int32_t modifiers) override;
    // Keys belong to the stage, whichever window has the focus.
    void OnKey(int32_t code) override;
    // Closing only hides it; the menu brings it back.
    void OnClose() override;

private:
    ToolboxWindow(Window* owner, EditorView& view, int32_t x, int32_t y, std::array<const Image*, kButtonCount> pictures);
    void drawButton(int32_t index);
    void hideHint();
    void showHint(int32_t button);
    int64_t now() const;

    EditorView& view_;
    std::array<const Image*, kButtonCount> pictures_{};
    // Greyed copies of the pictures, for buttons that cannot act.
    std::array<std::unique_ptr<Image>, kButtonCount> greyed_;
    // The pictures at twice the size, for a back buffer of two pixels per
    // unit (null where the resource folder has none), and their greyed copies.
    std::array<std::unique_ptr<Image>, kButtonCount> doubled_;
    std::array<std::unique_ptr<Image>, kButtonCount> doubledGreyed_;
    int32_t held_ = -1;      // button under a press, -1 when none
    bool heldInside_ = false;  // the pointer is still over the held button
    int32_t resting_ = -1;   // button under the pointer
    int32_t restX_ = 0, restY_ = 0;  // screen position of the rest
    int64_t restSince_ = 0;
    bool hintDone_ = false;  // shown (or cancelled) for this rest
    std::function<int64_t()> clock_;
    std::unique_ptr<Window> hint_;
    std::string hintText_;
    QObject* leaveWatch_ = nullptr;  // owned by the client widget
};

}  // namespace tavlin
