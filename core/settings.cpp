#include "core/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/paths.h"

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

bool makeFolders(const std::string& path) {
    if (path.empty() || isDirectory(path)) return true;
    auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash))) return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

long settingsNumber(const std::string& text) {
    errno = 0;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE) return v < 0 ? LONG_MIN : LONG_MAX;
    return v;
}

void Settings::Load(const std::string& path) {
    path_ = path;
    entries_.clear();
    if (isDirectory(path)) return;
    auto bytes = readFileBytes(path);
    if (!bytes) return;
    std::string text = readAsText(*bytes);
    size_t pos = 0;
    while (pos < text.size()) {
        // One piece: up to and including a line feed, at most kLinePiece characters.
        size_t end = pos;
        while (end < text.size() && end - pos < kLinePiece) {
            if (text[end++] == '\n') break;
        }
        std::string piece = text.substr(pos, end - pos);
        pos = end;
        // The line is a C string: a zero byte ends it.
        piece.resize(std::strlen(piece.c_str()));
        if (piece.empty()) continue;
        size_t eq = piece.find('=');
        if (eq == std::string::npos || eq + 1 >= piece.size()) continue;
        // The first character after "=" always belongs to the value; the first
        // CR or LF after it ends the value, and a line without one is dropped.
        size_t valueEnd = eq + 2;
        while (valueEnd < piece.size() && !isLineEnd(piece[valueEnd])) ++valueEnd;
        if (valueEnd >= piece.size()) continue;
        entries_.push_back(Entry{piece.substr(0, eq), piece.substr(eq + 1, valueEnd - eq - 1)});
    }
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

void Settings::Set(const std::string& key, const std::string& value) {
    for (auto& e : entries_) {
        if (e.key == key) {
            e.value = value;
            return;
        }
    }
    entries_.push_back(Entry{key, value});
}

bool Settings::Save() const {
    if (path_.empty()) return false;
    std::string out;
    for (const auto& e : entries_) {
        out += e.key;
        out += '=';
        out += e.value;
        out += '\n';
    }
    return writeFileAtomically(path_, out);
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
