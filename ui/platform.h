#pragma once
// The main loop, the top-level window list and the standard dialogs on Qt.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/prompts.h"

namespace tavlin {

class Window;

// Runs until the last top-level window is gone, EndMainLoop() or PostQuit().
// While idle processing is enabled and `idle` is given, `idle` runs whenever no
// input is waiting, at least every 33 ms.
void RunMainLoop(const std::function<void()>& idle);
// Clears the running flag; the loop stops after the current batch of events.
void EndMainLoop();
// The quit message: stops the loop at once.
void PostQuit();
bool MainLoopRunning();
void SetIdleEnabled(bool flag);
bool IdleEnabled();
// Processes every waiting event, then waits at most 10 ms for more. Tab in
// `window` cycles its focus (the routing does this for every window).
void PumpOnce(Window* window);
// Processes the waiting events without waiting.
void PumpPending();

// Windows created without an owner, in creation order.
const std::vector<Window*>& TopLevelWindows();
// Deletes the platform windows of destroyed windows. The main loop does this
// between batches of events; programs without one call it when done.
void FlushDestroyedWindows();

// Message box titled "Message" with a warning icon, owned by the window
// that has the keyboard focus.
void ShowMessageBox(const std::string& text);
// Modal question with at most 10 buttons: the pressed button's index, -1 when
// closed, 0 at once without labels.
int AskChoice(Window* owner, const std::string& text, const std::vector<std::string>& labels);

// `filter` is a list of zero-terminated label/pattern pairs ending with an
// empty text (patterns separated by ';').
std::optional<std::string> OpenFileDialog(Window* owner, const std::string& filter, const std::string& initial);
std::optional<std::string> SaveFileDialog(Window* owner, const std::string& filter, const std::string& initial);
// The same list as Qt name filters: "label (pattern pattern)".
std::vector<std::string> QtNameFilters(const std::string& filter);
// Colours are 0xRRGGBB; the custom colours last for the run.
std::optional<uint32_t> ChooseColour(Window* owner, uint32_t colour);
std::optional<std::string> ChooseFolder(Window* owner, const std::string& initial);
// Opens a path or URL with its default application; false while a call is
// already in progress.
bool OpenWithShell(const std::string& target);

// The prompts of core code shown with the dialogs above.
class QtPrompts : public Prompts {
public:
    void showMessage(const std::string& text) override;
    int askChoice(const std::string& text, const std::vector<std::string>& labels) override;
    std::optional<std::string> openFile(const std::string& filter, const std::string& initial) override;
    std::optional<std::string> saveFile(const std::string& filter, const std::string& initial) override;
    std::optional<std::string> chooseFolder(const std::string& initial) override;
    std::optional<uint32_t> chooseColour(uint32_t colour) override;
};
// Installs one QtPrompts for the rest of the run (call after QApplication).
void InstallQtPrompts();

}  // namespace tavlin
