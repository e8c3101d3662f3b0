#include "core/autosave.h"

#include <chrono>
#include <system_error>

namespace tavlin {

Autosave::~Autosave() { finishWrite(); }

void Autosave::collect() {
    Status status = writing_.get();
    if (!status) {
        lastError_ = status;
        return;
    }
    lastError_ = Status();
    written_ = true;
    lastHash_ = writingHash_;
    lastPath_ = writingPath_;
}

void Autosave::finishWrite() {
    if (!writing_.valid()) return;
    writing_.wait();
    collect();
}

bool Autosave::step(const State& state, const std::function<std::string()>& text) {
    if (writing_.valid()) {
        // One write at a time; the store is the writer's until it ends.
        if (writing_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
        collect();
    }
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
    writingHash_ = hash;
    writingPath_ = state.projectPath;
    auto write = [this, path = state.projectPath, now, current = std::move(current)] {
        return store_.write(path, current, now);
    };
    try {
        writing_ = std::async(std::launch::async, std::move(write));
    } catch (const std::system_error&) {
        // No thread to be had: write here rather than not at all.
        std::promise<Status> done;
        done.set_value(write());
        writing_ = done.get_future();
    }
    return true;
}

void Autosave::forget() {
    finishWrite();
    store_.forget();
    written_ = false;
    dueAt_ = -1;
    lastError_ = Status();
}

}  // namespace tavlin
