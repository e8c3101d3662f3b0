#pragma once
// A Qt GUI application for test programs without their own main() that draw
// text (fonts need one).

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

namespace tavlin::test {

inline void ensureGuiApp() {
    if (QCoreApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "tavlin_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

}  // namespace tavlin::test
