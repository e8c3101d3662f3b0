#include <QCoreApplication>

#include <gtest/gtest.h>

// The server answers from the event loop the tests spin while they wait.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
