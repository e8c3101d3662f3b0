// The installer's tests run as an ordinary user: root may write anywhere, so
// the refusals of unwritable folders could not happen under it.

#include <grp.h>
#include <unistd.h>

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (geteuid() == 0) {
        const gid_t nobodyGroup = 65534;
        const uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobodyGroup) != 0 || setuid(nobody) != 0) return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform says this of every wizard it shows.
    static QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.contains("propagateSizeHints")) previous(type, context, message);
    });
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
