#pragma once
// The one access point to the "res" folder beside the program: string ids to
// texts, picture names to decoded pictures, file names to whole-file bytes.
// Strings and pictures are cached for the whole run; failed lookups are not,
// so a file put right later is picked up.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/image.h"

namespace tavlin {

class ResourceFolder {
public:
    // Remembers the folder; nothing is read yet, so a missing folder only shows
    // up as missing strings and pictures. Forgets whatever an earlier folder
    // had cached. Always succeeds.
    bool Open(const std::string& folderPath);
    const std::string& Path() const { return folder_; }

    // The text of a string id; never absent. An unknown id reports "Cannot read
    // string resource (%s)" and yields "(null string resource)"; an unreadable
    // table yields that text silently. The reference stays valid for the life
    // of this object.
    const std::string& String(const std::string& id);
    // The same text as a copy of the caller's own.
    std::string StringCopy(const std::string& id);

    // A picture of the folder by file name ("bmovie.png"), cached; null (with a
    // message) when it cannot be read. Callers must not free it.
    const tavlin::Image* Image(const std::string& name);

    // The whole file, or nothing (no message; the caller reports).
    std::optional<std::vector<uint8_t>> ReadWhole(const std::string& name) const;

    // Entries cached so far (lets tests see what is kept).
    size_t cachedStringCount() const { return strings_.size(); }
    size_t cachedImageCount() const { return images_.size(); }

private:
    // Looks the id up in the table file; nothing when it is absent or the
    // table cannot be opened (`tableRead` says which).
    std::optional<std::string> readFromTable(const std::string& id, bool& tableRead) const;

    struct StringEntry {
        std::string id;
        std::string value;
    };
    struct ImageEntry {
        std::string name;
        std::unique_ptr<tavlin::Image> image;
    };

    std::string folder_;
    std::string tablePath_;
    // unique_ptr keeps every handed-out reference valid while the cache grows.
    std::vector<std::unique_ptr<StringEntry>> strings_;
    std::vector<ImageEntry> images_;
};

// The process-wide resource folder, opened at start-up.
ResourceFolder& resources();

// The text every failed string lookup yields.
extern const char kNullStringResource[];

}  // namespace tavlin
