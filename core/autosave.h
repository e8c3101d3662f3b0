#pragma once
// When to write the recovery copy of the open document. The window calls
// step() from its idle loop; a write happens at most once per interval,
// only while there are unsaved changes, never in the middle of a mouse
// gesture (the document is half changed then), and only when the text
// differs from what was last written.

#include <cstdint>
#include <functional>
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

    // Seconds between writes; 0 or less turns autosave off (an existing
    // recovery file stays until the work is saved or given up).
    void setInterval(int64_t seconds) { intervalMs_ = seconds > 0 ? seconds * 1000 : 0; }
    int64_t intervalSeconds() const { return intervalMs_ / 1000; }

    // Writes the recovery file when one is due; `text` is asked for only
    // then. True when a file was written; a failed write is in lastError().
    bool step(const State& state, const std::function<std::string()>& text);
    // The document was saved, closed without saving, or replaced: its
    // recovery file goes and the wait starts again with the next change.
    void forget();

    const Status& lastError() const { return lastError_; }

private:
    RecoveryStore& store_;
    int64_t intervalMs_ = kDefaultAutosaveSeconds * 1000;
    // When unsaved changes were first seen since the last write or forget;
    // -1 while there are none.
    int64_t dueAt_ = -1;
    size_t lastHash_ = 0;
    std::string lastPath_;
    bool written_ = false;
    Status lastError_;
};

}  // namespace tavlin
