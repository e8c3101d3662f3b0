#include "publish/publish_run.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "document/document.h"
#include "publish/album.h"

namespace tavlin {

namespace fs = std::filesystem;

namespace {

std::string str(const char* id) { return resources().StringCopy(id); }

bool endsWithIgnoringCase(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
    return true;
}

// The size warned about when the string table gives none.
constexpr int64_t kDefaultContentLimit = 5242880;

PublishOutcome refused(std::string why) {
    PublishOutcome o;
    o.reason = std::move(why);
    return o;
}

}  // namespace

int32_t parsePublishDate(const std::string& text) {
    int year = 0, month = 0, day = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d", &year, &month, &day) != 3) return 0;
    if (year < 2000 || year > 3000 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
    return (year - 2000) * 10000 + month * 100 + day;
}

std::string formatPublishDate(int32_t date) {
    if (date <= 0) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", int(date / 10000 + 2000), int(date / 100 % 100), int(date % 100));
    return buf;
}

std::optional<std::string> publishFolderFromText(const std::string& text) {
    std::string folder = text;
    if (!folder.empty() && folder.back() == '/') folder.pop_back();
    // Only a full path says where the folder is; the studio's own working
    // folder is nothing the author chose.
    if (folder.empty() || folder[0] != '/') return std::nullopt;
    return folder;
}

int64_t publishedSize(const std::string& folder) {
    int64_t sum = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        if (!it->is_regular_file(fec)) continue;
        std::string name = it->path().filename().string();
        if (endsWithIgnoringCase(name, ".zip") || endsWithIgnoringCase(name, ".jar")) continue;
        auto size = it->file_size(fec);
        if (!fec) sum += int64_t(size);
    }
    return sum;
}

PublishOutcome startPublishing(Document* doc, const PublishRequest& request, PublishHost& host, Settings* settings,
                               Album* album) {
    if (!doc) return refused("no document is open");
    std::optional<std::string> folder = publishFolderFromText(request.folderText);
    if (!folder) {
        ShowMessage("%s", str("e_invalid_dir").c_str());
        return refused("not a full folder path: \"" + request.folderText + "\"");
    }
    if (!isDirectory(*folder)) {
        if (fileExists(*folder)) {
            ShowMessage("%s", str("e_invalid_dir").c_str());
            return refused(*folder + " is a file, not a folder");
        }
        if (AskChoice(str("create_dir?"), {str("b_create"), str("b_cancel")}) != 0)
            return refused("the folder was not created");
        std::error_code ec;
        fs::create_directories(*folder, ec);
        if (!isDirectory(*folder)) {
            ShowMessage("%s", str("e_cant_mkdir").c_str());
            return refused("cannot create " + *folder);
        }
    }

    doc->jpegQuality = request.jpegQuality;
    doc->diffQuality = request.diffQuality;
    if (settings) {
        settings->Set("jpeg_quality", std::to_string(request.jpegQuality));
        settings->Set("diff_quality", std::to_string(request.diffQuality));
    }
    if (!doc->contentFlag) {
        if (settings) settings->Set("last_web_dir", *folder);
        doc->lastPublishFolder = *folder;
        if (album) album->Record(*doc);
    }
    if (settings) {
        settings->Set("template_dir", request.templateFolder);
        settings->Set("param_data_jar", request.steps & kStepDataArchive ? "1" : "0");
        settings->Set("param_thumb", request.steps & kStepThumbnail ? "1" : "0");
        settings->Set("param_browser", request.openBrowser ? "1" : "0");
        settings->Set("param_zip", request.packZip ? "1" : "0");
    }
    doc->publishDate = parsePublishDate(request.dateText);

    Publisher publisher(*folder, *doc, host);
    StepResult r = publisher.run(request.steps & kAllSteps, doc->publishDate, request.templateFolder);
    PublishOutcome outcome;
    outcome.folder = *folder;
    if (!r) {
        outcome.status = PublishStatus::RunFailed;
        outcome.reason = r.reason;
        return outcome;
    }
    outcome.status = PublishStatus::Done;
    outcome.contentBytes = publishedSize(*folder);
    int64_t limit = settingsNumber(str("max_content_sz"));
    if (limit <= 0) limit = kDefaultContentLimit;
    if (outcome.contentBytes >= limit) {
        outcome.contentLarge = true;
        ShowMessage("%s", str("w_content_large").c_str());
    }
    if (request.packZip) outcome.zip = folderZip(publisher);
    if (request.openBrowser) host.openPage(*folder);
    return outcome;
}

}  // namespace tavlin
