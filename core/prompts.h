#pragma once
// How core code talks to the user: the message box, the question with buttons
// and the file dialogs. The windowing layer installs the real ones at start-up;
// without it (the command-line tool, tests) a scripted or printing one serves.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// Every answer has a default, so a test fake overrides only what it checks:
// messages go to standard error, questions answer -1 (closed) and dialogs
// answer nothing (cancelled).
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void showMessage(const std::string& text);
    // Index of the pressed button, or -1 when the question was closed.
    virtual int askChoice(const std::string& text, const std::vector<std::string>& labels);
    // `filter` is a zero-separated label/pattern list (see videoFilter()).
    virtual std::optional<std::string> openFile(const std::string& filter, const std::string& initial) {
        (void)filter, (void)initial;
        return std::nullopt;
    }
    virtual std::optional<std::string> saveFile(const std::string& filter, const std::string& initial) {
        (void)filter, (void)initial;
        return std::nullopt;
    }
    virtual std::optional<std::string> chooseFolder(const std::string& initial) {
        (void)initial;
        return std::nullopt;
    }
    virtual std::optional<uint32_t> chooseColour(uint32_t colour) {
        (void)colour;
        return std::nullopt;
    }
};

// The prompts of a program without windows: the defaults.
class StderrPrompts : public Prompts {};

// Installs the prompts used from now on (not owned; null restores the default).
void installPrompts(Prompts* prompts);
Prompts& prompts();

// printf-style message box titled "Message".
void ShowMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
// At most 10 buttons are used; fewer than 1 answers 0 at once.
int AskChoice(const std::string& text, const std::vector<std::string>& labels);

}  // namespace tavlin
