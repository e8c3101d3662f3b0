#pragma once
// Project files (".tvl"): the whole document as line records and back, the
// media files a project names, and saving and opening the files themselves.
// The same text is the document's undo snapshot.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tavlin {

class Document;
class Event;
class MediaObject;
class MediaResource;
enum class MediaKind : int32_t;

// Appends the document as project text to `out`. False only when an object's
// or an event's own write fails; what was written until then stays.
bool writeProject(const Document& doc, std::string& out);
std::string writeProject(const Document& doc);

// How stored media names become resources while reading.
enum class MediaLookup {
    // Through the media folder list; a missing file asks the user (resolveMedia).
    locateAndAsk,
    // Whatever the document does on its own (Document::resolveMedia): used for
    // undo snapshots, whose media are already loaded.
    documentOnly,
};

// What a reading noticed on its way, for the user to hear before saving over
// the file.
struct ProjectReadNotes {
    // Values beyond what the program carries were brought into range.
    bool adjusted = false;
    // The reading stopped at a record it does not take: the lines after this
    // one were not read (0 when the whole file was read).
    int32_t readUpToLine = 0;
    // Why the text was refused, naming the value (empty when it was not).
    std::string refusal;
};

// Reads project text into `doc`, which the caller has emptied first
// (Document::clear). False when the text is rejected: it ends early, a header
// record is wrong, a kind is unknown, a record lacks numbers, or a size would
// allocate absurdly (a stage side above 16,384, a length above 1,000,000
// frames). Other numbers beyond what the program carries are clamped. What was
// read until then stays. Frame codes are left as the objects' additions
// computed them. `notes` (when given) learns what the user should be told.
bool readProject(Document& doc, std::string_view text, MediaLookup lookup = MediaLookup::locateAndAsk,
                 ProjectReadNotes* notes = nullptr);
// Reads into a new document; null when the text is rejected.
std::unique_ptr<Document> readProject(std::string_view text, MediaLookup lookup = MediaLookup::locateAndAsk);

// Brings an object's or event's numbers into what the program carries:
// positions, sizes and frames within +-1,000,000, line widths and grab
// distances within 0..255 (what the content file holds). True when something
// changed. Files, pasted text and content files all pass through it.
bool clampToLimits(MediaObject& object);
bool clampToLimits(Event& event);
// True when clampToLimits would change nothing.
bool withinLimits(const MediaObject& object);
bool withinLimits(const Event& event);

// Opens a project file, or says why it cannot: unreadable (CannotRead), too
// large (TooLarge) or rejected (Damaged). The document's file name is set.
Result<std::unique_ptr<Document>> openProjectFile(const std::string& path);
// The same, with the reason's text in `error` (when given) and null on failure.
std::unique_ptr<Document> loadProjectFile(const std::string& path, std::string* error = nullptr);
// Saves through the one write policy (base/safe_write.h): a failed save leaves
// the previous file as it was. False on any failure.
bool saveProjectFile(const Document& doc, const std::string& path);

// Finds or loads the resource for a stored media name: a loaded resource of
// that name (reloaded when the file changed since), else the file located
// through the media folder list, else the user is asked ("e_cant_open" with
// "b_open_another" and "b_ignore"). Null when ignored.
MediaResource* resolveMedia(Document& doc, MediaKind kind, const std::string& name);

// The process-wide media folder list, most recently used first. Looking a
// name up moves its folder to the front, then returns the name when the file
// exists, else the first folder + the name's last component that exists.
std::optional<std::string> locateMediaFile(const std::string& name);
const std::vector<std::string>& mediaFolders();
void clearMediaFolders();

}  // namespace tavlin
