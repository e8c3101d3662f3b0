#include "cli/commands.h"

namespace tavlin::cli {

int audioCommand(const Args&) { return fail("audio", "not available yet"); }

}  // namespace tavlin::cli
