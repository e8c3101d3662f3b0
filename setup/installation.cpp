#include "setup/installation.h"

#include <unistd.h>

#include <vector>

#include <QDir>
#include <QFile>

#include "setup/desktop_integration.h"
#include "setup/file_ops.h"
#include "setup/setup_texts.h"

namespace tavlin::setup {

bool isSafeRelativePath(const QString& path) {
    if (path.isEmpty() || path.startsWith('/')) return false;
    for (const QString& part : path.split('/'))
        if (part == "..") return false;
    return true;
}

namespace {

QString trimmedFolder(const QString& folder) {
    QString f = folder;
    while (f.size() > 1 && f.endsWith('/')) f.chop(1);
    return f;
}

QString parentFolder(const QString& file) {
    qsizetype slash = file.lastIndexOf('/');
    return slash > 0 ? file.left(slash) : QStringLiteral("/");
}

// What one install run changed, so that a failure can take it back.
class Changes {
public:
    struct Staged {
        QString temporary;
        QString target;
        QString source;
        bool committed = false;
        bool replaced = false;  // the target existed before
    };
    struct Saved {
        QString path;
        bool existed;
        QByteArray old;
    };

    QStringList createdFolders;
    std::vector<Staged> staged;
    std::vector<Saved> saved;

    // Remembers a registration file's old contents before it is written.
    void save(const QString& path) {
        QFile f(path);
        Saved s{path, f.exists(), {}};
        if (s.existed && f.open(QIODevice::ReadOnly)) s.old = f.readAll();
        saved.push_back(s);
    }

    void undo() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            if (it->existed) writeFileSafely(it->path, it->old);
            else removeFile(it->path);
        }
        for (const Staged& s : staged) {
            if (!s.committed) removeFile(s.temporary);
            else if (!s.replaced) removeFile(s.target);
        }
        for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it)
            ::rmdir(QFile::encodeName(*it).constData());
    }
};

}  // namespace

Installer::Installer(InstallJob job, ErrorSink error, StepHook step)
    : job_(std::move(job)), error_(std::move(error)), step_(std::move(step)) {}

bool Installer::run() {
    const SetupPaths& paths = job_.paths;
    const QString& dest = job_.installFolder;
    Changes changes;
    Manifest made;
    auto fail = [&](const char* fmt, const QString& what) {
        error_(formatText(fmt, what));
        changes.undo();
        return false;
    };

    if (!makeFolders(dest, &changes.createdFolders)) return fail(text::kFailedToCreate, dest);
    // The data folders exist even when the release ships them empty ("pages",
    // "tmp"): the studio writes there, and "pages" marks the folder as ours.
    for (const QString& folder : job_.files.folders)
        if (!makeFolders(dest + folder, &changes.createdFolders)) return fail(text::kFailedToCreate, dest + folder);

    for (const QString& relative : job_.files.files) {
        QString source = job_.setupFolder + relative;
        QString installed = relative;
        // A program shipped as "name.ex_" is installed as "name.exe".
        if (installed.endsWith('_')) installed[installed.size() - 1] = 'e';
        QString target = dest + installed;
        if (relative == text::kSettingsFile && pathExists(target)) {
            made.files.push_back(installed);  // the user's settings survive an update
            step_();
            continue;
        }
        if (!makeFolders(parentFolder(target), &changes.createdFolders)) return fail(text::kFailedToCopy, source);
        QString temporary = target + ".setup-new";
        removeFile(temporary);
        if (!copyFileChecked(source, temporary)) return fail(text::kFailedToCopy, source);
        changes.staged.push_back({temporary, target, source, false, false});
        made.files.push_back(installed);
        step_();
    }

    QString settings = dest + text::kSettingsFile;
    if (!made.files.contains(text::kSettingsFile) && !pathExists(settings)) {
        QString temporary = settings + ".setup-new";
        if (!writeFileSafely(temporary, "\n")) return fail(text::kFailedToCopy, settings);
        changes.staged.push_back({temporary, settings, settings, false, false});
    }
    if (!made.files.contains(text::kSettingsFile)) made.files.push_back(text::kSettingsFile);
    // No "every user may write" access on the settings file: in a shared folder
    // that would let any local user change what another user's program reads.

    for (Changes::Staged& s : changes.staged) {
        s.replaced = pathExists(s.target);
        if (!replaceFile(s.temporary, s.target)) return fail(text::kFailedToCopy, s.source);
        s.committed = true;
    }

    // Menu entries in the group folder.
    QString group = paths.groupFolder(job_.groupName);
    if (!makeFolders(group, &changes.createdFolders)) return fail(text::kFailedToCreate, group);
    QString icon = made.files.contains(text::kIconFile) ? dest + text::kIconFile : QString();
    for (const char* entry : kShortcutTable) {
        Shortcut sc;
        if (!parseShortcut(QString::fromUtf8(entry), sc)) {
            error_(QString::fromUtf8(text::kShortcutError));
            continue;
        }
        QString file = shortcutFile(group, sc);
        changes.save(file);
        if (!writeFileSafely(file, desktopEntryText(sc, dest, icon))) return fail(text::kFailedToCreate, file);
        made.entries.push_back(file);
    }

    // The project file type.
    QString mimePackage = paths.mimePackageFile();
    if (!makeFolders(parentFolder(mimePackage), &changes.createdFolders))
        return fail(text::kFailedToCreate, mimePackage);
    changes.save(mimePackage);
    if (!writeFileSafely(mimePackage, mimePackageText())) return fail(text::kFailedToCreate, mimePackage);
    made.entries.push_back(mimePackage);

    // The uninstall key goes last: once it exists, the installation is complete.
    if (!makeFolders(paths.keyFolder(), &changes.createdFolders)) return fail(text::kFailedToCreate, paths.keyFolder());
    made.folders = changes.createdFolders;
    Manifest older;
    if (Manifest::read(paths.manifestFile(), older)) made.merge(older);
    changes.save(paths.manifestFile());
    if (!writeFileSafely(paths.manifestFile(), made.text())) return fail(text::kFailedToCreate, paths.manifestFile());
    UninstallKey key;
    key.displayName = text::kProduct;
    key.uninstallString = "\"" + dest + job_.setupFileName + "\" /r";
    key.installDir = dest;
    key.startmenuGroup = job_.groupName;
    changes.save(paths.uninstallKeyFile());
    if (!writeFileSafely(paths.uninstallKeyFile(), key.text()))
        return fail(text::kFailedToCreate, paths.uninstallKeyFile());

    runUpdateTool("update-mime-database", trimmedFolder(paths.mimeFolder()));
    runUpdateTool("update-desktop-database", trimmedFolder(paths.programsFolder()));
    return true;
}

