#include "media/image/picture_file.h"

#include <sys/stat.h>

namespace tavlin {

bool finishPictureFile(std::FILE* f, const char* path, bool ok) {
    struct stat st {};
    const bool regular = ::fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    ok = std::fclose(f) == 0 && ok;
    if (!ok && regular) std::remove(path);
    return ok;
}

}  // namespace tavlin
