// tavlin-studio: the authoring program.
//
//   tavlin-studio [FILE]
//
// FILE is a project, published content or a media file to import. Two options
// for checking the program without a person at the screen:
//   --screenshot PNG   after start-up, save a picture of the program's windows
//                      (and of the splash, as PNG with "-splash") and quit
//   --play             switch to play mode after start-up

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <string>

#include "studio/main_window.h"
#include "ui/platform.h"
#include "studio/studio_app.h"

using namespace tavlin;

namespace {

struct Options {
    std::string path;
    std::string screenshot;
    bool play = false;
};

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--screenshot" && i + 1 < argc)
            o.screenshot = argv[++i];
        else if (a == "--play")
            o.play = true;
        else if (o.path.empty())
            o.path = a;
    }
    return o;
}

// "shot.png" -> "shot-splash.png".
std::string splashShotName(const std::string& file) {
    size_t dot = file.rfind('.');
    return dot == std::string::npos ? file + "-splash" : file.substr(0, dot) + "-splash" + file.substr(dot);
}

void saveScreenshot(const std::string& file) {
    // The part of the screen the program's windows cover, with a margin.
    QRect area;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) area |= w->frameGeometry();
    area.adjust(-8, -8, 8, 8);
    QPixmap shot;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area &= screen->geometry();
        shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    }
    // Without a real screen (the offscreen platform) the window draws itself.
    if (shot.isNull() || shot.width() <= 1) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) shot = w->grab();
    }
    if (!shot.save(QString::fromStdString(file), "PNG"))
        std::fprintf(stderr, "tavlin-studio: cannot write the screenshot %s\n", file.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Options options = parseOptions(argc, argv);

    StudioOptions start;
    start.path = options.path;
    start.play = options.play;
    if (!options.screenshot.empty()) {
        start.whileSplash = [file = splashShotName(options.screenshot), taken = false](int64_t elapsed) mutable {
            if (taken || elapsed <= 500) return;
            saveScreenshot(file);
            taken = true;
        };
    }
    std::unique_ptr<MainWindow> main = startStudio(start);

    if (!options.screenshot.empty()) {
        std::string file = options.screenshot;
        QTimer::singleShot(1500, [file] {
            saveScreenshot(file);
            PostQuit();
        });
    }
    return runStudio(std::move(main));
}
