#pragma once
// The recently used project files, most recent first, kept in the settings as
// "recent0", "recent1", ... Only the first "histlen" entries are stored.

#include <string>
#include <vector>

#include "core/settings.h"

namespace tavlin {

class RecentFiles {
public:
    explicit RecentFiles(Settings& settings) : settings_(settings) {}

    // Refills the list from the settings: "recent%d" from 0 up to "histlen",
    // stopping at the first absent key.
    void Load();
    // Moves or puts the path at the front, stores the first "histlen" entries
    // and saves the settings (the save's result is returned). A list not yet
    // loaded is loaded first, so a fresh run never overwrites the stored
    // entries with a shorter list; the save merges with what the file holds
    // by then (Settings::Save). A path holding a line break is not added
    // (false): stored, it would read back as other settings.
    bool Add(const std::string& path);

    const std::vector<std::string>& entries() const { return list_; }

private:
    Settings& settings_;
    std::vector<std::string> list_;
    bool loaded_ = false;
};

// The process-wide list over settings().
RecentFiles& recentFiles();

}  // namespace tavlin
