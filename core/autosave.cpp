#include "core/autosave.h"

namespace tavlin {

bool Autosave::step(const State& state, const std::function<std::string()>& text) {
    if (intervalMs_ <= 0) return false;
    if (!state.modified) {
        // Undone back to what was saved: nothing left to recover.
        if (written_) forget();
        dueAt_ = -1;
        return false;
    }
    int64_t now = store_.now();
    if (dueAt_ < 0) {
        dueAt_ = now + intervalMs_;
        return false;
    }
    if (now < dueAt_ || state.gestureInProgress) return false;
    dueAt_ = now + intervalMs_;
    std::string current = text();
    size_t hash = std::hash<std::string>{}(current);
    if (written_ && hash == lastHash_ && state.projectPath == lastPath_) return false;
    Status status = store_.write(state.projectPath, current);
    if (!status) {
        lastError_ = status;
        return false;
    }
    lastError_ = Status();
    written_ = true;
    lastHash_ = hash;
    lastPath_ = state.projectPath;
    return true;
}

void Autosave::forget() {
    store_.forget();
    written_ = false;
    dueAt_ = -1;
    lastError_ = Status();
}

}  // namespace tavlin
