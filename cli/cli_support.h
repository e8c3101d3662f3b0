#pragma once
// What every command of the tool that reads projects or publications shares:
// prompts that never open a window, the resource folder for message texts,
// and JSON text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/prompts.h"

namespace tavlin::cli {

// Answers the missing-media question with "b_ignore" (the second button) and
// prints it as a warning; no dialog ever opens.
class CliPrompts : public Prompts {
public:
    void showMessage(const std::string& text) override;
    int askChoice(const std::string& text, const std::vector<std::string>& labels) override;
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }
};

// Installs CliPrompts while it lives.
struct PromptsScope {
    CliPrompts prompts;
    PromptsScope() { installPrompts(&prompts); }
    ~PromptsScope() { installPrompts(nullptr); }
};

// Opens the resource folder beside the program, once, so that questions and
// warnings read as they do in the studio.
void openResourceFolder();

// JSON text: quotes, backslashes and control characters escaped; bytes that
// are not UTF-8 become U+FFFD so the output is always valid JSON.
std::string jsonString(const std::string& s);

}  // namespace tavlin::cli
