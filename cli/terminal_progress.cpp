#include "cli/terminal_progress.h"

#include <unistd.h>

namespace tavlin::cli {

TerminalProgress::TerminalProgress(std::FILE* out) : out_(out), tty_(isatty(fileno(out)) == 1) {}

void TerminalProgress::begin(const std::string& title) {
    title_ = title;
    start_ = std::chrono::steady_clock::now();
    lastDraw_ = {};
}

std::string TerminalProgress::line(const std::string& title, int64_t done, int64_t total, double seconds) {
    char text[256];
    int percent = total > 0 ? int(done * 100 / total) : 0;
    double rate = seconds > 0 ? double(done) / seconds : 0;
    std::string left = "--";
    if (rate > 0 && total >= done) {
        int64_t rest = int64_t(double(total - done) / rate + 0.5);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lld:%02lld", (long long)(rest / 60), (long long)(rest % 60));
        left = buf;
    }
    std::snprintf(text, sizeof text, "%s %lld/%lld (%d%%) %.1f/s, %s left", title.c_str(), (long long)done,
                  (long long)total, percent, rate, left.c_str());
    return text;
}

bool TerminalProgress::update(int64_t done, int64_t total) {
    if (!tty_) return true;
    auto now = std::chrono::steady_clock::now();
    // A terminal needs no more than ten lines a second.
    if (done < total && now - lastDraw_ < std::chrono::milliseconds(100)) return true;
    lastDraw_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    std::fprintf(out_, "\r\033[K%s", line(title_, done, total, seconds).c_str());
    std::fflush(out_);
    shown_ = true;
    return true;
}

void TerminalProgress::end() {
    if (!shown_) return;
    std::fputc('\n', out_);
    shown_ = false;
}

}  // namespace tavlin::cli
