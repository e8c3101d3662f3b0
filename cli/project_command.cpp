#include "cli/commands.h"

namespace tavlin::cli {

int projectCommand(const Args&) { return fail("project", "not available yet"); }

}  // namespace tavlin::cli
