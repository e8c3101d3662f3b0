#include "studio/publish_window.h"

#include <cstdlib>
#include <filesystem>

#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "document/document.h"
#include "publish/publish_run.h"
#include "studio/erase_files_window.h"
#include "studio/page_preview.h"
#include "ui/control.h"
#include "ui/platform.h"
#include "ui/progress_window.h"

namespace tavlin {

namespace {

std::string str(const char* id) { return resources().StringCopy(id); }

// A run started from the window: the progress window over it, the erase
// question as its own window, the page opened with the desktop's browser
// through the studio's preview server (a file:// page cannot play).
class WindowPublishHost : public PublishHost {
public:
    explicit WindowPublishHost(Window* window) : window_(window), progress_(window) {}
    Progress& progress() override { return progress_; }
    bool confirmErase(const std::vector<std::string>& names) override { return confirmEraseFiles(window_, names); }
    void openPage(const std::string& folder) override { previewPublishedPage(folder); }

private:
    Window* window_;
    WindowProgress progress_;
};

struct StepBox {
    int32_t control;
    uint32_t step;
};
constexpr StepBox kStepBoxes[] = {
    {PublishWindow::kFrames, kStepFrames},           {PublishWindow::kPictures, kStepPictures},
    {PublishWindow::kSounds, kStepSounds},           {PublishWindow::kContent, kStepContent},
    {PublishWindow::kDataArchive, kStepDataArchive}, {PublishWindow::kAppletArchive, kStepAppletArchive},
    {PublishWindow::kThumbnail, kStepThumbnail},     {PublishWindow::kPage, kStepPage},
};

}  // namespace

std::vector<int32_t> qualityChoices() {
    std::vector<int32_t> out;
    for (int32_t q = 0; q <= 95; q += 5) out.push_back(q);
    for (int32_t q = 96; q <= 100; ++q) out.push_back(q);
    return out;
}

std::string qualityText(int32_t quality) {
    std::string text = std::to_string(quality);
    if (quality == 0) text += str("lowestq");
    if (quality == 75) text += str("normalq");
    if (quality == 100) text += str("highestq");
    return text;
}

PublishWindow::PublishWindow(Window* owner, Document* doc, Settings& settings, Album* album)
    : Dialog(owner, "saveparam"), doc_(doc), settings_(settings), album_(album) {
    const bool fromContent = doc && doc->contentFlag;
    for (int32_t id : {kJpegQuality, kDiffQuality}) {
        auto* list = dynamic_cast<ComboBox*>(ControlById(id));
        if (!list) continue;
        int32_t current = doc ? (id == kJpegQuality ? doc->jpegQuality : doc->diffQuality) : -1;
        int32_t selected = -1, index = 0;
        for (int32_t q : qualityChoices()) {
            list->AddString(qualityText(q));
            if (q == current) selected = index;
            ++index;
        }
        list->SetSelection(selected);
    }
    // A reopened publication republishes its media only once they changed.
    const bool media = !fromContent || (doc && doc->canUndo());
    setChecked(kFrames, media);
    setChecked(kPictures, media);
    setChecked(kSounds, media);
    setChecked(kContent, true);
    setChecked(kDataArchive, settings_.Get("param_data_jar", "0") == "1");
    setChecked(kAppletArchive, true);
    setChecked(kPage, !fromContent);
    setChecked(kThumbnail, settings_.Get("param_thumb", "0") == "1");
    setChecked(kOpenBrowser, settings_.Get("param_browser", "1") == "1");
    setChecked(kZip, settings_.Get("param_zip", "0") == "1");
    if (auto* date = dynamic_cast<Edit*>(ControlById(kDate)))
        date->SetText(doc ? formatPublishDate(doc->publishDate) : std::string());
    if (auto* folder = dynamic_cast<Edit*>(ControlById(kFolder))) {
        std::string text = settings_.Get("last_web_dir");
        if (fromContent) text = std::filesystem::path(doc->fileName).parent_path().string();
        folder->SetText(text);
    }
    template_ = settings_.Get("template_dir", joinPath(joinPath(executableDir(), "template"), "simple"));
    drawTemplateBox();
}

bool PublishWindow::checked(int32_t id) const {
    auto* box = dynamic_cast<CheckButton*>(ControlById(id));
    return box && box->IsChecked();
}

void PublishWindow::setChecked(int32_t id, bool on) {
    if (auto* box = dynamic_cast<CheckButton*>(ControlById(id))) box->SetChecked(on);
}

int32_t PublishWindow::quality(int32_t id) const {
    auto* list = dynamic_cast<ComboBox*>(ControlById(id));
    int32_t fallback = doc_ ? (id == kJpegQuality ? doc_->jpegQuality : doc_->diffQuality) : 75;
    if (!list || list->GetSelection() < 0) return fallback;
    // The leading number of the entry's text.
    return int32_t(std::strtol(list->GetString(list->GetSelection()), nullptr, 10));
}

std::string PublishWindow::entryText(int32_t id) const {
    auto* entry = dynamic_cast<Edit*>(ControlById(id));
    return entry ? std::string(entry->GetText()) : std::string();
}

uint32_t PublishWindow::chosenSteps() const {
    uint32_t steps = 0;
    for (const StepBox& b : kStepBoxes)
        if (checked(b.control)) steps |= b.step;
    return steps;
}

void PublishWindow::setTemplateFolder(const std::string& folder) {
    template_ = folder;
    drawTemplateBox();
}

void PublishWindow::drawTemplateBox() {
    Canvas* c = canvas();
    if (!c) return;
    c->FillRect(kTemplateBoxX, kTemplateBoxY, kTemplateBoxW, kTemplateBoxH, kTemplateBoxColour);
    c->SelectFont(DefaultFont());
    c->DrawText(kTemplateBoxX + 2, kTemplateBoxY + 2, kTemplateBoxW - 4, kTemplateBoxH - 4, template_, 0x000000);
    RefreshRect(kTemplateBoxX, kTemplateBoxY, kTemplateBoxW, kTemplateBoxH);
}

void PublishWindow::OnDropFile(const std::string& path, int32_t x, int32_t y) {
    (void)x;
    if (!isDirectory(path)) return;
    if (y < kTemplateBoxY) {
        if (auto* folder = dynamic_cast<Edit*>(ControlById(kFolder))) folder->SetText(path);
    } else {
        setTemplateFolder(path);
    }
}

void PublishWindow::OnControl(int32_t id) {
    switch (id) {
    case kBrowseFolder:
        if (auto chosen = prompts().chooseFolder(entryText(kFolder)))
            if (auto* folder = dynamic_cast<Edit*>(ControlById(kFolder))) folder->SetText(*chosen);
        return;
    case kBrowseTemplate:
        if (auto chosen = prompts().chooseFolder(template_)) setTemplateFolder(*chosen);
        return;
    case kPublish: publish(); return;
    case kCancel: EndModal(0); return;
    default: return;  // the check boxes toggle themselves
    }
}

void PublishWindow::publish() {
    if (!doc_) return;
    PublishRequest request;
    request.folderText = entryText(kFolder);
    request.templateFolder = template_;
    request.jpegQuality = quality(kJpegQuality);
    request.diffQuality = quality(kDiffQuality);
    request.steps = chosenSteps();
    request.dateText = entryText(kDate);
    request.packZip = checked(kZip);
    request.openBrowser = checked(kOpenBrowser);
    WindowPublishHost host(this);
    PublishOutcome outcome = startPublishing(doc_, request, host, &settings_, album_);
    if (outcome.status == PublishStatus::RunFailed) {
        ShowMessage("%s\n\n%s", str("quit_saving").c_str(), outcome.reason.c_str());
        return;
    }
    if (outcome.ok()) EndModal(1);
}

}  // namespace tavlin
