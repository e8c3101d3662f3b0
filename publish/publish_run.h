#pragma once
// Starting a publication the way the publish window does it: the folder text
// checked (and the folder created when the author agrees), the choices stored
// in the document and the settings, the run, the size warning, the folder ZIP
// and the page opened afterwards. Shared by the studio and the command line.

#include <cstdint>
#include <optional>
#include <string>

#include "publish/publisher.h"

namespace tavlin {

class Album;
class Document;
class Settings;

struct PublishRequest {
    std::string folderText;      // as typed; one trailing "/" is dropped
    std::string templateFolder;
    int32_t jpegQuality = 75;
    int32_t diffQuality = 75;
    uint32_t steps = kDefaultSteps;
    std::string dateText;        // "YYYY-MM-DD" or empty
    bool packZip = false;
    bool openBrowser = false;
};

enum class PublishStatus {
    Done,       // every chosen step succeeded
    Refused,    // nothing was run: the folder was unusable (a message was shown) or the author declined
    RunFailed,  // a step failed or was stopped; files written so far stay
};

struct PublishOutcome {
    PublishStatus status = PublishStatus::Refused;
    std::string folder;
    std::string reason;        // why it was refused or failed
    int64_t contentBytes = 0;  // published files, archives left out
    bool contentLarge = false; // "w_content_large" was shown
    std::optional<StepResult> zip;  // when a ZIP was asked for
    bool ok() const { return status == PublishStatus::Done; }
};

// The date text as (year - 2000) * 10000 + month * 100 + day, 0 when it is
// not three numbers "Y-M-D" with year 2000..3000, month 1..12, day 1..31.
int32_t parsePublishDate(const std::string& text);
// "YYYY-MM-DD" of a date number, empty for 0.
std::string formatPublishDate(int32_t date);

// The folder text without one trailing "/"; nothing when it is empty or not
// a full path.
std::optional<std::string> publishFolderFromText(const std::string& text);

// Bytes of the files directly in the folder, ".zip" and ".jar" files left out.
int64_t publishedSize(const std::string& folder);

// The whole start of a publication. `settings` and `album` may be null (the
// command-line tool keeps the user's settings as they are).
PublishOutcome startPublishing(Document* doc, const PublishRequest& request, PublishHost& host, Settings* settings,
                               Album* album);

}  // namespace tavlin
