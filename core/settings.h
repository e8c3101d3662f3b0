#pragma once
// The program's preferences: key=value lines in "tavlin.rc". Values are text;
// numbers are decimal text and colours six hex digits. Every reader passes its
// own default, so a missing file simply means defaults everywhere.

#include <functional>
#include <string>
#include <vector>

namespace tavlin {

class Settings {
public:
    struct Entry {
        std::string key;
        std::string value;
    };

    // What Load found at the path.
    enum class FileState { Missing, Read, Unreadable };

    // Remembers the path and reads the file if there is one; a missing or
    // unreadable file leaves the table empty. Replaces what was loaded before.
    void Load(const std::string& path);
    FileState fileState() const { return state_; }

    // The value of the first entry with the key, else the default.
    std::string Get(const std::string& key, const std::string& def = std::string()) const;
    // The first entry's value, or null when the key is absent (for callers
    // whose default is "no value").
    const std::string* Find(const std::string& key) const;
    // The value read as a decimal number the way the program always has:
    // leading digits count, anything that is not a number counts as 0.
    long GetInt(const std::string& key, const std::string& def) const;

    // Replaces the first entry's value, or appends a new entry. A key or value
    // holding a line break (or a zero byte) is refused: written out it would
    // become other keys on reading. False when refused.
    bool Set(const std::string& key, const std::string& value);

    // Saves the keys this process set since loading, leaving every other key
    // as the file now has it, so that two studios never drop each other's
    // changes. Under an advisory lock on "<file>.lock" the file is read
    // again, the changed keys are applied to what it holds, `update` (when
    // given) may set more on the merged table, and the result is written
    // with the one write policy (base/safe_write.h). Afterwards this table is
    // the merged one.
    //
    // Nothing is written when the file exists but could not be read (it is
    // kept, and the user is told once), or when it is read-only or its folder
    // cannot be written (skipped silently). False when nothing was written;
    // the values stay in memory either way.
    bool Save(const std::function<void(Settings&)>& update = nullptr);

    const std::string& path() const { return path_; }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    // Parses file content into entries (the reading rules of the format).
    static std::vector<Entry> parse(const std::vector<uint8_t>& bytes);
    bool writable() const;

    std::string path_;
    std::vector<Entry> entries_;      // file order, then keys added later
    std::vector<std::string> changed_;  // keys set since the last load or save, in order
    FileState state_ = FileState::Missing;
    bool toldUnreadable_ = false;
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
