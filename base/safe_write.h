#pragma once
// The one way a file the user has is replaced. The new content goes to a
// unique temporary file beside the target (created exclusively), is flushed
// and synced, and is then renamed over the target, so that on any failure
// (a full disk, a library error half way) the target stays exactly as it was
// and the temporary file is removed.
//
// A symbolic link is written through: the file it names gets the new content
// and the link stays a link. A replaced file keeps its permissions (and, where
// the process may, its owner). A target that is not a regular file (a device,
// a pipe) is written directly, as there is nothing to keep. A file the user
// may not write is refused. A writable file in a folder the user may not
// write (no temporary file can go there) is rewritten in place, from content
// made in memory first.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "base/result.h"

namespace tavlin {

// Writes the content into the open temporary file; false on failure.
using FileFiller = std::function<bool(std::FILE*)>;

Status writeFileSafely(const std::string& path, const FileFiller& fill);
Status writeFileSafely(const std::string& path, std::string_view bytes);

// The file a write of `path` replaces: symbolic links followed to the file
// they name, which need not exist yet. Empty when the links go round in a
// circle or too deep.
std::string resolveWriteTarget(const std::string& path);

}  // namespace tavlin
