#pragma once
// File-system paths: joining, the program's own folder, small file helpers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// Joins with a "/" inserted only when the left part does not already end in one.
std::string joinPath(const std::string& dir, const std::string& name);
// The folder of the running program (its data folders sit beside it).
std::string executableDir();
// Overrides executableDir() (tests point it at a scratch folder).
void setExecutableDirForTesting(const std::string& dir);

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
std::optional<std::vector<uint8_t>> readFileBytes(const std::string& path);
// Writes a new file beside `path` and renames it over `path`, so that a
// failure never leaves a truncated file behind.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace tavlin
