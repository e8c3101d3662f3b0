#pragma once
// The question window of AskChoice: the text over a row of push buttons whose
// ids are their indexes. A text wider than the screen is wrapped.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/window.h"

namespace tavlin {

class Button;

// Breaks `text` into lines no wider than `width` as `measure` counts them,
// at blanks where it can and inside a word where it must; line breaks in the
// text are kept. At most `maxLines` lines: a cut last line ends in "...".
std::vector<std::string> wrapText(const std::string& text, int32_t width, int32_t maxLines,
                                  const std::function<int32_t(const std::string&)>& measure);

class ChoiceWindow : public ModalWindow {
public:
    // Uses the first 10 labels at most.
    ChoiceWindow(Window* owner, const std::string& text, const std::vector<std::string>& labels);
    ~ChoiceWindow() override;
    void OnControl(int32_t id) override;
    // The focused button, else the first one.
    Control* DefaultButton() const override;
    size_t buttonCount() const { return buttons_.size(); }
    Button* button(size_t i) const { return i < buttons_.size() ? buttons_[i].get() : nullptr; }

    // Kept free around the window for the frame of the window manager.
    static constexpr int32_t kFrameAllowance = 40;

private:
    struct Size {
        int32_t w, h;
    };
    // The client size the screen holds.
    Size availableClientSize() const;

    std::vector<std::unique_ptr<Button>> buttons_;
};

}  // namespace tavlin