Uninstaller::Uninstaller(UninstallJob job, ErrorSink error, StepHook step)
    : job_(std::move(job)), error_(std::move(error)), step_(std::move(step)) {}

QStringList Uninstaller::filesToDelete() const {
    if (!job_.haveManifest) return job_.scanned.files;
    // What was installed, and the studio's scratch files in "tmp"; anything
    // else in the folder is the user's.
    QStringList files;
    for (const QString& f : job_.manifest.files)
        if (isSafeRelativePath(f)) files.push_back(f);
    for (const QString& f : job_.scanned.files)
        if (f.startsWith("tmp/") && !files.contains(f)) files.push_back(f);
    return files;
}

void Uninstaller::run() {
    const SetupPaths& paths = job_.paths;
    const QString& folder = job_.installFolder;
    QStringList created;
    for (const QString& f : job_.manifest.folders) created.push_back(trimmedFolder(f));

    for (const QString& relative : filesToDelete()) {
        QString path = folder + relative;
        if (removeFile(path) == RemoveResult::Failed) error_(formatText(text::kFailedToDelete, path));
        step_();
    }
    if (removeEmptyTree(folder) == RemoveResult::Failed) error_(formatText(text::kFolderRemains, folder));

    QString group = paths.groupFolder(job_.groupName);
    QStringList entries;
    for (const char* entry : kShortcutTable) {
        Shortcut sc;
        if (!parseShortcut(QString::fromUtf8(entry), sc)) {
            error_(QString::fromUtf8(text::kShortcutError));
            continue;
        }
        QString file = shortcutFile(group, sc);
        entries.push_back(file);
        if (removeFile(file) == RemoveResult::Failed) error_(formatText(text::kFailedToDelete, file));
    }
    if (removeEmptyTree(group) == RemoveResult::Failed) error_(formatText(text::kFailedToDelete, group));

    // The file type goes too: left behind, it would open projects with a
    // program that is no longer there.
    QStringList others = job_.manifest.entries;
    if (!others.contains(paths.mimePackageFile())) others.push_back(paths.mimePackageFile());
    for (const QString& file : others) {
        if (entries.contains(file) || !file.startsWith('/')) continue;
        if (removeFile(file) == RemoveResult::Failed) error_(formatText(text::kFailedToDelete, file));
    }

    // The desktop's caches: regenerated, or gone with the folders this
    // installation created when nothing else is registered there.
    QString mime = trimmedFolder(paths.mimeFolder());
    bool mimeEmpty = QDir(mime + "/packages").isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (mimeEmpty && created.contains(mime)) removeTree(mime);
    else if (isFolder(mime)) runUpdateTool("update-mime-database", mime);
    QString apps = trimmedFolder(paths.programsFolder());
    QStringList left = QDir(apps).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (created.contains(apps) && (left.isEmpty() || left == QStringList{"mimeinfo.cache"}))
        removeFile(apps + "/mimeinfo.cache");
    else if (isFolder(apps)) runUpdateTool("update-desktop-database", apps);

    if (removeFile(paths.uninstallKeyFile()) == RemoveResult::Failed) error_(QString::fromUtf8(text::kRecordNotDeleted));
    removeTree(paths.keyFolder());

    // Folders the installation made around its files (~/.local/opt, say),
    // innermost first, when they are empty now.
    for (auto it = created.rbegin(); it != created.rend(); ++it) ::rmdir(QFile::encodeName(*it).constData());
}

}  // namespace tavlin::setup
