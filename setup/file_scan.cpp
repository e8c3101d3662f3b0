#include "setup/file_scan.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include <QFile>

#include "setup/setup_paths.h"

namespace tavlin::setup {

namespace fs = std::filesystem;

bool isScannedFolder(const QString& relativePath, ScanKind kind) {
    for (const char* word : {"template", "doc", "tmp", "res"})
        if (relativePath.contains(QLatin1String(word))) return true;
    return kind == ScanKind::Install && relativePath.contains(QLatin1String("pages"));
}

namespace {

QString fromNative(const fs::path& p) { return QFile::decodeName(p.native().c_str()); }

bool scan(const fs::path& root, const QString& relative, ScanKind kind, FileList& list) {
    std::error_code ec;
    fs::directory_iterator it(root, ec);
    if (ec) return false;
    std::vector<fs::directory_entry> entries;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return false;
        entries.push_back(*it);
    }
    if (ec) return false;
    // Name order, so that the copy and its progress are the same on every run.
    std::sort(entries.begin(), entries.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });

    std::vector<std::pair<fs::path, QString>> subfolders;
    for (const fs::directory_entry& e : entries) {
        QString name = fromNative(e.path().filename());
        // A link to a folder is not followed: it could lead back up the tree.
        if (e.is_symlink(ec) && e.is_directory(ec)) continue;
        if (e.is_directory(ec)) {
            if (name.startsWith('.')) continue;
            // The words are looked for below the base only: a release unpacked
            // under /tmp or a home named "docs" must not pull in every folder.
            QString sub = relative + name + '/';
            if (isScannedFolder(sub, kind)) subfolders.emplace_back(e.path(), sub);
        } else if (e.is_regular_file(ec)) {
            list.files.push_back(relative + name);
        }
    }
    for (const auto& [path, sub] : subfolders) {
        list.folders.push_back(sub);
        if (!scan(path, sub, kind, list)) return false;
    }
    return true;
}

}  // namespace

bool scanFolder(const QString& root, const QString& base, ScanKind kind, FileList& list) {
    QString b = withSlash(base);
    QString r = withSlash(root);
    QString relative = r.startsWith(b) ? r.mid(b.size()) : QString();
    return scan(fs::path(QFile::encodeName(r).toStdString()), relative, kind, list);
}

}  // namespace tavlin::setup
