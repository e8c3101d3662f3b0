#include "core/recent_files.h"

#include <algorithm>

namespace tavlin {

namespace {
std::string recentKey(long i) { return "recent" + std::to_string(i); }

std::vector<std::string> storedList(const Settings& settings) {
    std::vector<std::string> list;
    long n = settings.GetInt("histlen", "20");
    for (long i = 0; i < n; ++i) {
        const std::string* v = settings.Find(recentKey(i));
        if (!v) break;
        list.push_back(*v);
    }
    return list;
}

// Moves or puts the path at the front and stores the first "histlen" entries.
void putFirst(std::vector<std::string>& list, const std::string& path, Settings& settings) {
    auto it = std::find(list.begin(), list.end(), path);
    if (it != list.end()) list.erase(it);
    list.insert(list.begin(), path);
    long n = settings.GetInt("histlen", "20");
    long count = std::min<long>(n, long(list.size()));
    for (long i = 0; i < count; ++i) settings.Set(recentKey(i), list[size_t(i)]);
}

}  // namespace

void RecentFiles::Load() {
    list_ = storedList(settings_);
    loaded_ = true;
}

bool RecentFiles::Add(const std::string& path) {
    // Stored, a line break would turn the rest of the path into other keys.
    if (path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
    if (!loaded_) Load();
    // The save starts again from the list the file holds now, so a second
    // studio's additions since this one started stay in it.
    std::vector<std::string> merged;
    bool saved = settings_.Save([&](Settings& file) {
        merged = storedList(file);
        // Entries beyond "histlen" are kept in memory, after the stored ones.
        for (const std::string& p : list_)
            if (std::find(merged.begin(), merged.end(), p) == merged.end()) merged.push_back(p);
        putFirst(merged, path, file);
    });
    if (saved) {
        list_ = std::move(merged);
    } else {
        // Not stored now: kept in memory, and saved with the rest at exit.
        putFirst(list_, path, settings_);
    }
    return saved;
}

RecentFiles& recentFiles() {
    static RecentFiles instance(settings());
    return instance;
}

}  // namespace tavlin
