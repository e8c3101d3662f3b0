#include "studio/studio_app.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

#include "editor/editor_tools.h"
#include "document/interfaces.h"
#include "media/media_registry.h"
#include "mpeg/mpeg_source.h"
#include "ui/progress_window.h"
#include "base/paths.h"
#include "core/resource_folder.h"
#include "core/settings.h"
#include "canvas/canvas.h"
#include "studio/main_window.h"
#include "studio/recovery_offer.h"
#include "ui/menu.h"
#include "ui/platform.h"
#include "ui/window.h"

namespace tavlin {

namespace {

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

}  // namespace

std::unique_ptr<MainWindow> startStudio(const StudioOptions& options) {
    // The format lists are process-wide: a second start in the same process
    // (tests) must not list every format twice.
    static bool formatsRegistered = false;

    loadStartupSettings();
    if (!formatsRegistered && !findImageFormat("x.png")) registerImageFormats();
    resources().Open(joinPath(executableDir(), "res"));
    installStringLookup([](const std::string& id) { return resources().StringCopy(id); });
    if (options.qtPrompts) InstallQtPrompts();

    std::unique_ptr<Window> splash = showSplash();
    QElapsedTimer shown;
    shown.start();
    if (!formatsRegistered) {
        // MPEG indexes are built under the progress window.
        registerVideoFormats(std::make_unique<MpegFormat>([] {
            return std::make_unique<WindowProgress>(nullptr);
        }));
        registerAudioFormats();
    }
    formatsRegistered = true;
    // The splash stays up for a second, painted while it waits.
    while (options.splashWait && shown.elapsed() < 1000) {
        PumpOnce(nullptr);
        if (splash && options.whileSplash) options.whileSplash(shown.elapsed());
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
    main->ShowTimeline();
    // The tool box came up last; the keyboard belongs to the stage.
    main->Show(true);
    setEditMode(*main, true);

    if (!options.path.empty()) main->Open(options.path, -1, -1);
    // Work left by a studio that died is offered once this one is up.
    offerRecoveredWork(*main);
    if (options.play) setEditMode(*main, false);
    return main;
}

int runStudio(std::unique_ptr<MainWindow> main) {
    SetIdleEnabled(true);
    RunMainLoop([&main] {
        if (main && main->exists()) main->Idle();
    });
    main.reset();
    FlushDestroyedWindows();
    if (!settings().Save()) std::fprintf(stderr, "tavlin-studio: the settings could not be saved\n");
    return 0;
}

}  // namespace tavlin
