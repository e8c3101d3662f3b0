#include "setup/file_ops.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include <QFile>
#include <QSaveFile>

#include "setup/setup_paths.h"

namespace tavlin::setup {

namespace fs = std::filesystem;

namespace {

fs::path native(const QString& p) { return fs::path(QFile::encodeName(p).toStdString()); }

QString trimmed(const QString& folder) {
    QString f = folder;
    while (f.size() > 1 && f.endsWith('/')) f.chop(1);
    return f;
}

}  // namespace

bool pathExists(const QString& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(native(path), ec));
}

bool isFolder(const QString& path) {
    std::error_code ec;
    return fs::is_directory(native(path), ec);
}

bool makeFolders(const QString& folder, QStringList* created) {
    QString f = trimmed(folder);
    if (f.isEmpty()) return false;
    if (isFolder(f)) return true;
    if (pathExists(f)) return false;
    qsizetype slash = f.lastIndexOf('/');
    if (slash > 0 && !makeFolders(f.left(slash), created)) return false;
    std::error_code ec;
    if (!fs::create_directory(native(f), ec) && !isFolder(f)) return false;
    if (created) created->push_back(f);
    return true;
}

bool writeFileSafely(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool copyFileChecked(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) return false;
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    bool ok = true;
    QByteArray chunk;
    while (ok) {
        chunk = in.read(1 << 16);
        if (chunk.isEmpty()) {
            ok = in.error() == QFileDevice::NoError && in.atEnd();
            break;
        }
        ok = out.write(chunk) == chunk.size();
    }
    ok = ok && out.flush();
    out.close();
    ok = ok && out.error() == QFileDevice::NoError;
    if (ok) {
        // Executable bits follow the source; the owner may write (an update
        // replaces it), nobody else may.
        QFileDevice::Permissions p = in.permissions();
        p |= QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
        p &= ~(QFileDevice::WriteGroup | QFileDevice::WriteOther);
        ok = out.setPermissions(p);
    }
    if (!ok) QFile::remove(to);
    return ok;
}

bool replaceFile(const QString& from, const QString& to) {
    std::error_code ec;
    fs::rename(native(from), native(to), ec);
    return !ec;
}

RemoveResult removeFile(const QString& path) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(native(path), ec))) return RemoveResult::NotFound;
    if (fs::is_directory(fs::symlink_status(native(path), ec))) return RemoveResult::Failed;
    fs::remove(native(path), ec);
    return ec ? RemoveResult::Failed : RemoveResult::Removed;
}

RemoveResult removeEmptyTree(const QString& folder) {
    fs::path root = native(trimmed(folder));
    std::error_code ec;
    auto st = fs::symlink_status(root, ec);
    if (!fs::exists(st)) return RemoveResult::NotFound;
    if (!fs::is_directory(st)) return RemoveResult::Failed;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            removeEmptyTree(QFile::decodeName(it->path().native().c_str()));
    }
    if (::rmdir(root.c_str()) != 0) return RemoveResult::Failed;
    return RemoveResult::Removed;
}

RemoveResult removeTree(const QString& folder) {
    fs::path root = native(trimmed(folder));
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(root, ec))) return RemoveResult::NotFound;
    fs::remove_all(root, ec);
    return ec ? RemoveResult::Failed : RemoveResult::Removed;
}

}  // namespace tavlin::setup
