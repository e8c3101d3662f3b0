#include "setup/setup_session.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>

#include "setup/file_ops.h"
#include "setup/setup_texts.h"
#include "setup/setup_wizard.h"

namespace tavlin::setup {

SetupOptions parseArguments(const QStringList& arguments) {
    SetupOptions options;
    options.startStudio = qEnvironmentVariableIsEmpty("TAVLIN_SETUP_NO_START");
    QStringList rest;
    for (const QString& a : arguments) {
        if (a == "--no-start") options.startStudio = false;
        else rest.push_back(a);
    }
    if (rest.isEmpty()) return options;
    QString first = rest.front();
    if (first == "--uninstall") {
        options.mode = SetupMode::UninstallRequest;
        return options;
    }
    if (first.startsWith("--")) first = first.mid(2);
    else if (first.startsWith('/') || first.startsWith('-')) first = first.mid(1);
    if (first.startsWith('r', Qt::CaseInsensitive)) options.mode = SetupMode::UninstallRequest;
    else if (first.startsWith('x', Qt::CaseInsensitive)) options.mode = SetupMode::UninstallRun;
    return options;
}

SetupHooks SetupHooks::defaults() {
    SetupHooks h;
    h.error = [](QWidget* parent, const QString& caption, const QString& text) {
        QMessageBox::critical(parent, caption, text);
    };
    h.chooseFolder = [](QWidget* parent, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
    };
    h.startProgram = [](const QString& program, const QString& workFolder) {
        return QProcess::startDetached(program, {}, workFolder);
    };
    return h;
}

SetupSession::SetupSession(SetupMode mode, SetupPaths paths, const QString& setupProgram, SetupHooks hooks)
    : paths_(std::move(paths)), hooks_(std::move(hooks)), groupName_(text::kProduct) {
    QFileInfo self(setupProgram);
    setupFolder_ = withSlash(self.absolutePath());
    setupFileName_ = self.fileName();
    setMode(mode);
    installFolder_ = paths_.defaultInstallFolder();
    UninstallKey key;
    // A record whose folder is not an absolute path below "/" is not ours to
    // follow: uninstalling from it could delete anywhere.
    if (UninstallKey::read(paths_.uninstallKeyFile(), key) && key.installDir.startsWith('/') &&
        withSlash(key.installDir) != "/") {
        installFolder_ = withSlash(key.installDir);
        if (!key.startmenuGroup.isEmpty() && !key.startmenuGroup.contains('/')) groupName_ = key.startmenuGroup;
        alreadyInstalled_ = true;
        haveManifest_ = Manifest::read(paths_.manifestFile(), manifest_);
    }
}

void SetupSession::setMode(SetupMode mode) {
    mode_ = mode;
    caption_ = formatText(mode == SetupMode::Install ? text::kInstallingCaption : text::kUninstallingCaption,
                          text::kProduct);
}

void SetupSession::showError(QWidget* parent, const QString& message) const {
    if (hooks_.error) hooks_.error(parent, caption_, message);
}

bool SetupSession::prepareInstall() {
    files_ = FileList();
    bool ok = scanFolder(setupFolder_, setupFolder_, ScanKind::Install, files_);
    if (ok && files_.count() > 0) return true;
    showError(nullptr, QString::fromUtf8(!ok && files_.count() > 0 ? text::kScanFailed : text::kNothingToInstall));
    return false;
}

bool SetupSession::prepareUninstall() {
    files_ = FileList();
    if (!pathExists(installFolder_)) {
        // Deleted by hand: nothing to delete, but a recorded installation
        // still has its menu entries, file type and key to take away.
        showError(nullptr, QString::fromUtf8(text::kNothingToDelete));
        return alreadyInstalled_;
    }
    bool ok = scanFolder(installFolder_, installFolder_, ScanKind::Uninstall, files_);
    if (!ok) {
        showError(nullptr, QString::fromUtf8(files_.count() > 0 ? text::kUninstallScanFailed : text::kNothingToDelete));
        return false;
    }
    if (alreadyInstalled_) return true;
    // Without a record only a folder that holds the studio is taken for ours.
    if (files_.count() == 0 || !files_.files.contains(text::kStudioProgram)) {
        showError(nullptr, QString::fromUtf8(text::kNothingToDelete));
        return false;
    }
    return true;
}

namespace {

// The nearest folder that exists on the way up from "folder".
QString nearestExisting(QString folder) {
    while (folder.size() > 1 && !pathExists(folder)) {
        folder = withSlash(folder);
        folder.chop(1);
        qsizetype slash = folder.lastIndexOf('/');
        folder = slash <= 0 ? QStringLiteral("/") : folder.left(slash);
    }
    return folder;
}

}  // namespace

bool SetupSession::acceptFolder(QWidget* parent, const QString& entry) {
    QString folder = entry.trimmed();
    if (!folder.startsWith('/')) {
        showError(parent, QString::fromUtf8(text::kSpecifyDrive));
        return false;
    }
    for (QChar c : folder) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            showError(parent, formatText(text::kBadFolderName, entry));
            return false;
        }
    }
    folder = withSlash(QDir::cleanPath(folder));
    if (folder == "/") {
        showError(parent, QString::fromUtf8(text::kNotInRoot));
        return false;
    }
    if (!alreadyInstalled_ && !folderChecksOff_ && pathExists(folder) && !pathExists(folder + "pages")) {
        showError(parent, formatText(text::kAnotherProgram, folder));
        folderChecksOff_ = true;
        return false;
    }
    QString existing = nearestExisting(folder);
    if (!isFolder(existing) || ::access(QFile::encodeName(existing).constData(), W_OK | X_OK) != 0) {
        showError(parent, formatText(text::kNoPermission, existing));
        return false;
    }
    installFolder_ = folder;
    return true;
}

int runSetup(SetupSession& session) {
    if (session.mode() == SetupMode::Install) {
        if (!session.prepareInstall()) return 0;
        InstallWizard wizard(session);
        return wizard.exec() == QDialog::Accepted ? 1 : 0;
    }
    if (session.mode() == SetupMode::UninstallRequest) {
        UninstallRequestWizard request(session);
        if (request.exec() != QDialog::Accepted) return 0;
        // The uninstallation runs here and now: the program on Linux may
        // delete its own file while it runs, so it needs no copy of itself
        // in the temporary folder.
        session.setMode(SetupMode::UninstallRun);
    }
    if (!session.prepareUninstall()) return 0;
    UninstallWizard wizard(session);
    return wizard.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace tavlin::setup
