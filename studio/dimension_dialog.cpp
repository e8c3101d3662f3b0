#include "studio/dimension_dialog.h"

#include "base/numbers.h"
#include "document/document.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "ui/control.h"

namespace tavlin {

bool parseDocumentSize(const std::string& width, const std::string& height, const std::string& length,
                       DocumentSize* out) {
    long w = leadingInt64(width), h = leadingInt64(height), n = leadingInt64(length);
    if (w < 1 || w > kMaxNewStageSide || h < 1 || h > kMaxNewStageSide || n < 1 || n >= kMaxLength) return false;
    *out = DocumentSize{int32_t(w), int32_t(h), int32_t(n)};
    return true;
}

DimensionDialog::DimensionDialog(Window* owner, Document& doc, Settings& settings)
    : Dialog(owner, "dimension"), doc_(doc), settings_(settings) {
    const int32_t values[] = {doc.stageWidth, doc.stageHeight, doc.length};
    for (int32_t id = kWidth; id <= kLength; ++id)
        if (auto* entry = dynamic_cast<Edit*>(ControlById(id))) entry->SetText(std::to_string(values[id]));
}

std::string DimensionDialog::entryText(int32_t id) const {
    auto* entry = dynamic_cast<Edit*>(ControlById(id));
    return entry ? std::string(entry->GetText()) : std::string();
}

void DimensionDialog::OnControl(int32_t id) {
    if (id == kCancel) {
        EndModal(0);
        return;
    }
    if (id != kOk) return;
    DocumentSize size;
    if (!parseDocumentSize(entryText(kWidth), entryText(kHeight), entryText(kLength), &size)) {
        ShowMessage("%s", resources().StringCopy("e_invalid_param").c_str());
        EndModal(0);
        return;
    }
    if (size.width != doc_.stageWidth || size.height != doc_.stageHeight || size.length != doc_.length) {
        // A change to keep: it is saved with the project and can be undone.
        doc_.snapshot();
        doc_.setStageSize(size.width, size.height);
        doc_.setLength(size.length);
        doc_.recomputeFrameCodes();
    }
    settings_.Set("def_width", std::to_string(size.width));
    settings_.Set("def_height", std::to_string(size.height));
    settings_.Set("def_length", std::to_string(size.length));
    EndModal(1);
}

}  // namespace tavlin
