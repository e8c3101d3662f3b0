#include "core/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "base/line_reader.h"
#include "base/numbers.h"
#include "base/paths.h"
#include "base/safe_write.h"
#include "core/prompts.h"

namespace tavlin {

namespace {

// Lines are read in pieces of at most this many characters; a piece that has
// no line end is dropped, and the rest of a long line counts as its own line.
constexpr size_t kLinePiece = 4095;

// Reads the file as text: CR LF counts as one line end, whichever system wrote
// the file.
std::string readAsText(const std::vector<uint8_t>& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        out.push_back(char(bytes[i]));
    }
    return out;
}

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Text that would not read back as the same single entry.
bool breaksLines(const std::string& text) { return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos; }

// An advisory lock on a file beside the settings, held while it lives. The
// lock file itself stays: removing it would let a third process lock a
// different file of the same name.
class SettingsLock {
public:
    explicit SettingsLock(const std::string& settingsPath) {
        fd_ = ::open((settingsPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~SettingsLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

long settingsNumber(const std::string& text) { return leadingInt64(text); }

std::vector<Settings::Entry> Settings::parse(const std::vector<uint8_t>& bytes) {
    std::vector<Entry> entries;
    std::string text = readAsText(bytes);
    LineReader lines(text, kLinePiece);
    std::string_view piece;
    bool ended = false;
    while (lines.nextPiece(piece, ended)) {
        std::string line(piece);
        if (ended) line += '\n';
        if (line.empty()) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq + 1 >= line.size()) continue;
        // The first character after "=" always belongs to the value; the first
        // CR or LF after it ends the value, and a line without one is dropped.
        size_t valueEnd = eq + 2;
        while (valueEnd < line.size() && !isLineEnd(line[valueEnd])) ++valueEnd;
        if (valueEnd >= line.size()) continue;
        entries.push_back(Entry{line.substr(0, eq), line.substr(eq + 1, valueEnd - eq - 1)});
    }
    return entries;
}

void Settings::Load(const std::string& path) {
    path_ = path;
    entries_.clear();
    changed_.clear();
    state_ = FileState::Missing;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    auto bytes = S_ISDIR(st.st_mode) ? std::nullopt : readFileBytes(path);
    if (!bytes) {
        state_ = FileState::Unreadable;
        return;
    }
    state_ = FileState::Read;
    entries_ = parse(*bytes);
}

const std::string* Settings::Find(const std::string& key) const {
    for (const auto& e : entries_)
        if (e.key == key) return &e.value;
    return nullptr;
}

std::string Settings::Get(const std::string& key, const std::string& def) const {
    const std::string* v = Find(key);
    return v ? *v : def;
}

long Settings::GetInt(const std::string& key, const std::string& def) const {
    return settingsNumber(Get(key, def));
}

bool Settings::Set(const std::string& key, const std::string& value) {
    if (breaksLines(key) || breaksLines(value) || key.find('=') != std::string::npos) return false;
    if (std::find(changed_.begin(), changed_.end(), key) == changed_.end()) changed_.push_back(key);
    for (auto& e : entries_) {
        if (e.key == key) {
            e.value = value;
            return true;
        }
    }
    entries_.push_back(Entry{key, value});
    return true;
}

bool Settings::writable() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return true;  // a new file: the folder decides
    // A file nobody may write stays as it is, whoever runs the program.
    if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0) return false;
    return ::access(path_.c_str(), W_OK) == 0;
}

bool Settings::Save(const std::function<void(Settings&)>& update) {
    if (path_.empty()) return false;
    if (state_ == FileState::Unreadable) {
        if (!toldUnreadable_) {
            toldUnreadable_ = true;
            ShowMessage("The settings file %s cannot be read. It is kept as it is, and the settings of this "
                        "session are not saved.",
                        path_.c_str());
        }
        return false;
    }
    SettingsLock lock(path_);
    if (!lock.held() || !writable()) return false;

    // What the file holds now, with this process's changes on top.
    Settings merged;
    merged.Load(path_);
    if (merged.state_ == FileState::Unreadable) return false;
    for (const std::string& key : changed_) {
        if (const std::string* v = Find(key)) merged.Set(key, *v);
    }
    if (update) update(merged);

    std::string out;
    for (const auto& e : merged.entries_) {
        out += e.key;
        out += '=';
        out += e.value;
        out += '\n';
    }
    if (!writeFileSafely(path_, out)) return false;
    entries_ = std::move(merged.entries_);
    changed_.clear();
    state_ = FileState::Read;
    return true;
}

Settings& settings() {
    static Settings instance;
    return instance;
}

std::string defaultSettingsPath() {
    std::string dir = executableDir();
    // Saving writes a new file beside the old one, so the folder itself must
    // be writable.
    if (::access(dir.c_str(), W_OK | X_OK) == 0) return joinPath(dir, "tavlin.rc");
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = joinPath(home && home[0] ? home : "/tmp", ".config");
    }
    std::string folder = joinPath(base, "tavlin");
    makeFolders(folder);
    return joinPath(folder, "tavlin.rc");
}

void seedStartupSettings(Settings& s) {
    if (s.Get("last_web_dir", "").empty())
        s.Set("last_web_dir", joinPath(joinPath(executableDir(), "pages"), "p1"));
}

void loadStartupSettings() {
    settings().Load(defaultSettingsPath());
    seedStartupSettings(settings());
}

}  // namespace tavlin
