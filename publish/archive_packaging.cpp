// The archives of a publication: "data.jar" with the published files, the
// viewer's "tavlin.jar" from the resource folder, and the folder ZIP.

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/paths.h"
#include "base/safe_write.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "publish/publisher.h"
#include "ziparchive/zip_writer.h"

namespace tavlin {

namespace fs = std::filesystem;

namespace {

// The manifest is packed from memory: a META-INF folder made in the output
// folder and removed again could take a folder of the user's with it.
constexpr char kManifestName[] = "META-INF/MANIFEST.MF";
constexpr char kManifestText[] = "Manifest-Version: 1.0\r\n";

// The published files packed into the data archive, pattern by pattern.
constexpr const char* kDataPatterns[] = {"tavlin.txt", "v*.txt", "v*.jpg", "i*.jpg", "i*.gif", "a*.au"};

ZipProgress zipProgress(Progress& progress) {
    return [&progress](double share) { return progress.update(int64_t(share * 1000), 1000); };
}

std::string lastComponent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool hidden(const std::string& name) { return !name.empty() && name[0] == '.'; }

// Folder entries and files below `dir`, names prefixed with `prefix`; hidden
// names and the excluded paths are left out. Links to folders are not
// followed, so a link loop cannot make the archive endless.
void collectTree(const fs::path& dir, const std::string& prefix, const std::vector<std::string>& excluded,
                 std::vector<ZipItem>& out) {
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& e : entries) {
        std::string name = e.path().filename().string();
        if (hidden(name)) continue;
        if (std::find(excluded.begin(), excluded.end(), e.path().string()) != excluded.end()) continue;
        std::error_code sec;
        fs::file_status st = e.symlink_status(sec);
        if (fs::is_directory(st)) {
            out.push_back({prefix + name + "/", {}, {}});
            collectTree(e.path(), prefix + name + "/", excluded, out);
        } else if (e.is_regular_file(sec)) {
            out.push_back({prefix + name, e.path().string(), {}});
        }
    }
}

}  // namespace

StepResult dataArchiveStep(Publisher& p) {
    std::vector<ZipItem> items;
    items.push_back({kManifestName, {}, kManifestText});
    for (const char* pattern : kDataPatterns)
        for (const std::string& name : matchingFiles(p.folder(), pattern)) items.push_back({name, p.path(name), {}});
    p.progress().begin("Packing data.jar");
    ZipResult r = writeZipArchive(p.path("data.jar"), items, zipProgress(p.progress()));
    p.progress().end();
    if (!r) return StepResult::fail(p.path("data.jar") + ": " + r.reason);
    return StepResult::done();
}

StepResult appletArchiveStep(Publisher& p) {
    auto bytes = resources().ReadWhole("tavlin.jar");
    if (!bytes) {
        ShowMessage("No jar resource");
        return StepResult::fail("the resource folder " + resources().Path() + " holds no tavlin.jar");
    }
    std::string target = p.path("tavlin.jar");
    if (!writeFileSafely(target, std::string(bytes->begin(), bytes->end())).ok())
        return StepResult::fail("cannot write " + target + " (is the disk full or the folder read-only?)");
    return StepResult::done();
}

StepResult folderZip(Publisher& p) {
    const std::string& folder = p.folder();
    size_t slash = folder.find_last_of('/');
    std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash);
    // A folder directly under the file-system root has no folder to hold it.
    if (parent.empty() || parent == "/") {
        ShowMessage("%s", resources().StringCopy("e_bad_zipdir").c_str());
        return StepResult::fail("the folder lies directly under the file-system root");
    }
    std::string name = lastComponent(folder);
    std::string zipPath = p.path(name + ".zip");
    std::remove(zipPath.c_str());
    std::vector<ZipItem> items;
    items.push_back({name + "/", {}, {}});
    collectTree(fs::path(folder), name + "/", {zipPath, zipTemporaryPath(zipPath)}, items);
    p.progress().begin("Packing " + name + ".zip");
    ZipResult r = writeZipArchive(zipPath, items, zipProgress(p.progress()));
    p.progress().end();
    if (!r) return StepResult::fail(zipPath + ": " + r.reason);
    return StepResult::done();
}

}  // namespace tavlin
