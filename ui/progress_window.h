#pragma once
// The small window of a long operation: a title, a bar with the counter
// "done/total (percent%)" and a "Stop" button. At most one exists at a time;
// the operation calls update after each unit of work and ends when it answers
// false.

#include <cstdint>
#include <string>

#include "media/progress.h"
#include "ui/window.h"

namespace tavlin {

class Button;

class ProgressWindow : public Window {
public:
    // Opens the window over `parent` (at (50, 50) in its client area); an open
    // one is closed first.
    static void open(Window* parent, const std::string& title);
    // Redraws the bar and processes pending input once. False once the user
    // has stopped it, or when none was opened.
    static bool update(int32_t done, int32_t total);
    // Destroys the window if it still exists.
    static void close();
    // The window now open (null when none).
    static ProgressWindow* current();

    static constexpr int32_t kBarX = 10, kBarY = 50, kBarWidth = 230, kBarHeight = 15;
    static constexpr uint32_t kBarColour = 0x78A8F0;
    static constexpr int32_t kStopId = 1;

    ~ProgressWindow() override;
    void OnControl(int32_t id) override;
    // Keys never end the program from here (the work would stop half done).
    void OnKey(int32_t code) override;
    // Pixels of the bar that done of total fill (0 when total <= 0).
    static int32_t barFill(int32_t done, int32_t total);
    // "done/total (percent%)"; empty when total <= 0.
    static std::string counterText(int32_t done, int32_t total);
    void draw(int32_t done, int32_t total);

private:
    ProgressWindow(Window* parent, const std::string& title);
    std::string title_;
    Button* stop_ = nullptr;
};

// Long work below the UI reports through this: it opens the progress window
// on begin, feeds it on update and closes it on end.
class WindowProgress : public Progress {
public:
    explicit WindowProgress(Window* parent) : parent_(parent) {}
    ~WindowProgress() override { end(); }
    void begin(const std::string& title) override;
    bool update(int64_t done, int64_t total) override;
    bool stopped() const override { return stopped_; }
    void end() override;

private:
    Window* parent_;
    bool open_ = false;
    bool stopped_ = false;
};

}  // namespace tavlin
