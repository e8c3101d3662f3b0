#pragma once
// The program's preferences: key=value lines in "tavlin.rc". Values are text;
// numbers are decimal text and colours six hex digits. Every reader passes its
// own default, so a missing file simply means defaults everywhere.

#include <string>
#include <vector>

namespace tavlin {

class Settings {
public:
    struct Entry {
        std::string key;
        std::string value;
    };

    // Remembers the path and reads the file if there is one; a missing or
    // unreadable file leaves the table empty. Replaces what was loaded before.
    void Load(const std::string& path);

    // The value of the first entry with the key, else the default.
    std::string Get(const std::string& key, const std::string& def = std::string()) const;
    // The first entry's value, or null when the key is absent (for callers
    // whose default is "no value").
    const std::string* Find(const std::string& key) const;
    // The value read as a decimal number the way the program always has:
    // leading digits count, anything that is not a number counts as 0.
    long GetInt(const std::string& key, const std::string& def) const;

    // Replaces the first entry's value, or appends a new entry.
    void Set(const std::string& key, const std::string& value);

    // Writes every entry in order. A new file is written beside the old one
    // and renamed over it, so a crash or a full disk never leaves a cut-off
    // settings file. False when it cannot be written; the values stay in
    // memory either way.
    bool Save() const;

    const std::string& path() const { return path_; }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::string path_;
    std::vector<Entry> entries_;  // file order, then keys added later
};

// Reads one stored number the way the settings do ("12abc" is 12, "x" is 0).
long settingsNumber(const std::string& text);

// The process-wide settings, loaded at start-up and saved at exit.
Settings& settings();

// "tavlin.rc" beside the program; when that folder cannot be written (an
// installation owned by another user) $XDG_CONFIG_HOME/tavlin/tavlin.rc
// (~/.config by default), whose folder is created, so the user's settings are
// never lost.
std::string defaultSettingsPath();

// After loading: a missing or empty "last_web_dir" becomes the program's
// "pages/p1" folder.
void seedStartupSettings(Settings& s);

// Start-up in one call: load settings() from defaultSettingsPath() and seed it.
void loadStartupSettings();

}  // namespace tavlin
