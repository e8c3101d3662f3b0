#pragma once
// File operations with the outcomes tavlin-setup needs to tell apart: a file
// that is already gone is not a failure when removing.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tavlin::setup {

// Creates "folder" with its missing parents; appends each folder it made
// (outermost first, without trailing "/") to "created".
bool makeFolders(const QString& folder, QStringList* created);

// Writes "bytes" through a temporary file renamed over "path".
bool writeFileSafely(const QString& path, const QByteArray& bytes);

// Copies "from" to "to" (which must not exist), checking every write and the
// final flush, so a full disk is seen. The copy keeps the executable bits of
// the source, is writable by its owner and by nobody else. On failure the
// partial copy is removed.
bool copyFileChecked(const QString& from, const QString& to);

// Renames over an existing file.
bool replaceFile(const QString& from, const QString& to);

enum class RemoveResult { Removed, NotFound, Failed };
RemoveResult removeFile(const QString& path);

// Removes "folder" with its empty subfolders, depth first; folders that still
// hold files stay. NotFound when "folder" did not exist.
RemoveResult removeEmptyTree(const QString& folder);

// Removes a folder with everything in it (links are removed, not followed).
RemoveResult removeTree(const QString& folder);

bool pathExists(const QString& path);
bool isFolder(const QString& path);

}  // namespace tavlin::setup
