#pragma once
// One publishing run: the steps that turn the open document into a web
// folder, in a fixed order after the erase step, stopping at the first that
// fails. Every file is written by its full path; the process's current
// folder is never changed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/image.h"
#include "media/progress.h"

namespace tavlin {

class Document;

// One bit per step; steps run in increasing bit order.
enum PublishStep : uint32_t {
    kStepFrames = 1,
    kStepPictures = 2,
    kStepSounds = 4,
    kStepContent = 8,
    kStepDataArchive = 16,
    kStepAppletArchive = 32,
    kStepThumbnail = 64,
    kStepPage = 128,
};
constexpr uint32_t kAllSteps = 255;
// What the publish window checks for a project that was not opened from a
// publication, with the stored options at their defaults.
constexpr uint32_t kDefaultSteps =
    kStepFrames | kStepPictures | kStepSounds | kStepContent | kStepAppletArchive | kStepPage;

// Short names of the steps for people ("frames", "pictures", ...), by bit.
const char* stepName(uint32_t bit);

// Success, or the step at fault with a one-line reason naming the file.
struct StepResult {
    bool ok = true;
    std::string reason;
    explicit operator bool() const { return ok; }
    static StepResult done() { return {}; }
    static StepResult fail(std::string why) { return {false, std::move(why)}; }
};

// What a run asks of whoever started it. Every answer has a default, so the
// command-line tool and tests override only what they need.
class PublishHost {
public:
    virtual ~PublishHost() = default;
    virtual Progress& progress() { return silentProgress(); }
    // Files of an earlier publication that the run would delete (plain names);
    // true to delete them and go on.
    virtual bool confirmErase(const std::vector<std::string>& names) {
        (void)names;
        return false;
    }
    // The stage picture for the thumbnail; the default draws the document's
    // current frame.
    virtual std::optional<Image> stagePicture(Document& doc);
    // Shows the page just published in `folder` (where its index.html lies).
    virtual void openPage(const std::string& folder) { (void)folder; }
};

class Publisher {
public:
    // Takes the folder without a trailing "/" and recounts and compacts the
    // document's media lists, so files are named after list positions.
    Publisher(std::string outputFolder, Document& doc, PublishHost& host);

    // The erase step for the chosen steps, then each chosen step in bit order.
    StepResult run(uint32_t flags, int32_t publishDate, const std::string& templateFolder);

    const std::string& folder() const { return folder_; }
    // folder joined with name.
    std::string path(const std::string& name) const;
    Document& document() { return doc_; }
    PublishHost& host() { return host_; }
    Progress& progress() { return host_.progress(); }

private:
    std::string folder_;
    Document& doc_;
    PublishHost& host_;
};

// The steps, each on its own (asset_export.cpp, archive_packaging.cpp,
// page_template.cpp).
StepResult eraseStep(Publisher& p, uint32_t flags);
StepResult frameStep(Publisher& p);
StepResult pictureStep(Publisher& p);
StepResult soundStep(Publisher& p);
StepResult contentStep(Publisher& p, int32_t publishDate);
StepResult dataArchiveStep(Publisher& p);
StepResult appletArchiveStep(Publisher& p);
StepResult thumbnailStep(Publisher& p);
StepResult pageStep(Publisher& p, const std::string& templateFolder);
// Packs the whole folder into folder/<its name>.zip; run after a publication.
StepResult folderZip(Publisher& p);

// The plain names the erase step would offer for deletion, in erase-list
// order, and their full paths. Files the document itself uses as media are
// never among them.
struct EraseList {
    std::vector<std::string> names;
    std::vector<std::string> paths;
};
EraseList eraseCandidates(Publisher& p, uint32_t flags);

// Wildcard match of a plain name against a pattern where "*" is any run of
// characters. Case is ignored: pictures keep the case of their source
// extension ("i0.JPG"), and those must be erased and packed too.
bool wildcardMatch(const std::string& pattern, const std::string& name);
// Plain names of the non-folder entries of a folder matching the pattern,
// sorted.
std::vector<std::string> matchingFiles(const std::string& folder, const std::string& pattern);

}  // namespace tavlin
