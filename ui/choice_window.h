#pragma once
// The question window of AskChoice: the text over a row of push buttons whose
// ids are their indexes.

#include <memory>
#include <string>
#include <vector>

#include "ui/window.h"

namespace tavlin {

class Button;

class ChoiceWindow : public ModalWindow {
public:
    // Uses the first 10 labels at most.
    ChoiceWindow(Window* owner, const std::string& text, const std::vector<std::string>& labels);
    ~ChoiceWindow() override;
    void OnControl(int32_t id) override;
    size_t buttonCount() const { return buttons_.size(); }

private:
    std::vector<std::unique_ptr<Button>> buttons_;
};

}  // namespace tavlin
