#pragma once
// Prompts for tests: remembers every message and answers questions from a
// script. Installed while it lives.

#include <string>
#include <vector>

#include "core/prompts.h"

namespace tavlin::test {

class RecordingPrompts : public Prompts {
public:
    RecordingPrompts() { installPrompts(this); }
    ~RecordingPrompts() override { installPrompts(nullptr); }

    void showMessage(const std::string& text) override { messages.push_back(text); }
    int askChoice(const std::string& text, const std::vector<std::string>&) override {
        messages.push_back(text);
        if (answers.empty()) return -1;
        int a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }

    std::vector<std::string> messages;
    std::vector<int> answers;
};

}  // namespace tavlin::test
