#pragma once
// The work behind the wizards: copying a release into the install folder and
// registering it, and taking it all away again. Neither shows a window; they
// report through the functions they are given.

#include <functional>

#include <QString>

#include "setup/file_scan.h"
#include "setup/install_record.h"
#include "setup/setup_paths.h"

namespace tavlin::setup {

using ErrorSink = std::function<void(const QString& text)>;
using StepHook = std::function<void()>;

struct InstallJob {
    SetupPaths paths;
    QString setupFolder;    // ends in "/"
    QString setupFileName;  // the setup program's own name
    QString installFolder;  // ends in "/"
    QString groupName;
    FileList files;         // relative to the setup folder
};

// Copies every listed file (an existing "tavlin.rc" is kept), then writes the
// menu entries, the file type, the uninstall key and the list of what it made.
// Files are first copied beside their targets under temporary names and only
// renamed into place once all of them were copied, so a full disk or any other
// failure leaves the folder and the desktop as they were: the first failure
// is reported and everything this run made is taken back.
class Installer {
public:
    Installer(InstallJob job, ErrorSink error, StepHook step);
    bool run();

private:
    InstallJob job_;
    ErrorSink error_;
    StepHook step_;
};

struct UninstallJob {
    SetupPaths paths;
    QString installFolder;  // ends in "/"
    QString groupName;
    FileList scanned;       // the install folder's scan, without "pages"
    bool haveManifest = false;
    Manifest manifest;
};

// Deletes what the installation made (the user's own files, published pages
// among them, stay), the menu entries, the file type and the uninstall key.
// Failures are reported and the run goes on.
class Uninstaller {
public:
    Uninstaller(UninstallJob job, ErrorSink error, StepHook step);
    void run();

    // The files to delete, relative to the install folder.
    QStringList filesToDelete() const;

private:
    UninstallJob job_;
    ErrorSink error_;
    StepHook step_;
};

// A relative path that stays inside its base: no "..", not absolute, not empty.
bool isSafeRelativePath(const QString& path);

}  // namespace tavlin::setup
