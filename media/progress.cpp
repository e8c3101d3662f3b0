#include "media/progress.h"

namespace tavlin {

Progress& silentProgress() {
    static Progress silent;
    return silent;
}

}  // namespace tavlin
