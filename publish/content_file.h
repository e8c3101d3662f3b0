#pragma once
// The content file "tavlin.txt": everything the web viewer learns about a
// publication (stage, media names, objects, drag paths, events), composed as
// a big-endian stream, enciphered with DES-CBC under the content key and
// wrapped so that it holds no line-break bytes. Written by publishing, and
// read back into a document so that a published page can be edited again.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/media_object.h"

namespace tavlin {

class Document;

inline constexpr char kContentFileName[] = "tavlin.txt";
inline constexpr uint16_t kContentVersion = 3;

enum class ContentFailure {
    None,
    TooLong,      // a text or a list longer than its field can say
    CannotWrite,  // the file cannot be created or written
    CannotRead,   // the file is missing or unreadable
    WrongKey,     // not enciphered with the content key, or damaged
    Version,      // a format version other than 3
    Damaged,      // truncated, or values no document can hold
};

// Success, or a failure with a one-line reason naming the object, event or
// field at fault; callers show the reason or map the code to a message.
struct ContentResult {
    ContentFailure failure = ContentFailure::None;
    std::string reason;
    bool ok() const { return failure == ContentFailure::None; }
    explicit operator bool() const { return ok(); }
    static ContentResult fail(ContentFailure f, std::string why) { return {f, std::move(why)}; }
};

// The fields of the stream as they stand in it; references are positions in
// the published lists, -1 for none.
struct ContentPoint {
    int32_t x = 0;
    int32_t y = 0;
    int32_t frame = 0;
    uint8_t ordinary = 1;  // 0 for a hand-over point
    bool operator==(const ContentPoint&) const = default;
};

struct ContentObject {
    uint8_t kind = 0;  // ObjectKind
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::vector<FrameRange> ranges;
    int32_t media = -1;  // video objects: frame list number; image objects: picture
    // Drag paths only.
    std::array<int32_t, 3> statePictures{-1, -1, -1};
    std::array<uint8_t, 3> stateWidths{};
    std::array<uint32_t, 3> stateColours{};  // 0xRRGGBB
    uint8_t arrowMode = 0;
    uint8_t curveFlag = 0;
    uint8_t grabDistance = 0;  // negated when grabbing from the thumb
    std::vector<int32_t> thumbs;
    uint8_t keepThumb = 0;
    uint8_t thumbDirection = 0;
    std::vector<ContentPoint> points;
    // Not stored: what messages call the object.
    std::string label;
};

struct ContentEvent {
    uint8_t kind = 0;  // EventKind
    int32_t first = 0, last = 0, wait = 0;
    uint8_t interruptible = 0;     // play
    std::vector<int32_t> targets;  // jump
    uint8_t repeat = 0;            // sound
    int32_t sound = -1;
    std::string target;   // link: window name
    std::string address;  // link
    std::string text;     // param
    // Not stored: what messages call the event.
    std::string label;
};

struct ContentDescription {
    // A plain stream (read back from data starting 0x00 0x03) has no header.
    bool hasHeader = true;
    uint32_t headerWord = 0;
    uint32_t publishDate = 0;
    uint32_t reserved = 0;
    uint8_t headerFlag = 0;
    uint16_t version = kContentVersion;
    int32_t videoCount = 0;  // enabled video objects, with or without a video
    std::vector<std::string> pictureNames;
    std::vector<std::string> soundNames;
    int32_t stageWidth = 0, stageHeight = 0, length = 0;
    std::vector<ContentObject> objects;
    std::vector<ContentEvent> events;
};

// Published file names. A picture keeps its source extension when that is
// found (ignoring case) inside "*.jpg;*.jpeg" or "*.gif", and is otherwise
// re-encoded as GIF; the asset export writes the files under these names.
std::string publishedPictureName(int32_t position, const std::string& sourcePath);
std::string publishedSoundName(int32_t position);
std::string frameListName(int32_t number);

// What the document publishes, from its media lists as they stand: call
// recountMedia first (writeContentFile does).
ContentDescription describeContent(const Document& doc, int32_t publishDate);
// The plain stream; fails, giving no bytes, when a text or a list does not
// fit its field.
ContentResult encodeContent(const ContentDescription& content, std::vector<uint8_t>& plain);
// Enciphered with the content key and wrapped: the file's bytes.
std::vector<uint8_t> encipherContent(std::span<const uint8_t> plain);

// Recounts the media, then writes folder/"tavlin.txt" through a temporary
// name, so a refused or failed write leaves any previous file as it was.
ContentResult writeContentFile(Document& doc, const std::string& folder, int32_t publishDate);

// Unwraps and deciphers a file's bytes (plain streams starting 0x00 0x03 as
// they are) and parses them. Counts are checked against the bytes left before
// anything is made for them.
ContentResult decodeContent(std::span<const uint8_t> fileBytes, ContentDescription& out);
ContentResult readContentFile(const std::string& path, ContentDescription& out);

// Fills a new, empty document: loads the media beside the file (asking about
// missing ones through the prompts), then builds the objects and events and
// sets the content flag and the publish date.
ContentResult applyContent(const ContentDescription& content, const std::string& folder, Document& doc);
// readContentFile, then applyContent with the file's folder.
ContentResult loadContentFile(const std::string& path, Document& doc);

// The document's entry for the file (reloaded when the file changed since),
// or the file opened through the format registry; a file that does not open
// raises "e_cant_open" with "b_open_another" and "b_ignore". Null when the
// user gives up. Shared with the side-format import.
MediaResource* loadMediaAsking(Document& doc, MediaKind kind, const std::string& path);

}  // namespace tavlin
