#pragma once
// The question before a publication deletes the files of an earlier one
// ("erasefiles"): the names in a list, Delete or Cancel.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace tavlin {

class EraseFilesWindow : public Dialog {
public:
    // Controls: 0 the list of names, 1 delete and go on, 2 cancel.
    static constexpr int32_t kList = 0;
    static constexpr int32_t kDelete = 1;
    static constexpr int32_t kCancel = 2;

    EraseFilesWindow(Window* owner, const std::vector<std::string>& names);
    ~EraseFilesWindow() override;
    void OnControl(int32_t id) override;

    // The window while it runs (tests answer it), else null.
    static EraseFilesWindow* current();
};

// Runs the window modally: true when the author chose Delete.
bool confirmEraseFiles(Window* owner, const std::vector<std::string>& names);

}  // namespace tavlin
