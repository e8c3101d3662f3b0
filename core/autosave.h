#pragma once
// When to write the recovery copy of the open document. The window calls
// step() from its idle loop; a write happens at most once per interval,
// only while there are unsaved changes, never in the middle of a mouse
// gesture (the document is half changed then), and only when the text
// differs from what was last written. The text is made on the caller's
// thread; the file is written and synced on a thread of its own, so that a
// slow disk never holds up the interface.

#include <cstdint>
#include <functional>
#include <future>
#include <string>

#include "base/result.h"
#include "core/recovery_store.h"

namespace tavlin {

// The settings key of the interval in seconds (0 turns autosave off).
inline constexpr const char* kAutosaveSetting = "autosave_seconds";
inline constexpr int64_t kDefaultAutosaveSeconds = 60;

class Autosave {
public:
    // What the window tells each step.
    struct State {
        bool modified = false;
        bool gestureInProgress = false;
        std::string projectPath;  // empty for a document never saved
    };

    explicit Autosave(RecoveryStore& store) : store_(store) {}
    // Waits for a write still in progress.
    ~Autosave();
    Autosave(const Autosave&) = delete;
    Autosave& operator=(const Autosave&) = delete;

    // Seconds between writes; 0 or less turns autosave off (an existing
    // recovery file stays until the work is saved or given up).
    void setInterval(int64_t seconds) { intervalMs_ = seconds > 0 ? seconds * 1000 : 0; }
    int64_t intervalSeconds() const { return intervalMs_ / 1000; }

    // Starts writing the recovery file when one is due; `text` is asked for
    // only then. True when a write was started. A failed write shows in
    // lastError() from the first step after it ended.
    bool step(const State& state, const std::function<std::string()>& text);
    // Waits for a write in progress to end and takes its outcome.
    void finishWrite();
    // The document was saved, closed without saving, or replaced: its
    // recovery file goes (after any write in progress) and the wait starts
    // again with the next change.
    void forget();

    const Status& lastError() const { return lastError_; }

private:
    // Takes the outcome of the write that ended.
    void collect();

    RecoveryStore& store_;
    int64_t intervalMs_ = kDefaultAutosaveSeconds * 1000;
    // When unsaved changes were first seen since the last write or forget;
    // -1 while there are none.
    int64_t dueAt_ = -1;
    size_t lastHash_ = 0;
    std::string lastPath_;
    bool written_ = false;
    Status lastError_;
    std::future<Status> writing_;
    size_t writingHash_ = 0;
    std::string writingPath_;
};

}  // namespace tavlin
