#include "cli/commands.h"

namespace tavlin::cli {

int imageCommand(const Args&) { return fail("image", "not available yet"); }

}  // namespace tavlin::cli
