#pragma once
// The publish parameters window ("saveparam"): output folder, page template,
// the two JPEG qualities, the publish date, the steps to run and what to do
// afterwards. Publish runs the publication with the progress window; the
// window stays open when it fails.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace tavlin {

class Album;
class Document;
class Settings;

class PublishWindow : public Dialog {
public:
    // Control indices of "saveparam".
    enum Control : int32_t {
        kBrowseFolder = 0,
        kJpegQuality = 1,
        kDiffQuality = 2,
        kFrames = 3,
        kPictures = 4,
        kSounds = 5,
        kContent = 6,
        kDate = 7,
        kDataArchive = 8,
        kAppletArchive = 9,
        kPage = 10,
        kBrowseTemplate = 11,
        kThumbnail = 12,
        kOpenBrowser = 13,
        kPublish = 14,
        kCancel = 15,
        kFolder = 16,
        kZip = 17,
    };
    // The box that shows the template folder, beside its button.
    static constexpr int32_t kTemplateBoxX = 150, kTemplateBoxY = 44, kTemplateBoxW = 334, kTemplateBoxH = 26;
    static constexpr uint32_t kTemplateBoxColour = 0xE0E0E0;

    // `album` may be null (nothing is recorded).
    PublishWindow(Window* owner, Document* doc, Settings& settings, Album* album);
    void OnControl(int32_t id) override;
    void OnDropFile(const std::string& path, int32_t x, int32_t y) override;

    const std::string& templateFolder() const { return template_; }
    void setTemplateFolder(const std::string& folder);
    // The check boxes' steps.
    uint32_t chosenSteps() const;

private:
    bool checked(int32_t id) const;
    void setChecked(int32_t id, bool on);
    int32_t quality(int32_t id) const;
    std::string entryText(int32_t id) const;
    void drawTemplateBox();
    void publish();

    Document* doc_;
    Settings& settings_;
    Album* album_;
    std::string template_;
};

// The qualities the lists offer: 0, 5, ..., 95, then 96 to 100.
std::vector<int32_t> qualityChoices();
// The text of a list entry ("0 (smallest files)", "75 (normal)", "80").
std::string qualityText(int32_t quality);

}  // namespace tavlin
