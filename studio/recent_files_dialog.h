#pragma once
// The recent-files dialog: the recently used projects, one of which the user
// opens again. A file that has gone stays listed, but cannot be opened.

#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace tavlin {

class MainWindow;
class RecentFiles;

class RecentFilesDialog : public Dialog {
public:
    // Controls of "dmrecent": 0 the list, 1 open, 2 cancel.
    static constexpr int32_t kList = 0;
    static constexpr int32_t kOpen = 1;
    static constexpr int32_t kCancel = 2;

    // Builds "dmrecent", fills the list from `recent` (reloaded from the
    // settings) and selects the first row.
    RecentFilesDialog(Window* owner, RecentFiles& recent);
    void OnControl(int32_t id) override;
    // The path chosen with Open (the dialog then ended with 1).
    const std::string& chosen() const { return chosen_; }

private:
    void selectionChanged();
    std::string chosen_;
};

// Runs the dialog over the main window: 1 when a file was opened, 0 otherwise.
int32_t showRecentFilesDialog(MainWindow& window, RecentFiles& recent);

}  // namespace tavlin
