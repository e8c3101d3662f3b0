#include "publish/album.h"

#include <algorithm>

#include "core/settings.h"
#include "document/document.h"

namespace tavlin {

namespace {

long historyLength(const Settings& s) { return std::max(0L, s.GetInt("histlen", "20")); }

std::string key(const char* stem, size_t i) { return stem + std::to_string(i); }

}  // namespace

void Album::Load() {
    entries_.clear();
    loaded_ = true;
    long n = historyLength(settings_);
    for (long i = 0; i < n; ++i) {
        const std::string* folder = settings_.Find(key("rdst", size_t(i)));
        if (!folder || folder->empty()) break;
        AlbumEntry e{*folder, {}};
        // An empty value is how a stale project path is cleared.
        if (const std::string* project = settings_.Find(key("rsrc", size_t(i)))) e.projectPath = *project;
        entries_.push_back(std::move(e));
    }
}

bool Album::Record(const Document& doc) {
    if (doc.lastPublishFolder.empty()) return true;
    if (!loaded_) Load();
    AlbumEntry entry{doc.lastPublishFolder, {}};
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const AlbumEntry& e) { return e.pageFolder == doc.lastPublishFolder; });
    if (found != entries_.end()) {
        entry = *found;
        entries_.erase(found);
    }
    size_t dot = doc.fileName.rfind('.');
    if (dot != std::string::npos && doc.fileName.substr(dot) == ".tvl") entry.projectPath = doc.fileName;
    entries_.insert(entries_.begin(), std::move(entry));

    size_t n = std::min(size_t(historyLength(settings_)), entries_.size());
    for (size_t i = 0; i < n; ++i) {
        settings_.Set(key("rdst", i), entries_[i].pageFolder);
        // Written even when empty, so that a project path left at this index
        // by an earlier save cannot attach itself to this entry.
        if (!entries_[i].projectPath.empty() || settings_.Find(key("rsrc", i)))
            settings_.Set(key("rsrc", i), entries_[i].projectPath);
    }
    return settings_.Save();
}

Album& album() {
    static Album a(settings());
    return a;
}

}  // namespace tavlin
