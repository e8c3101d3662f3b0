#pragma once
// The folder scan that decides what is installed and what is removed: every
// file of the root, and the subfolders whose path names one of the program's
// data folders.

#include <QString>
#include <QStringList>

namespace tavlin::setup {

struct FileList {
    QStringList files;    // relative to the base, "/"-separated
    QStringList folders;  // the scanned subfolders, relative, ending in "/"
    int count() const { return int(files.size()); }
};

enum class ScanKind { Install, Uninstall };

// True when a subfolder with this path below the base is scanned: its path
// holds "template", "doc", "tmp" or "res", or "pages" when installing.
bool isScannedFolder(const QString& relativePath, ScanKind kind);

// Appends the files of "root" (and of its scanned subfolders) to "list" as
// paths relative to "base". False when a folder cannot be enumerated.
bool scanFolder(const QString& root, const QString& base, ScanKind kind, FileList& list);

}  // namespace tavlin::setup
