// tavlin-setup: installs the studio from the folder it is started in,
// registers it with the desktop, and removes it again.
//
//   tavlin-setup                 install (a wizard)
//   tavlin-setup /r | -r | --uninstall   ask, then uninstall
//   tavlin-setup /x | -x         uninstall
//   --no-start                   do not start the studio after installing

#include <QApplication>

#include "setup/setup_paths.h"
#include "setup/setup_session.h"

using namespace tavlin::setup;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    SetupOptions options = parseArguments(arguments);
    SetupSession session(options.mode, SetupPaths::fromEnvironment(), QCoreApplication::applicationFilePath(),
                         SetupHooks::defaults());
    session.startStudio = options.startStudio;
    return runSetup(session);
}
