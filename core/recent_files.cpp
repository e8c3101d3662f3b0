#include "core/recent_files.h"

#include <algorithm>

namespace tavlin {

namespace {
std::string recentKey(long i) { return "recent" + std::to_string(i); }
}  // namespace

void RecentFiles::Load() {
    list_.clear();
    loaded_ = true;
    long n = settings_.GetInt("histlen", "20");
    for (long i = 0; i < n; ++i) {
        const std::string* v = settings_.Find(recentKey(i));
        if (!v) break;
        list_.push_back(*v);
    }
}

bool RecentFiles::Add(const std::string& path) {
    if (!loaded_) Load();
    auto it = std::find(list_.begin(), list_.end(), path);
    if (it != list_.end()) list_.erase(it);
    list_.insert(list_.begin(), path);
    long n = settings_.GetInt("histlen", "20");
    long count = std::min<long>(n, long(list_.size()));
    for (long i = 0; i < count; ++i) settings_.Set(recentKey(i), list_[size_t(i)]);
    return settings_.Save();
}

RecentFiles& recentFiles() {
    static RecentFiles instance(settings());
    return instance;
}

}  // namespace tavlin
