#pragma once
// Bringing pictures, videos and sounds into the open document: reuse what it
// already holds for the same file, else load through the media registry and
// let the user pick another file or give up; then place a stage object (or a
// sound event) for it. No windows: the studio and the command-line tool both
// come through here, and the user hears of failures through the prompts.

#include <cstdint>
#include <optional>
#include <string>

#include "base/result.h"

namespace tavlin {

class Document;
class MediaResource;
struct Image;
enum class MediaKind : int32_t;

// The folder for files the program makes while importing: the setting
// "tmp_dir", else "tmp" beside the program; when that cannot be written (a
// system-wide install), $XDG_CACHE_HOME/tavlin/tmp/. Created when missing.
std::string tmpDir();

// The first "<folder>/<prefix><n><extension>" for n = 0..99999 that does not
// exist yet; nothing when all of them do.
std::optional<std::string> uniqueName(const std::string& folder, const std::string& prefix,
                                      const std::string& extension);
// uniqueName, telling the user ("e_no_tmp_name") when the range is full.
std::optional<std::string> uniqueNameOrTell(const std::string& folder, const std::string& prefix,
                                            const std::string& extension);

// The smallest whole factor f in 1..9 for which w / f and h / f fit a stage
// of stageW x stageH; 9 when none does.
int32_t fitFactor(int32_t w, int32_t h, int32_t stageW, int32_t stageH);

// Finds or loads the medium of `path` with the recovery questions
// ("e_cant_open" with "b_open_another" and "b_ignore"). Null when the user
// gave up or the path was empty or missing; nothing stays in the document then.
MediaResource* loadMedia(Document& doc, MediaKind kind, const std::string& path);

// (x, y) is the stage point the new object is centred on; a negative x or y
// centres it on the stage. True when placed.
bool importImage(Document& doc, const std::string& path, int32_t x, int32_t y);
bool importVideo(Document& doc, const std::string& path, int32_t x, int32_t y);
// A sound event at the current frame. A sound that loaded but whose event
// would overlap another ("e_ev_overlap") stays in the document's list.
bool importSound(Document& doc, const std::string& path);

// A clipboard picture: written as PNG to a new "ni<n>.png" in `folder`, then
// imported centred. A picture beyond what the program holds is refused.
bool pasteImage(Document& doc, const Image& picture, const std::string& folder);
// Clipboard text of stage objects in the project notation. A fragment that
// cannot be read whole adds nothing: the document stays as it was and the
// user is told why. False when nothing was added.
bool pasteObjects(Document& doc, const std::string& text);

}  // namespace tavlin
