#include <QGuiApplication>

#include <gtest/gtest.h>

// The thumbnail draws the stage, and drawing text needs a GUI application.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
