#pragma once
// A window that writes down every operation the routing calls on it.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <QWidget>

#include "ui/window.h"

namespace tavlin::test {

class RecordingWindow : public Window {
public:
    using Window::Window;
    void OnKey(int32_t code) override {
        keys.push_back(code);
        if (passKeys) Window::OnKey(code);
    }
    void OnLeftDown(int32_t x, int32_t y, int32_t m) override { note("ldown", x, y, m); }
    void OnLeftUp(int32_t x, int32_t y, int32_t m) override { note("lup", x, y, m); }
    void OnRightDown(int32_t x, int32_t y, int32_t m) override { note("rdown", x, y, m); }
    void OnRightUp(int32_t x, int32_t y, int32_t m) override { note("rup", x, y, m); }
    void OnSize(int32_t w, int32_t h) override { sizes.emplace_back(w, h); }
    void OnClose() override {
        ++closes;
        Window::OnClose();
    }
    void OnControl(int32_t id) override { controlIds.push_back(id); }
    void OnMenu(int32_t id) override { menus.push_back(id); }
    void OnDropFile(const std::string& path, int32_t x, int32_t y) override {
        log.push_back("drop " + path + " " + std::to_string(x) + " " + std::to_string(y));
    }

    std::vector<int32_t> keys, controlIds, menus;
    std::vector<std::string> log;
    std::vector<std::pair<int32_t, int32_t>> sizes;
    int closes = 0;
    bool passKeys = false;

private:
    void note(const char* what, int32_t x, int32_t y, int32_t m) {
        log.push_back(std::string(what) + " " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(m));
    }
};

// Saves what the window shows under "ui_screenshots/" in the working folder
// (the build folder under CTest) for a person to look at.
inline std::string saveScreenshot(Window& w, const std::string& name) {
    std::filesystem::create_directories("ui_screenshots");
    std::string path = "ui_screenshots/" + name;
    QWidget* widget = w.widget();
    if (widget) widget->grab().toImage().save(QString::fromStdString(path));
    return path;
}

}  // namespace tavlin::test
