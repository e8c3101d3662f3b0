#pragma once
// Progress of long commands as one line on a terminal: units done, total,
// percent, rate and time left. Prints nothing when standard error is not a
// terminal, so scripts and logs stay clean.

#include <chrono>
#include <cstdio>
#include <string>

#include "media/progress.h"

namespace tavlin::cli {

class TerminalProgress : public Progress {
public:
    explicit TerminalProgress(std::FILE* out = stderr);
    ~TerminalProgress() override { end(); }
    void begin(const std::string& title) override;
    bool update(int64_t done, int64_t total) override;
    void end() override;
    // The line shown for these figures after `seconds` (for tests).
    static std::string line(const std::string& title, int64_t done, int64_t total, double seconds);

private:
    std::FILE* out_;
    bool tty_;
    bool shown_ = false;
    std::string title_;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

}  // namespace tavlin::cli
