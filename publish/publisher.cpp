#include "publish/publisher.h"

#include "base/paths.h"
#include "document/document.h"
#include "document/media_recount.h"
#include "publish/content_file.h"

namespace tavlin {

// Defined with the asset export: files the media steps would write over a
// file the document reads from.
StepResult checkMediaTargets(Publisher& p, uint32_t flags);

const char* stepName(uint32_t bit) {
    switch (bit) {
    case kStepFrames: return "frames";
    case kStepPictures: return "pictures";
    case kStepSounds: return "sounds";
    case kStepContent: return "content";
    case kStepDataArchive: return "data";
    case kStepAppletArchive: return "applet";
    case kStepThumbnail: return "thumb";
    case kStepPage: return "page";
    }
    return "?";
}

Publisher::Publisher(std::string outputFolder, Document& doc, PublishHost& host)
    : folder_(std::move(outputFolder)), doc_(doc), host_(host) {
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    recountMedia(doc_);
}

std::string Publisher::path(const std::string& name) const { return joinPath(folder_, name); }

StepResult contentStep(Publisher& p, int32_t publishDate) {
    ContentResult r = writeContentFile(p.document(), p.folder(), publishDate);
    if (!r) return StepResult::fail(p.path(kContentFileName) + ": " + r.reason);
    return StepResult::done();
}

StepResult Publisher::run(uint32_t flags, int32_t publishDate, const std::string& templateFolder) {
    if (!isDirectory(folder_)) return StepResult::fail(folder_ + " is not a folder");
    StepResult checked = checkMediaTargets(*this, flags);
    if (!checked) return checked;
    StepResult erased = eraseStep(*this, flags);
    if (!erased) return erased;
    for (uint32_t bit = 1; bit <= kStepPage; bit <<= 1) {
        if (!(flags & bit)) continue;
        if (progress().stopped()) return StepResult::fail("stopped");
        StepResult r;
        switch (bit) {
        case kStepFrames: r = frameStep(*this); break;
        case kStepPictures: r = pictureStep(*this); break;
        case kStepSounds: r = soundStep(*this); break;
        case kStepContent: r = contentStep(*this, publishDate); break;
        case kStepDataArchive: r = dataArchiveStep(*this); break;
        case kStepAppletArchive: r = appletArchiveStep(*this); break;
        case kStepThumbnail: r = thumbnailStep(*this); break;
        case kStepPage: r = pageStep(*this, templateFolder); break;
        }
        if (!r) return r;
    }
    return StepResult::done();
}

}  // namespace tavlin
