#pragma once
// The one scripted prompts of the tests: remembers every message and
// question, answers questions from `answers` in turn and then with `answer`.
// Installed while it lives; file dialogs answer as cancelled unless a test
// overrides them.

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
        if (answers.empty()) return answer;
        int a = answers.front();
        answers.erase(answers.begin());
        return a;
    }

    std::vector<std::string> messages;
    std::vector<int> answers;
    int answer = -1;
};

}  // namespace tavlin::test
