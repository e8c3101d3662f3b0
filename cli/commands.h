#pragma once
// Subcommand groups of the command-line tool. Each takes the words after its
// group name and returns the exit status (0 success, 1 failure with one line
// on standard error).

#include <string>
#include <vector>

namespace tavlin::cli {

using Args = std::vector<std::string>;

int imageCommand(const Args& args);
int audioCommand(const Args& args);
int projectCommand(const Args& args);
int contentCommand(const Args& args);
int videoCommand(const Args& args);
int framelistCommand(const Args& args);
int publishCommand(const Args& args);
int serveCommand(const Args& args);

// Prints "tavlin: FILE: WHAT" on standard error and returns 1.
int fail(const std::string& file, const std::string& what);

}  // namespace tavlin::cli
