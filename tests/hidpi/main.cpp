#include <QApplication>

#include <gtest/gtest.h>

#include "ui/platform.h"

// The windows of this program run as on a screen of two device pixels per
// unit; the setting must be made before the application exists.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    tavlin::FlushDestroyedWindows();
    return result;
}
