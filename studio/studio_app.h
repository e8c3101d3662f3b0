#pragma once
// The studio's start-up and run: what main() does, callable from tests, which
// skip the splash's wait and the main loop.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavlin {

class MainWindow;

struct StudioOptions {
    // A project, content or media file opened once the window is up.
    std::string path;
    // Play mode instead of edit mode after start-up.
    bool play = false;
    // The splash stays up a second (tests do not wait).
    bool splashWait = true;
    // Messages and questions as dialogs; tests keep their own prompts.
    bool qtPrompts = true;
    // Called while the splash is up (only when there is one), with the milliseconds it has been shown.
    std::function<void(int64_t)> whileSplash;
};

// Settings, formats, the resource folder, the splash, the main window with its
// menu, an empty document in edit mode, the tool box, then options.path.
// Returns the main window; the caller runs the loop with runStudio.
std::unique_ptr<MainWindow> startStudio(const StudioOptions& options);

// The main loop with the idle step until the last window is gone, then the
// shutdown (the settings are saved). Returns the exit code.
int runStudio(std::unique_ptr<MainWindow> main);

}  // namespace tavlin
