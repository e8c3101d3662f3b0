#pragma once
// One run of tavlin-setup: its mode, the folders it works on and the ways it
// talks to the user, shared by the wizards of the run.

#include <functional>

#include <QString>
#include <QStringList>

#include "setup/file_scan.h"
#include "setup/install_record.h"
#include "setup/setup_paths.h"

class QWidget;

namespace tavlin::setup {

enum class SetupMode { Install, UninstallRequest, UninstallRun };

struct SetupOptions {
    SetupMode mode = SetupMode::Install;
    // Off with "--no-start" or TAVLIN_SETUP_NO_START: installs made by tests
    // and scripts do not start the studio at the end.
    bool startStudio = true;
};

// The first argument chooses the mode: "r" (after an optional "/", "-" or
// "--") or "--uninstall" asks for an uninstallation, "x" runs it, anything
// else installs.
SetupOptions parseArguments(const QStringList& arguments);

// How the run reaches the user and the system; tests replace them.
struct SetupHooks {
    std::function<void(QWidget* parent, const QString& caption, const QString& text)> error;
    std::function<QString(QWidget* parent, const QString& title, const QString& start)> chooseFolder;
    std::function<bool(const QString& program, const QString& workFolder)> startProgram;

    static SetupHooks defaults();
};

class SetupSession {
public:
    // "setupProgram" is the path of the running setup program.
    SetupSession(SetupMode mode, SetupPaths paths, const QString& setupProgram, SetupHooks hooks);

    SetupMode mode() const { return mode_; }
    void setMode(SetupMode mode);
    const SetupPaths& paths() const { return paths_; }
    const SetupHooks& hooks() const { return hooks_; }
    const QString& caption() const { return caption_; }
    const QString& setupFolder() const { return setupFolder_; }
    const QString& setupFileName() const { return setupFileName_; }
    const QString& groupName() const { return groupName_; }
    bool alreadyInstalled() const { return alreadyInstalled_; }
    bool hasManifest() const { return haveManifest_; }
    const Manifest& manifest() const { return manifest_; }

    QString installFolder() const { return installFolder_; }
    void setInstallFolder(const QString& folder) { installFolder_ = folder; }
    const FileList& files() const { return files_; }

    bool startStudio = true;

    void showError(QWidget* parent, const QString& text) const;

    // Scans the setup folder; false (after its message) when there is nothing
    // to install.
    bool prepareInstall();
    // Scans the install folder; false (after its message) when the run ends.
    bool prepareUninstall();

    // The folder page's checks of an entry; shows the refusal and returns
    // false, or takes the folder and returns true.
    bool acceptFolder(QWidget* parent, const QString& entry);

private:
    SetupMode mode_;
    SetupPaths paths_;
    SetupHooks hooks_;
    QString caption_;
    QString setupFolder_;
    QString setupFileName_;
    QString installFolder_;
    QString groupName_;
    bool alreadyInstalled_ = false;
    bool folderChecksOff_ = false;
    bool haveManifest_ = false;
    Manifest manifest_;
    FileList files_;
};

// The whole run of a mode, wizards included; returns the exit status.
int runSetup(SetupSession& session);

}  // namespace tavlin::setup
