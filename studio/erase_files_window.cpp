#include "studio/erase_files_window.h"

#include "ui/control.h"

namespace tavlin {

namespace {
EraseFilesWindow* g_current = nullptr;
}

EraseFilesWindow::EraseFilesWindow(Window* owner, const std::vector<std::string>& names)
    : Dialog(owner, "erasefiles") {
    if (auto* list = dynamic_cast<ListBox*>(ControlById(kList)))
        for (const std::string& n : names) list->AddString(n);
    g_current = this;
}

EraseFilesWindow::~EraseFilesWindow() {
    if (g_current == this) g_current = nullptr;
}

EraseFilesWindow* EraseFilesWindow::current() { return g_current; }

void EraseFilesWindow::OnControl(int32_t id) {
    if (id == kDelete) EndModal(1);
    if (id == kCancel) EndModal(0);
}

bool confirmEraseFiles(Window* owner, const std::vector<std::string>& names) {
    EraseFilesWindow window(owner, names);
    int32_t result = window.DoModal();
    window.Destroy();
    return result == 1;
}

}  // namespace tavlin
