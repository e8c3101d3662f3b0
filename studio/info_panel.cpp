#include "studio/info_panel.h"

#include <vector>

#include <QPushButton>

#include "base/numbers.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "document/document.h"
#include "document/media_recount.h"
#include "document/media_resource.h"
#include "editor/editor_tools.h"
#include "media/media_registry.h"
#include "studio/picture_chooser.h"
#include "ui/control.h"
#include "ui/dialog.h"

namespace tavlin {

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

InfoPanel::InfoPanel(Window* owner, EditorView& view, const std::string& dialog)
    : Window(owner, 0, 0, 10, 10, kToolWindow), view_(view), dialog_(dialog) {
    BuildDialog(this, dialog);
    ShowControls();
}

InfoPanel::~InfoPanel() = default;

Document* InfoPanel::document() const { return view_.document(); }

void InfoPanel::store() {
    if (!hasTarget()) return;
    for (int32_t id : typed_) applyText(id);
    load();
}

void InfoPanel::storeAll() {
    if (!hasTarget()) return;
    if (storeFields()) changed();
    load();
}

void InfoPanel::load() {
    typing_ = false;
    typed_.clear();
    if (!hasTarget()) return;
    loading_ = true;
    loadFields();
    loading_ = false;
    ShowControls();
    Refresh();
}

void InfoPanel::beginTyping() {
    if (typing_) return;
    if (Document* doc = document()) doc->snapshot();
    typing_ = true;
}

void InfoPanel::beginChange() {
    typing_ = false;
    if (Document* doc = document()) doc->snapshot();
}

void InfoPanel::changed() {
    view_.redraw();
    view_.refreshTimeline();
}

void InfoPanel::OnControl(int32_t id) {
    if (loading_ || !hasTarget() || !document()) return;
    if (isText(id)) {
        typed_.insert(id);
        applyText(id);
        return;
    }
    onButton(id);
}

void InfoPanel::OnClose() {
    store();
    Show(false);
}

void InfoPanel::OnDropFile(const std::string& path, int32_t, int32_t) {
    if (hasTarget() && document()) onDrop(path);
}

std::string InfoPanel::text(int32_t id) const {
    auto* entry = dynamic_cast<Edit*>(ControlById(id));
    return entry ? std::string(entry->GetText()) : std::string();
}

int32_t InfoPanel::number(int32_t id) const { return leadingInt32(text(id)); }

void InfoPanel::setText(int32_t id, const std::string& value) {
    auto* entry = dynamic_cast<Edit*>(ControlById(id));
    if (!entry || value == entry->GetText()) return;
    bool was = loading_;
    loading_ = true;
    entry->SetText(value);
    loading_ = was;
}

bool InfoPanel::checked(int32_t id) const {
    auto* box = dynamic_cast<CheckButton*>(ControlById(id));
    return box && box->IsChecked();
}

void InfoPanel::setChecked(int32_t id, bool on) {
    bool was = loading_;
    loading_ = true;
    if (auto* box = dynamic_cast<CheckButton*>(ControlById(id))) box->SetChecked(on);
    loading_ = was;
}

void InfoPanel::setLabel(int32_t id, const std::string& label) {
    auto* button = dynamic_cast<Button*>(ControlById(id));
    if (!button) return;
    if (auto* native = qobject_cast<QPushButton*>(button->NativeHandle()))
        native->setText(QString::fromStdString(label));
}

MediaResource* InfoPanel::chooseMedia(MediaKind kind, const std::string& start, const std::string& dropped) {
    Document* doc = document();
    if (!doc) return nullptr;
    const std::string& filter = kind == MediaKind::Video   ? videoFilter()
                                : kind == MediaKind::Image ? imageFilter()
                                                           : audioFilter();
    std::string path = dropped;
    for (;;) {
        if (path.empty()) {
            if (kind == MediaKind::Image) {
                std::optional<std::vector<std::string>> picked = choosePictures(this, start, false);
                if (!picked || picked->empty()) return nullptr;
                path = picked->front();
            } else {
                std::optional<std::string> picked = prompts().openFile(filter, start);
                if (!picked || picked->empty()) return nullptr;
                path = *picked;
            }
        }
        // Media nothing uses any more go first, so the lists stay as they
        // will be published.
        recountMedia(*doc);
        if (MediaResource* known = doc->findResource(kind, path)) {
            int64_t stamp = fileModificationTime(path);
            // A file changed since it was read is read again.
            if (stamp != known->modificationTime && known->load(path)) known->modificationTime = stamp;
            if (known->loaded()) return known;
        } else if (MediaResource* loaded = doc->loadResource(kind, path)) {
            return loaded;
        }
        std::string message = resources().StringCopy("e_cant_open");
        size_t at = message.find("%s");
        if (at != std::string::npos) message.replace(at, 2, path);
        int answer = AskChoice(message, {resources().StringCopy("b_open_another"), resources().StringCopy("b_ignore")});
        if (answer != 0) return nullptr;
        path.clear();
    }
}

}  // namespace tavlin
