#include <QApplication>

#include <gtest/gtest.h>

#include "ui/platform.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    tavlin::FlushDestroyedWindows();
    return result;
}
