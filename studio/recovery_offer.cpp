#include "studio/recovery_offer.h"

#include <ctime>

#include "core/prompts.h"
#include "core/recovery_store.h"
#include "core/resource_folder.h"
#include "studio/main_window.h"

namespace tavlin {

namespace {

std::string str(const char* id) { return resources().StringCopy(id); }

std::string localTime(int64_t millis) {
    std::time_t seconds = std::time_t(millis / 1000);
    std::tm parts{};
    char text[32] = "";
    if (localtime_r(&seconds, &parts)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return text;
}

// The answers, in button order.
enum Answer { kRestore = 0, kKeep = 1, kDiscard = 2 };

}  // namespace

void offerRecoveredWork(MainWindow& main) {
    RecoveryStore& store = main.recovery();
    std::vector<std::string> damaged;
    std::vector<RecoveredWork> found = store.findOrphans(&damaged);
    for (const std::string& file : damaged) ShowMessage("%s\n%s", str("e_recovery_damaged").c_str(), file.c_str());
    for (const RecoveredWork& work : found) {
        std::string what = work.projectPath.empty() ? str("newdoc") : work.projectPath;
        // One line: the question window lays out a single line unless it is too wide.
        std::string question =
            str("recover?") + " " + what + " (" + str("recovery_time") + " " + localTime(work.savedAt) + ")";
        int answer = AskChoice(question, {str("b_restore"), str("b_keep_later"), str("b_discard")});
        if (answer == kDiscard) {
            store.discard(work.file);
        } else if (answer == kRestore) {
            int32_t restored = main.RestoreRecovered(work);
            if (restored == 0) {
                std::string kept = store.markDamaged(work.file);
                ShowMessage("%s\n%s", str("e_recovery_damaged").c_str(), kept.c_str());
            } else if (restored == 1 && !store.currentFile().empty()) {
                // Only once the restored work has its own copy does the old one go.
                store.discard(work.file);
            }
        }
        // Kept for later (or the question was closed): offered again next time.
    }
    store.releaseClaims();
}

}  // namespace tavlin
