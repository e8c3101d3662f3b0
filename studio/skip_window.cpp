#include "studio/skip_window.h"

#include <algorithm>

#include <QListWidget>
#include <vector>

#include "document/document.h"
#include "document/frame_skip.h"
#include "ui/control.h"

namespace tavlin {

SkipWindow::SkipWindow(Window* owner, Document& doc, bool wholeDocument)
    : Dialog(owner, wholeDocument ? "skipall" : "skipinout"), doc_(doc), whole_(wholeDocument) {
    auto* list = dynamic_cast<ListBox*>(ControlById(kList));
    if (!list) return;
    std::vector<int32_t> counts = skipCounts(doc_, whole_);
    for (size_t i = 0; i < kSkipValues.size(); ++i) list->AddString(skipEntry(kSkipValues[i], counts[i]));
    auto at = std::find(kSkipValues.begin(), kSkipValues.end(), doc_.frameSkip);
    if (at != kSkipValues.end()) list->SetSelection(int32_t(at - kSkipValues.begin()));
    // Showing the current value is not choosing it; clicking it is, even
    // though the selection does not change.
    ready_ = true;
    if (auto* native = qobject_cast<QListWidget*>(list->NativeHandle()))
        QObject::connect(native, &QListWidget::itemClicked, [this] { OnControl(kList); });
}

void SkipWindow::OnControl(int32_t id) {
    switch (id) {
    case kList: {
        if (!ready_) return;
        auto* list = dynamic_cast<ListBox*>(ControlById(kList));
        int32_t at = list ? list->GetSelection() : -1;
        if (at < 0 || size_t(at) >= kSkipValues.size()) return;
        if (whole_)
            applySkipAll(doc_, kSkipValues[size_t(at)]);
        else
            applySkipInOut(doc_, kSkipValues[size_t(at)]);
        doc_.redraw();
        return;
    }
    case kClearMarks:
        if (whole_) return;
        clearInOutMarks(doc_);
        doc_.redraw();
        return;
    case kOk: EndModal(1); return;
    case kCancel: EndModal(0); return;
    default: return;
    }
}

int32_t runSkipWindow(Window* owner, Document* doc, bool wholeDocument, void (*onChange)(Window*)) {
    if (!doc || doc->length < 1) return -1;
    // Cancel brings back exactly this.
    const std::vector<uint8_t> flags = doc->frameFlags;
    const int32_t skip = doc->frameSkip;
    doc->snapshot();
    int32_t result = 0;
    {
        SkipWindow window(owner, *doc, wholeDocument);
        result = window.DoModal() == 1 ? 1 : 0;
        window.Destroy();
    }
    if (result != 1) {
        doc->frameFlags = flags;
        doc->frameSkip = skip;
        doc->recomputeFrameCodes();
        // The snapshot taken for it goes too: nothing happened to undo.
        if (doc->history.position > 0) {
            --doc->history.position;
            doc->history.snapshots.resize(size_t(doc->history.position));
        }
    }
    doc->redraw();
    if (onChange) onChange(owner);
    return result;
}

}  // namespace tavlin
