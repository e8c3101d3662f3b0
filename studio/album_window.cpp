#include "studio/album_window.h"

#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "media/media_registry.h"
#include "publish/album.h"
#include "studio/page_preview.h"
#include "ui/control.h"
#include "ui/platform.h"

namespace tavlin {

namespace {
constexpr int32_t kSquare = 90, kSquareX = 10, kSquareY = 10;
}

ThumbnailRect thumbnailRect(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return {};
    int32_t dw = kSquare, dh = int32_t(int64_t(h) * kSquare / w);
    if (dh > kSquare) {
        dh = kSquare;
        dw = int32_t(int64_t(w) * kSquare / h);
    }
    return {kSquareX + (kSquare - dw) / 2, kSquareY + (kSquare - dh) / 2, dw, dh};
}

AlbumWindow::AlbumWindow(Window* owner, Album& album, std::function<int32_t(const std::string&)> open,
                         std::function<bool(const std::string&)> shell)
    : Dialog(owner, "dmalbum"), album_(album), open_(std::move(open)), shell_(std::move(shell)) {
    if (!shell_) shell_ = [](const std::string& target) { return OpenWithShell(target); };
    album_.Load();
    auto* list = dynamic_cast<ListBox*>(ControlById(kList));
    if (!list) return;
    for (const AlbumEntry& e : album_.entries()) list->AddString(e.pageFolder);
    if (list->Count() > 0) list->SetSelection(0);
    selectionChanged();
}

int32_t AlbumWindow::selection() const {
    auto* list = dynamic_cast<ListBox*>(ControlById(kList));
    return list ? list->GetSelection() : -1;
}

bool AlbumWindow::usable(int32_t index) const {
    return index >= 0 && size_t(index) < album_.entries().size() && isDirectory(album_.entries()[size_t(index)].pageFolder);
}

void AlbumWindow::selectionChanged() {
    int32_t index = selection();
    bool ok = usable(index);
    for (int32_t id : {kView, kOpenFolder, kEdit})
        if (auto* c = ControlById(id)) c->Enable(ok);
    if (ok) drawThumbnail(album_.entries()[size_t(index)].pageFolder);
}

void AlbumWindow::drawThumbnail(const std::string& folder) {
    Canvas* c = canvas();
    if (!c) return;
    c->FillRect(kSquareX, kSquareY, kSquare, kSquare, kThumbnailBackground);
    if (auto image = readImage(joinPath(folder, "thumb.jpg"))) {
        ThumbnailRect r = thumbnailRect(image->width, image->height);
        if (r.width > 0) c->DrawImage(r.x, r.y, r.width, r.height, *image);
    }
    RefreshRect(kSquareX, kSquareY, kSquare, kSquare);
}

void AlbumWindow::OnControl(int32_t id) {
    if (id == kList) {
        selectionChanged();
        return;
    }
    if (id == kClose) {
        EndModal(0);
        return;
    }
    int32_t index = selection();
    if (index < 0 || size_t(index) >= album_.entries().size()) return;
    const AlbumEntry entry = album_.entries()[size_t(index)];
    switch (id) {
    case kView: {
        // Through the preview server: a page opened as a file cannot play.
        std::string why;
        std::string address = previewAddress(entry.pageFolder, &why);
        if (address.empty()) {
            ShowMessage("%s\n\n%s", resources().StringCopy("e_cant_preview").c_str(), why.c_str());
            return;
        }
        shell_(address);
        EndModal(1);
        return;
    }
    case kOpenFolder:
        shell_(entry.pageFolder);
        EndModal(1);
        return;
    case kEdit:
        if (!entry.projectPath.empty() && fileExists(entry.projectPath)) {
            open_(entry.projectPath);
        } else {
            ShowMessage("%s", resources().StringCopy("nosrcfile").c_str());
            open_(joinPath(entry.pageFolder, "tavlin.txt"));
        }
        EndModal(1);
        return;
    default: return;
    }
}

int32_t showAlbum(Window* owner, Album& album, std::function<int32_t(const std::string&)> open) {
    AlbumWindow window(owner, album, std::move(open));
    int32_t result = window.DoModal();
    window.Destroy();
    return result;
}

}  // namespace tavlin
