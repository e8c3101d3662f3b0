// tavlin-studio: the authoring program.
//
//   tavlin-studio [--play] [--screenshot PNG] [FILE]   (--help, --version)
//
// FILE is a project, published content or a media file to import. Two options
// for checking the program without a person at the screen:
//   --screenshot PNG   after start-up, save a picture of the program's windows
//                      (and of the splash, as PNG with "-splash") and quit
//   --play             switch to play mode after start-up

#include <QApplication>
#include <QCommandLineParser>
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
    // Set when the program is to end before any window: the exit code.
    int exitCode = -1;
};

// Read before the application object exists, so that --help and --version
// work without a display and open no window.
Options parseOptions(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    parser.setApplicationDescription("Authoring tool for draggable video.");
    QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    QCommandLineOption version("version", "Show the version and exit.");
    QCommandLineOption play("play", "Switch to play mode after start-up.");
    QCommandLineOption screenshot("screenshot",
                                  "After start-up, save a picture of the windows to PNG (and of the splash to "
                                  "PNG with \"-splash\" added) and quit.",
                                  "PNG");
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(play);
    parser.addOption(screenshot);
    parser.addPositionalArgument("FILE", "A project, published content or a media file to open.", "[FILE]");
    Options o;
    std::string usage = "Usage: tavlin-studio [--play] [--screenshot PNG] [FILE]\n";
    if (!parser.parse(args)) {
        std::fprintf(stderr, "tavlin-studio: %s\n%s", parser.errorText().toLocal8Bit().constData(), usage.c_str());
        o.exitCode = 2;
        return o;
    }
    if (parser.isSet(help)) {
        // Without an application object Qt cannot name the program itself.
        QString text = parser.helpText().replace("<executable_name>", "tavlin-studio");
        std::printf("%s", text.toLocal8Bit().constData());
        o.exitCode = 0;
        return o;
    }
    if (parser.isSet(version)) {
        std::printf("tavlin-studio %s\n", TAVLIN_VERSION);
        o.exitCode = 0;
        return o;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "tavlin-studio: one file at a time\n%s", usage.c_str());
        o.exitCode = 2;
        return o;
    }
    if (!files.isEmpty()) o.path = files.front().toLocal8Bit().toStdString();
    o.screenshot = parser.value(screenshot).toLocal8Bit().toStdString();
    o.play = parser.isSet(play);
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
    Options options = parseOptions(argc, argv);
    if (options.exitCode >= 0) return options.exitCode;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

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
