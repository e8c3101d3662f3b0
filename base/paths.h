#pragma once
// Paths and folders: joining, the program's own folder, and small queries
// through std::filesystem that never throw.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// Joins with a "/" inserted only when the left part does not already end in one.
std::string joinPath(const std::string& dir, const std::string& name);
// The part before the last "/" ("/" for a file at the root, empty for a bare
// name).
std::string folderOf(const std::string& path);
// The part after the last "/" (the whole path when there is none).
std::string fileNameOf(const std::string& path);

// The folder of the running program (its data folders sit beside it).
std::string executableDir();
// Overrides executableDir() (tests point it at a scratch folder).
void setExecutableDirForTesting(const std::string& dir);

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
bool isRegularFile(const std::string& path);
// The folder and every missing folder above it; true when it exists afterwards.
bool makeFolders(const std::string& path);
// The whole file, or nothing when it cannot be opened or read to its end.
std::optional<std::vector<uint8_t>> readFileBytes(const std::string& path);

}  // namespace tavlin
