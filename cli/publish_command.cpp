// tavlin publish: the studio's publishing run without a window. Creates the
// output folder when missing, answers the erase question only under --yes,
// and exits 0 only when every chosen step succeeded.

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "base/paths.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "document/document.h"
#include "document/project_file.h"
#include "publish/publish_run.h"

namespace tavlin::cli {

namespace {

const char kUsage[] =
    "usage: tavlin publish PROJECT.tvl OUTDIR [--steps all|frames,pictures,sounds,content,data,applet,thumb,page]\n"
    "       [--jpeg-quality Q] [--diff-quality Q] [--date YYYY-MM-DD] [--template DIR] [--zip] [--yes]";

class CliPublishHost : public PublishHost {
public:
    explicit CliPublishHost(bool yes) : yes_(yes) {}
    Progress& progress() override { return progress_; }
    bool confirmErase(const std::vector<std::string>& names) override {
        if (yes_) return true;
        std::fprintf(stderr, "tavlin: the output folder holds %zu file(s) of an earlier publication:\n", names.size());
        for (const std::string& n : names) std::fprintf(stderr, "  %s\n", n.c_str());
        std::fprintf(stderr, "tavlin: run again with --yes to delete them and publish\n");
        declined = true;
        return false;
    }
    bool declined = false;

private:
    bool yes_;
    TerminalProgress progress_;
};

bool parseSteps(const std::string& text, uint32_t* out) {
    if (text == "all") {
        *out = kAllSteps;
        return true;
    }
    uint32_t steps = 0;
    std::stringstream ss(text);
    for (std::string word; std::getline(ss, word, ',');) {
        uint32_t bit = 0;
        for (uint32_t b = 1; b <= kStepPage; b <<= 1)
            if (word == stepName(b)) bit = b;
        if (!bit) return false;
        steps |= bit;
    }
    *out = steps;
    return !text.empty();
}

bool parseQuality(const std::string& text, int32_t* out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < 0 || v > 100) return false;
    *out = int32_t(v);
    return true;
}

}  // namespace

int publishCommand(const Args& args) {
    std::vector<std::string> words;
    PublishRequest request;
    request.templateFolder = joinPath(joinPath(executableDir(), "template"), "simple");
    std::optional<int32_t> jpeg, diff;
    bool yes = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (a == "--yes") {
            yes = true;
        } else if (a == "--zip") {
            request.packZip = true;
        } else if (a == "--steps" || a == "--jpeg-quality" || a == "--diff-quality" || a == "--date" ||
                   a == "--template") {
            const std::string* v = value();
            if (!v) return fail("publish", kUsage);
            int32_t q = 0;
            if (a == "--steps") {
                if (!parseSteps(*v, &request.steps)) return fail(*v, "not a list of steps (see tavlin --help)");
            } else if (a == "--jpeg-quality" || a == "--diff-quality") {
                if (!parseQuality(*v, &q)) return fail(*v, "not a quality from 0 to 100");
                (a == "--jpeg-quality" ? jpeg : diff) = q;
            } else if (a == "--date") {
                if (parsePublishDate(*v) == 0) return fail(*v, "not a date YYYY-MM-DD from 2000 to 3000");
                request.dateText = *v;
            } else {
                request.templateFolder = *v;
            }
        } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
            return fail(a, "unknown option (see tavlin --help)");
        } else {
            words.push_back(a);
        }
    }
    if (words.size() != 2) return fail("publish", kUsage);

    // The thumbnail draws the stage, and text on it needs a GUI application;
    // the offscreen platform keeps it from looking for a display.
    std::unique_ptr<QGuiApplication> app;
    if ((request.steps & kStepThumbnail) && !QGuiApplication::instance()) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        static int argc = 1;
        static char name[] = "tavlin";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }

    openResourceFolder();
    PromptsScope prompts;
    std::string error;
    std::unique_ptr<Document> doc = loadProjectFile(words[0], &error);
    if (!doc) return fail(words[0], error);
    request.jpegQuality = jpeg.value_or(doc->jpegQuality);
    request.diffQuality = diff.value_or(doc->diffQuality);

    std::error_code ec;
    std::string out = std::filesystem::absolute(words[1], ec).lexically_normal().string();
    if (ec) return fail(words[1], "not a usable folder path");
    std::filesystem::create_directories(out, ec);
    if (!isDirectory(out)) return fail(words[1], "not a folder and cannot be made one");
    request.folderText = out;

    CliPublishHost host(yes);
    PublishOutcome outcome = startPublishing(doc.get(), request, host, nullptr, nullptr);
    if (host.declined) return 1;
    if (!outcome.ok()) return fail(out, outcome.reason.empty() ? "publishing did not finish" : outcome.reason);
    if (outcome.zip && !*outcome.zip) return fail(out, "the folder ZIP was not made: " + outcome.zip->reason);
    std::printf("published %s (%lld bytes without archives)\n", outcome.folder.c_str(),
                static_cast<long long>(outcome.contentBytes));
    return 0;
}

}  // namespace tavlin::cli
