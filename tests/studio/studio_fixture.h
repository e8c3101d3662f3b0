#pragma once
// What the studio's window tests share: the shipped resource folder, settings
// in a scratch folder, and prompts that answer from a script.

#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "document/interfaces.h"
#include "media/media_registry.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "core/recent_files.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "support/scratch.h"
#include "ui/platform.h"

namespace tavlin::test {

class ScriptedPrompts : public Prompts {
public:
    void showMessage(const std::string& text) override { messages.push_back(text); }
    int askChoice(const std::string& text, const std::vector<std::string>&) override {
        questions.push_back(text);
        if (choices.empty()) return -1;
        int a = choices.front();
        choices.pop_front();
        return a;
    }
    std::optional<std::string> openFile(const std::string& filter, const std::string&) override {
        openFilters.push_back(filter);
        return next(opens);
    }
    std::optional<std::string> saveFile(const std::string& filter, const std::string& initial) override {
        saveFilters.push_back(filter);
        saveInitials.push_back(initial);
        return next(saves);
    }
    std::optional<std::string> chooseFolder(const std::string&) override { return std::nullopt; }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }

    std::vector<std::string> messages, questions, saveFilters, saveInitials, openFilters;
    std::deque<int> choices;
    std::deque<std::optional<std::string>> saves, opens;

private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& q) {
        if (q.empty()) return std::nullopt;
        auto a = q.front();
        q.pop_front();
        return a;
    }
};

inline std::string shippedResFolder() {
    if (const char* src = std::getenv("TAVLIN_TEST_SRC")) return joinPath(src, "res");
    return joinPath(QCoreApplication::applicationDirPath().toStdString(), "res");
}

class StudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fileExists(joinPath(shippedResFolder(), "res.txt"))) GTEST_SKIP() << "no res folder";
        if (!findImageFormat("x.png")) registerImageFormats();
        resources().Open(shippedResFolder());
        installStringLookup([](const std::string& id) { return resources().StringCopy(id); });
        settings().Load(scratch.file("tavlin.rc"));
        recentFiles().Load();
        installPrompts(&prompts);
    }
    void TearDown() override {
        installPrompts(nullptr);
        FlushDestroyedWindows();
    }
    // The text of a string id with its "%s" filled.
    static std::string text(const char* id, const std::string& path = std::string()) {
        std::string t = resources().StringCopy(id);
        size_t at = t.find("%s");
        if (at != std::string::npos) t.replace(at, 2, path);
        return t;
    }

    ScratchDir scratch;
    ScriptedPrompts prompts;
};

}  // namespace tavlin::test
