#pragma once
// Small file helpers shared by the picture writers.

#include <cstdio>

namespace tavlin {

// Closes a file a writer produced. When the write or the close failed and the
// path is a regular file, the partial file is removed: half a picture is of no
// use, and devices or other special files are never touched.
bool finishPictureFile(std::FILE* f, const char* path, bool ok);

}  // namespace tavlin
