#include <QApplication>
#include <QTemporaryDir>

#include <cstring>

#include <gtest/gtest.h>

#include "ui/platform.h"

namespace tavlin {
int runRecoveryChild(int argc, char** argv);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A studio the recovery tests start and kill.
    if (argc > 1 && std::strcmp(argv[1], "--recovery-child") == 0) return tavlin::runRecoveryChild(argc, argv);
    // Recovery copies of the windows under test go to a folder of this run,
    // never the user's.
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toUtf8());
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    tavlin::FlushDestroyedWindows();
    return result;
}
