#pragma once
// The album of published pages: the folders the author has published to,
// most recent first, each with the project it was made from. Kept in the
// settings as "rdst%d" (page folder) and "rsrc%d" (project path).

#include <string>
#include <vector>

namespace tavlin {

class Document;
class Settings;

struct AlbumEntry {
    std::string pageFolder;
    std::string projectPath;  // empty when not known
};

class Album {
public:
    explicit Album(Settings& settings) : settings_(settings) {}

    // Rebuilds the list from the settings, up to "histlen" entries.
    void Load();
    // Puts the document's publication folder at the front (moving an entry
    // already there), takes its path as the project when it is a ".tvl"
    // file, stores the first "histlen" entries and saves the settings. A
    // document never published changes nothing. The stored list is loaded
    // first, so a fresh run never drops it. False when saving failed.
    bool Record(const Document& doc);

    const std::vector<AlbumEntry>& entries() const { return entries_; }

private:
    Settings& settings_;
    std::vector<AlbumEntry> entries_;
    bool loaded_ = false;
};

// The process-wide album over settings().
Album& album();

}  // namespace tavlin
