#pragma once
// Recovery copies of unsaved work. Every running studio writes the project
// text of its open document to one file of its own in a folder shared by all
// the user's studios, and removes it once the work is saved, given up or the
// program ends normally. A studio holds an advisory lock on "<session>.lock"
// while it runs; the kernel drops the lock when the process dies however it
// dies, so files whose lock can be taken belong to a studio that is gone and
// are offered at the next start. Two studios never touch each other's files.
//
// A recovery file is a short header and the project text:
//   "tavlin recovery 1\n" "path <project path, empty for a new document>\n"
//   "time <milliseconds since 1970>\n" "\n" <project text>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace tavlin {

// $XDG_STATE_HOME/tavlin/recovery (~/.local/state/tavlin/recovery by default).
std::string defaultRecoveryFolder();

// The label a recovery file name carries: the project's file name made safe,
// or "untitled".
std::string recoveryLabel(const std::string& projectPath);

// What a recovery file holds.
struct RecoveredWork {
    std::string file;         // the recovery file itself
    std::string projectPath;  // empty for a document never saved
    int64_t savedAt = 0;      // milliseconds since 1970
    std::string text;         // the project text
};

// Parses the bytes of a recovery file; Damaged when the header is wrong.
Result<RecoveredWork> parseRecoveryFile(std::string_view bytes);
std::string formatRecoveryFile(const std::string& projectPath, int64_t savedAt, std::string_view text);

class RecoveryStore {
public:
    // Milliseconds since 1970; injected by tests.
    using Clock = std::function<int64_t()>;

    explicit RecoveryStore(std::string folder, Clock clock = nullptr);
    // A normal end: this studio's recovery file and lock go.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    // Makes the folder and takes this studio's lock; done by the first write
    // or listing when not called before.
    Status open();

    // Replaces this studio's recovery file with the project text, through
    // the one write policy. A new project path gets a new file and the old
    // one goes once the new one is there.
    // `savedAt` is the time the text was taken (the store's clock when not given).
    Status write(const std::string& projectPath, std::string_view text);
    Status write(const std::string& projectPath, std::string_view text, int64_t savedAt);
    // The work was saved or given up: this studio's file goes.
    void forget();
    // This studio's recovery file, empty when there is none.
    const std::string& currentFile() const { return current_; }
    const std::string& session() const { return session_; }
    const std::string& folder() const { return folder_; }
    int64_t now() const { return clock_(); }

    // Recovery files of studios that are no longer running, newest first.
    // Their sessions are claimed (locked) by this studio until
    // releaseClaims(), so that a studio starting at the same moment does
    // not offer them too. A file that cannot be read is renamed with
    // ".damaged" (kept, never deleted) and its new name goes to `damaged`.
    std::vector<RecoveredWork> findOrphans(std::vector<std::string>* damaged = nullptr);
    // Renames a claimed file that turned out unreadable; the new name, or
    // the old one when even the rename failed.
    std::string markDamaged(const std::string& file);
    // Removes a claimed file (the user discarded it, or it was restored and
    // is now this studio's own unsaved work).
    void discard(const std::string& file);
    // Ends the claims: sessions without files lose their lock files too;
    // files kept for later stay for the next start.
    void releaseClaims();

private:
    struct Claim {
        std::string session;
        int fd = -1;
    };
    std::string lockPath(const std::string& session) const;
    // The lock of a session, taken without waiting; -1 when another process
    // holds it.
    int tryLock(const std::string& session) const;
    // Removes the locks of dead studios that left no recovery file.
    void removeStaleLocks(const std::vector<std::string>& recoveryFiles);

    std::string folder_;
    Clock clock_;
    std::string session_;
    int lockFd_ = -1;
    std::string current_;
    std::vector<Claim> claims_;
};

}  // namespace tavlin
