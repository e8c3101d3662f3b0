#include "studio/still_list_editor.h"

#include <algorithm>
#include <memory>

#include "base/paths.h"
#include "canvas/canvas.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "import/still_list.h"
#include "media/media_registry.h"
#include "studio/picture_chooser.h"
#include "ui/control.h"

namespace tavlin {

namespace {

// The preview is drawn inside its area less this margin on every side.
constexpr int32_t kPreviewMargin = 5;

}  // namespace

StillListEditor::StillListEditor(Window* owner, const std::string& path) : Dialog(owner, "imagelist") {
    // The preview area is the back buffer's; its picture button only marks the place.
    if (Control* area = ControlById(kPreview)) {
        previewX_ = area->x();
        previewY_ = area->y();
        previewW_ = area->width();
        previewH_ = area->height();
        area->Show(false);
    }
    if (auto* field = dynamic_cast<Edit*>(ControlById(kOutput))) field->SetText(path);
    if (isRegularFile(path)) insertPictures(readStillList(path));
    select(pictures_.empty() ? -1 : 0);
}

ListBox* StillListEditor::list() const { return dynamic_cast<ListBox*>(ControlById(kList)); }

int32_t StillListEditor::selection() const {
    ListBox* l = list();
    return l ? l->GetSelection() : -1;
}

std::string StillListEditor::outputPath() const {
    auto* field = dynamic_cast<Edit*>(ControlById(kOutput));
    return field ? field->GetText() : std::string();
}

void StillListEditor::insertPictures(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    int32_t at = selection() < 0 ? 0 : selection() + 1;
    at = std::min(at, int32_t(pictures_.size()));
    pictures_.insert(pictures_.begin() + at, paths.begin(), paths.end());
    if (ListBox* l = list()) {
        for (size_t i = 0; i < paths.size(); ++i) l->InsertString(at + int32_t(i), paths[i]);
    }
    select(at + int32_t(paths.size()) - 1);
}

void StillListEditor::addDroppedFile(const std::string& path) {
    if (isDirectory(path) || !findImageFormat(path)) return;
    insertPictures({path});
}

void StillListEditor::select(int32_t index) {
    if (ListBox* l = list()) l->SetSelection(index);
    updateButtons();
    preview();
}

void StillListEditor::updateButtons() {
    int32_t s = selection(), n = int32_t(pictures_.size());
    if (Control* c = ControlById(kRemove)) c->Enable(n > 0);
    if (Control* c = ControlById(kMoveUp)) c->Enable(s > 0);
    if (Control* c = ControlById(kMoveDown)) c->Enable(s >= 0 && s < n - 1);
}

void StillListEditor::preview() {
    Canvas* back = canvas();
    if (!back || previewW_ <= 0 || previewH_ <= 0) return;
    back->FillRect(previewX_, previewY_, previewW_, previewH_, 0xFFFFFF);
    back->FrameRect(previewX_, previewY_, previewW_, previewH_, 0x000000);
    int32_t s = selection();
    if (s >= 0 && s < int32_t(pictures_.size())) {
        if (std::unique_ptr<Image> picture = readImage(pictures_[size_t(s)]); picture && !picture->empty()) {
            int32_t aw = previewW_ - 2 * kPreviewMargin, ah = previewH_ - 2 * kPreviewMargin;
            // Fit inside, keeping the proportions.
            int32_t w = aw, h = int32_t(int64_t(picture->height) * aw / picture->width);
            if (h > ah) {
                h = ah;
                w = int32_t(int64_t(picture->width) * ah / picture->height);
            }
            w = std::max(w, 1);
            h = std::max(h, 1);
            std::unique_ptr<Image> shown = scaleAveraged(*picture, w, h);
            if (shown) back->DrawImage(previewX_ + (previewW_ - w) / 2, previewY_ + (previewH_ - h) / 2, w, h, *shown);
        }
    }
    RefreshRect(previewX_, previewY_, previewW_, previewH_);
}

void StillListEditor::add() {
    std::string start = pictures_.empty() ? std::string() : folderOf(pictures_.front());
    if (auto chosen = choosePictures(this, start, true)) insertPictures(*chosen);
}

void StillListEditor::remove() {
    int32_t s = selection();
    if (s < 0 || s >= int32_t(pictures_.size())) return;
    pictures_.erase(pictures_.begin() + s);
    if (ListBox* l = list()) l->DeleteString(s);
    select(pictures_.empty() ? -1 : std::min(s, int32_t(pictures_.size()) - 1));
}

void StillListEditor::move(int32_t by) {
    int32_t s = selection(), t = s + by;
    if (s < 0 || t < 0 || t >= int32_t(pictures_.size())) return;
    std::swap(pictures_[size_t(s)], pictures_[size_t(t)]);
    if (ListBox* l = list()) {
        l->DeleteString(s);
        l->InsertString(t, pictures_[size_t(t)]);
    }
    select(t);
}

void StillListEditor::browse() {
    std::string filter = "Frame list (*.txt)";
    filter.push_back('\0');
    filter += "*.txt";
    filter.push_back('\0');
    if (auto chosen = prompts().saveFile(filter, outputPath()); chosen && !chosen->empty())
        if (auto* field = dynamic_cast<Edit*>(ControlById(kOutput))) field->SetText(*chosen);
}

void StillListEditor::ok() {
    if (pictures_.empty()) return;
    std::string path = outputPath();
    Status status = writeStillList(path, pictures_);
    if (!status) ShowMessage("%s", resources().StringCopy("e_save_file").c_str());
    // Even a failed list closes with OK: the import then reports the file.
    written_ = path;
    EndModal(1);
}

void StillListEditor::OnControl(int32_t id) {
    switch (id) {
    case kAdd: add(); break;
    case kRemove: remove(); break;
    case kMoveUp: move(-1); break;
    case kMoveDown: move(1); break;
    case kList:
        updateButtons();
        preview();
        break;
    case kBrowse: browse(); break;
    case kOk: ok(); break;
    case kCancel: EndModal(0); break;
    default: break;
    }
}

void StillListEditor::OnDropFile(const std::string& path, int32_t, int32_t) { addDroppedFile(path); }

std::optional<std::string> editStillList(Window* parent, const std::string& path) {
    StillListEditor editor(parent, path);
    int32_t result = editor.DoModal();
    std::string written = editor.written();
    if (editor.exists()) editor.Destroy();
    if (result != 1 || written.empty()) return std::nullopt;
    return written;
}

}  // namespace tavlin
