#pragma once
// Turning the path of an HTTP request into a file inside a served folder.
// Kept apart from the server so that hostile paths can be tried without a
// socket.

#include <optional>
#include <string>

namespace tavlin {

// The regular file that `encodedPath` (the path of the request target, still
// percent-encoded, query removed) names inside `canonicalRoot` (a canonical
// folder path), or nothing. Nothing for: malformed escapes, encoded or plain
// NUL bytes and backslashes, "." and ".." segments in any spelling, folders
// (nothing is listed), missing files, and anything whose real path, symbolic
// links followed, lies outside the folder. A path ending in "/" means the
// index.html of that folder.
std::optional<std::string> resolveRequestPath(const std::string& canonicalRoot, const std::string& encodedPath);

// The Content-Type of a served file, chosen by its extension.
std::string contentTypeFor(const std::string& fileName);

}  // namespace tavlin
