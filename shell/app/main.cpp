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
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <string>

#include "document/document.h"
#include "document/editor_tools.h"
#include "document/interfaces.h"
#include "media/media_registry.h"
#include "shell/paths.h"
#include "shell/resource_folder.h"
#include "shell/settings.h"
#include "ui/canvas/canvas.h"
#include "ui/main_window.h"
#include "ui/menu.h"
#include "ui/platform.h"
#include "ui/window.h"

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

// The splash picture, centred on the screen; null when there is none.
std::unique_ptr<Window> showSplash() {
    const Image* logo = resources().Image("tavlinlogo.jpg");
    if (!logo || logo->width <= 0 || logo->height <= 0) return nullptr;
    QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect();
    int32_t x = (screen.width() - logo->width) / 2, y = (screen.height() - logo->height) / 2;
    auto splash = std::make_unique<Window>(nullptr, x, y, logo->width, logo->height, kPopupWindow);
    splash->canvas()->DrawImage(0, 0, logo->width, logo->height, *logo);
    splash->Show(true);
    splash->Refresh();
    PumpOnce(nullptr);
    return splash;
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

    loadStartupSettings();
    registerImageFormats();
    resources().Open(joinPath(executableDir(), "res"));
    installStringLookup([](const std::string& id) { return resources().StringCopy(id); });
    InstallQtPrompts();

    std::unique_ptr<Window> splash = showSplash();
    QElapsedTimer shown;
    shown.start();
    registerVideoFormats();
    registerAudioFormats();
    // The splash stays up for a second, painted while it waits.
    bool splashShot = options.screenshot.empty() || !splash;
    while (shown.elapsed() < 1000) {
        PumpOnce(nullptr);
        if (!splashShot && shown.elapsed() > 500) {
            saveScreenshot(splashShotName(options.screenshot));
            splashShot = true;
        }
    }

    auto main = std::make_unique<MainWindow>(80, 0, 400, 400);
    if (splash) splash->Destroy();
    splash.reset();
    main->InstallMenu(LoadMenuBar());
    main->NewDocument();
    main->Show(true);
    main->UpdateTitle();
    main->Redraw();
    main->Refresh();
    main->ShowToolbox();
    // The tool box came up last; the keyboard belongs to the stage.
    main->Show(true);
    setEditMode(*main, true);

    if (!options.path.empty()) main->Open(options.path, -1, -1);
    if (options.play) setEditMode(*main, false);

    if (!options.screenshot.empty()) {
        std::string file = options.screenshot;
        QTimer::singleShot(1500, [file] {
            saveScreenshot(file);
            PostQuit();
        });
    }

    SetIdleEnabled(true);
    RunMainLoop([&main] {
        if (main && main->exists()) main->Idle();
    });
    main.reset();
    FlushDestroyedWindows();
    if (!settings().Save()) std::fprintf(stderr, "tavlin-studio: the settings could not be saved\n");
    return 0;
}
