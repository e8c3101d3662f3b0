#pragma once
// Runs the built command-line tool with a shell-quoted argument string and
// collects its exit status and output.

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/scratch.h"

namespace tavlin::test {

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline CliRun runTool(const ScratchDir& scratch, const std::string& args) {
    std::string cmd = std::string("'") + TAVLIN_CLI + "' " + args + " >'" + scratch.file("stdout") + "' 2>'" +
                      scratch.file("stderr") + "'";
    int rc = std::system(cmd.c_str());
    CliRun r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = readAll(scratch.file("stdout"));
    r.err = readAll(scratch.file("stderr"));
    return r;
}

}  // namespace tavlin::test
