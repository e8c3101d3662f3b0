#include "studio/recent_files_dialog.h"

#include "base/paths.h"
#include "core/recent_files.h"
#include "ui/control.h"
#include "studio/main_window.h"

namespace tavlin {

namespace {

ListBox* listOf(const Window& w) { return dynamic_cast<ListBox*>(w.ControlById(RecentFilesDialog::kList)); }

}  // namespace

RecentFilesDialog::RecentFilesDialog(Window* owner, RecentFiles& recent) : Dialog(owner, "dmrecent") {
    recent.Load();
    if (ListBox* list = listOf(*this)) {
        for (const std::string& path : recent.entries()) list->AddString(path);
        list->SetSelection(0);
    }
    selectionChanged();
}

void RecentFilesDialog::selectionChanged() {
    Control* button = ControlById(kOpen);
    if (!button) return;
    ListBox* list = listOf(*this);
    int32_t row = list ? list->GetSelection() : -1;
    bool usable = list && row >= 0 && row < list->Count() && fileExists(list->GetString(row));
    button->Enable(usable);
}

void RecentFilesDialog::OnControl(int32_t id) {
    switch (id) {
    case kList: selectionChanged(); return;
    case kOpen: {
        ListBox* list = listOf(*this);
        int32_t row = list ? list->GetSelection() : -1;
        if (!list || row < 0 || row >= list->Count()) return;
        chosen_ = list->GetString(row);
        EndModal(1);
        return;
    }
    case kCancel: EndModal(0); return;
    default: return;
    }
}

int32_t showRecentFilesDialog(MainWindow& window, RecentFiles& recent) {
    std::string path;
    {
        RecentFilesDialog dialog(&window, recent);
        if (dialog.DoModal() == 1) path = dialog.chosen();
        dialog.Destroy();
    }
    // Opened once the dialog is gone, so the questions an open may ask are
    // not hidden behind it.
    return path.empty() ? 0 : window.Open(path, -1, -1);
}

}  // namespace tavlin
