// The installer's wizards driven as a user would, under a scratch home:
// install, update, refusals, a full disk, and uninstalls that leave the home
// as it was.

#include <sys/resource.h>

#include <csignal>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "setup/file_ops.h"
#include "setup/install_record.h"
#include "setup/setup_session.h"
#include "setup/setup_texts.h"
#include "setup/setup_wizard.h"
#include "setup_fixture.h"

namespace tavlin::setup::test {
namespace {

QString t(const char* s) { return QString::fromUtf8(s); }

void press(QWizard& w, QWizard::WizardButton which) {
    QAbstractButton* b = w.button(which);
    ASSERT_TRUE(b->isVisible() && b->isEnabled()) << "button " << int(which) << " on page " << w.currentId();
    QTest::mouseClick(b, Qt::LeftButton);
}

// Presses through whatever wizard is on the screen: accepts the licence, then
// Next, then Finish.
class WizardDriver {
public:
    WizardDriver() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            auto* w = qobject_cast<QWizard*>(QApplication::activeModalWidget());
            if (!w || !w->currentPage()) return;
            auto* accept = w->currentPage()->findChild<QRadioButton*>("accept");
            if (accept && !accept->isChecked()) return accept->click();
            for (auto which : {QWizard::NextButton, QWizard::FinishButton}) {
                QAbstractButton* b = w->button(which);
                if (b->isVisible() && b->isEnabled()) return b->click();
            }
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

class SetupFlow : public ::testing::Test {
protected:
    void SetUp() override {
        h.makeRelease();
        before = snapshot(h.home());
    }

    // Walks the install wizard to its folder page.
    void toFolderPage(InstallWizard& w) {
        w.show();
        ASSERT_EQ(w.currentId(), InstallWizard::Welcome);
        press(w, QWizard::NextButton);
        auto* accept = w.currentPage()->findChild<QRadioButton*>("accept");
        ASSERT_TRUE(accept);
        accept->click();
        press(w, QWizard::NextButton);
        ASSERT_EQ(w.currentId(), InstallWizard::Folder);
    }

    // Installs into the folder on the folder page (or "folder") and finishes.
    void install(SetupSession& s, const QString& folder = {}) {
        ASSERT_TRUE(s.prepareInstall());
        InstallWizard w(s);
        toFolderPage(w);
        if (!folder.isEmpty()) w.currentPage()->findChild<QLineEdit*>("folder")->setText(folder);
        press(w, QWizard::NextButton);
        ASSERT_TRUE(waitFor([&] { return w.currentId() == InstallWizard::Finished; })) << h.errors.join('\n').toStdString();
        EXPECT_FALSE(w.button(QWizard::CancelButton)->isEnabled());
        press(w, QWizard::FinishButton);
        EXPECT_EQ(w.result(), QDialog::Accepted);
    }

    int uninstall(SetupMode mode = SetupMode::UninstallRequest) {
        auto s = h.session(mode);
        WizardDriver driver;
        return runSetup(*s);
    }

    SetupHome h;
    Snapshot before;
};

TEST_F(SetupFlow, InstallsRegistersAndUninstallsBackToTheSameHome) {
    auto s = h.session(SetupMode::Install);
    EXPECT_EQ(s->caption(), "Installing TAVLIN");
    ASSERT_TRUE(s->prepareInstall());
    InstallWizard w(*s);
    w.show();
    EXPECT_EQ(w.windowTitle(), "Installing TAVLIN");
    EXPECT_TRUE(w.currentPage()->findChild<QLabel*>()->text() == "Now installing TAVLIN.");
    EXPECT_FALSE(w.button(QWizard::BackButton)->isVisible());
    press(w, QWizard::NextButton);

    // The licence: read whole, nothing chosen, Next only after "Accept", and
    // undecided again on every visit.
    auto* license = w.currentPage()->findChild<QPlainTextEdit*>("license");
    auto* accept = w.currentPage()->findChild<QRadioButton*>("accept");
    auto* reject = w.currentPage()->findChild<QRadioButton*>("reject");
    EXPECT_EQ(license->toPlainText(), "Licence of TAVLIN.\nUse it kindly.\n");
    EXPECT_TRUE(license->isReadOnly());
    EXPECT_FALSE(license->textCursor().hasSelection());
    EXPECT_FALSE(accept->isChecked());
    EXPECT_FALSE(reject->isChecked());
    EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == reject; }));
    EXPECT_FALSE(w.button(QWizard::NextButton)->isEnabled());
    accept->click();
    EXPECT_TRUE(w.button(QWizard::NextButton)->isEnabled());
    reject->click();
    EXPECT_FALSE(w.button(QWizard::NextButton)->isEnabled());
    accept->click();
    press(w, QWizard::NextButton);
    press(w, QWizard::BackButton);
    EXPECT_FALSE(accept->isChecked());
    EXPECT_FALSE(w.button(QWizard::NextButton)->isEnabled());
    accept->click();
    press(w, QWizard::NextButton);

    // The folder page offers the per-user default.
    auto* entry = w.currentPage()->findChild<QLineEdit*>("folder");
    EXPECT_EQ(entry->text(), h.home() + "/.local/opt/TAVLIN/");
    EXPECT_TRUE(entry->isEnabled());
    EXPECT_FALSE(w.currentPage()->findChild<QLabel*>("note")->isVisible());
    press(w, QWizard::NextButton);
    EXPECT_EQ(w.currentId(), InstallWizard::Copying);
    EXPECT_FALSE(w.button(QWizard::NextButton)->isVisible());
    EXPECT_FALSE(w.button(QWizard::CancelButton)->isVisible());
    ASSERT_TRUE(waitFor([&] { return w.currentId() == InstallWizard::Finished; }));
    EXPECT_TRUE(h.errors.isEmpty()) << h.errors.join('\n').toStdString();

    // Finish starts the installed studio in its folder, for real.
    h.startReally = true;
    press(w, QWizard::FinishButton);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    const QString dir = h.installFolder();
    ASSERT_TRUE(waitFor([&] { return QFile::exists(h.root() + "studio-started"); }));
    EXPECT_EQ(readFile(h.root() + "studio-started").trimmed(), QDir(dir).canonicalPath().toUtf8());

    // What landed in the folder.
    for (const char* f : {"tavlin-studio", "tavlin", "tavlin-setup", "tavlin.exe", "license.txt", "notes.txt",
                          "tavlin.png", "res/res.txt", "res/sub/deeper/a.png", "template/page.html",
                          "doc/index.html", "doc/shots/main.png"})
        EXPECT_TRUE(QFile::exists(dir + f)) << f;
    for (const char* f : {"tavlin.ex_", "extras", ".git"}) EXPECT_FALSE(QFile::exists(dir + f)) << f;
    EXPECT_TRUE(isFolder(dir + "pages"));
    EXPECT_TRUE(isFolder(dir + "tmp"));
    EXPECT_EQ(readFile(dir + "tavlin.rc"), "\n");
    QFile::Permissions studio = QFileInfo(dir + "tavlin-studio").permissions();
    EXPECT_TRUE(studio & QFile::ExeOwner);
    EXPECT_TRUE(studio & QFile::WriteOwner);
    for (const char* f : {"tavlin-studio", "tavlin.rc", "res/res.txt"})
        EXPECT_FALSE(QFileInfo(dir + f).permissions() & (QFile::WriteGroup | QFile::WriteOther)) << f;
    EXPECT_TRUE(QDir(dir).entryList({"*.setup-new"}, QDir::Files | QDir::Hidden).isEmpty());

    // The uninstall key.
    UninstallKey key;
    ASSERT_TRUE(UninstallKey::read(h.home() + "/.config/TAVLIN/uninstall.key", key));
    EXPECT_EQ(key.displayName, "TAVLIN");
    EXPECT_EQ(key.installDir, dir);
    EXPECT_EQ(key.uninstallString, "\"" + dir + "tavlin-setup\" /r");
    EXPECT_EQ(key.startmenuGroup, "TAVLIN");

    // Menu entries and the file type, checked by the desktop's own tools.
    QString apps = h.home() + "/.local/share/applications/TAVLIN/";
    QString entryText = QString::fromUtf8(readFile(apps + "TAVLIN.desktop"));
    EXPECT_TRUE(entryText.contains("Exec=\"" + dir + "tavlin-studio\" %f\n")) << entryText.toStdString();
    EXPECT_TRUE(entryText.contains("MimeType=application/x-tavlin-project;\n"));
    EXPECT_TRUE(entryText.contains("Icon=" + dir + "tavlin.png\n"));
    QString manual = QString::fromUtf8(readFile(apps + "Manual.desktop"));
    EXPECT_TRUE(manual.contains("Exec=xdg-open \"" + dir + "doc/index.html\"\n")) << manual.toStdString();
    QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validate.isEmpty()) {
        for (const char* f : {"TAVLIN.desktop", "Manual.desktop"}) {
            QString out;
            EXPECT_EQ(runTool(validate, {apps + f}, &out), 0) << out.toStdString();
            EXPECT_TRUE(out.trimmed().isEmpty()) << out.toStdString();
        }
    }
    QString package = h.home() + "/.local/share/mime/packages/tavlin-project.xml";
    QString xmllint = QStandardPaths::findExecutable("xmllint");
    if (!xmllint.isEmpty()) {
        QString schema = QStringLiteral(TAVLIN_SOURCE_DIR "/packaging/shared-mime-info.rng");
        QString out;
        EXPECT_EQ(runTool(xmllint, {"--noout", "--relaxng", schema, package}, &out), 0) << out.toStdString();
    }
    if (!QStandardPaths::findExecutable("update-mime-database").isEmpty()) {
        EXPECT_TRUE(readFile(h.home() + "/.local/share/mime/globs2").contains("application/x-tavlin-project:*.tvl"));
    }
    if (!QStandardPaths::findExecutable("update-desktop-database").isEmpty()) {
        EXPECT_TRUE(readFile(h.home() + "/.local/share/applications/mimeinfo.cache")
                        .contains("application/x-tavlin-project=TAVLIN-TAVLIN.desktop;"));
    }

    // "/r" asks, then uninstalls in place; the home is as it was.
    EXPECT_EQ(uninstall(), 1);
    EXPECT_TRUE(h.errors.isEmpty()) << h.errors.join('\n').toStdString();
    Snapshot after = snapshot(h.home());
    EXPECT_TRUE(after == before) << describe(before, after).toStdString();
}

TEST_F(SetupFlow, UninstallLeavesTheUsersOwnFiles) {
    auto s = h.session(SetupMode::Install);
    s->startStudio = false;
    install(*s);
    EXPECT_TRUE(h.started.isEmpty());
    const QString dir = h.installFolder();
    writeFile(dir + "pages/p1/index.html", "a published page");
    writeFile(dir + "my.tvl", ".OP project");
    writeFile(dir + "res/mine.png", "the user's picture");
    writeFile(dir + "tmp/v1.txt", "the studio's scratch");
    writeFile(h.home() + "/projects/a.tvl", ".OP elsewhere");
    Snapshot mine = snapshot(h.home());

    EXPECT_EQ(uninstall(SetupMode::UninstallRun), 1);
    EXPECT_EQ(h.errors, QStringList{formatText(text::kFolderRemains, dir)});
    for (const char* f : {"pages/p1/index.html", "my.tvl", "res/mine.png"}) EXPECT_TRUE(QFile::exists(dir + f)) << f;
    for (const char* f : {"tmp/v1.txt", "tavlin-studio", "tavlin.rc", "res/res.txt", "doc", "template"})
        EXPECT_FALSE(QFile::exists(dir + f)) << f;

    // Only the user's files, and the folders that hold them, are left.
    Snapshot expected = before;
    for (const auto& [path, size] : mine) {
        bool users = path.startsWith("projects/") || path.endsWith("pages/p1/index.html") ||
                     path.endsWith("my.tvl") || path.endsWith("res/mine.png");
        if (users) {
            expected[path] = size;
            for (QString p = path; p.lastIndexOf('/', p.size() - 2) > 0;) {
                p = p.left(p.lastIndexOf('/', p.size() - 2) + 1);
                expected[p] = 0;
            }
        }
    }
    Snapshot after = snapshot(h.home());
    EXPECT_TRUE(after == expected) << describe(expected, after).toStdString();
}

TEST_F(SetupFlow, UpdateKeepsTheSettingsAndTheRecordedFolder) {
    auto first = h.session(SetupMode::Install);
    first->startStudio = false;
    install(*first, h.root() + "Programs/TAVLIN");
    const QString dir = h.root() + "Programs/TAVLIN/";
    writeFile(dir + "tavlin.rc", "jpeg_quality=80\nrecent0=/home/a.tvl\n");
    writeFile(h.release() + "res/res.txt", "app_name=TAVLIN 2\n");
    writeFile(h.release() + "res/new.txt", "new in this release");
    writeFile(h.release() + "tavlin.rc", "shipped defaults\n");

    auto second = h.session(SetupMode::Install);
    second->startStudio = false;
    EXPECT_TRUE(second->alreadyInstalled());
    ASSERT_TRUE(second->prepareInstall());
    InstallWizard w(*second);
    toFolderPage(w);
    auto* entry = w.currentPage()->findChild<QLineEdit*>("folder");
    EXPECT_EQ(entry->text(), dir);
    EXPECT_FALSE(entry->isEnabled());
    EXPECT_FALSE(w.currentPage()->findChild<QAbstractButton*>("browse")->isEnabled());
    EXPECT_TRUE(w.currentPage()->findChild<QLabel*>("note")->isVisible());
    press(w, QWizard::NextButton);
    ASSERT_TRUE(waitFor([&] { return w.currentId() == InstallWizard::Finished; }));
    press(w, QWizard::FinishButton);
    EXPECT_TRUE(h.errors.isEmpty()) << h.errors.join('\n').toStdString();

    EXPECT_EQ(readFile(dir + "tavlin.rc"), "jpeg_quality=80\nrecent0=/home/a.tvl\n");
    EXPECT_EQ(readFile(dir + "res/res.txt"), "app_name=TAVLIN 2\n");
    EXPECT_TRUE(QFile::exists(dir + "res/new.txt"));

    // A file of the first release that the second no longer ships is still
    // taken away by the uninstall, and so is every folder either one made.
    QFile::remove(h.release() + "notes.txt");
    EXPECT_EQ(uninstall(), 1);
    EXPECT_TRUE(h.errors.isEmpty()) << h.errors.join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(h.root() + "Programs"));
    Snapshot after = snapshot(h.home());
    EXPECT_TRUE(after == before) << describe(before, after).toStdString();
}

TEST_F(SetupFlow, FolderRefusals) {
    QDir().mkpath(h.root() + "other/program");
    writeFile(h.root() + "other/program/their.bin", "someone else's");
    writeFile(h.root() + "earlier/pages/p1/index.html", "an earlier installation of ours");
    QDir().mkpath(h.root() + "locked");
    QFile::setPermissions(h.root() + "locked", QFile::ReadOwner | QFile::ExeOwner);

    auto s = h.session(SetupMode::Install);
    s->startStudio = false;
    ASSERT_TRUE(s->prepareInstall());
    InstallWizard w(*s);
    toFolderPage(w);
    auto* entry = w.currentPage()->findChild<QLineEdit*>("folder");
    struct Case {
        QString entry;
        QString message;
    } refusals[] = {
        {"opt/TAVLIN", t(text::kSpecifyDrive)},
        {"", t(text::kSpecifyDrive)},
        {"/", t(text::kNotInRoot)},
        {"/tmp/..//", t(text::kNotInRoot)},
        {h.root() + "locked/TAVLIN", formatText(text::kNoPermission, h.root() + "locked")},
        {h.root() + "bad\nname", formatText(text::kBadFolderName, h.root() + "bad\nname")},
    };
    for (const Case& c : refusals) {
        h.errors.clear();
        entry->setText(c.entry);
        press(w, QWizard::NextButton);
        EXPECT_EQ(w.currentId(), InstallWizard::Folder) << c.entry.toStdString();
        EXPECT_EQ(h.errors, QStringList{c.message}) << c.entry.toStdString();
    }

    // An earlier installation of ours (it has "pages") is taken at once.
    EXPECT_TRUE(s->acceptFolder(&w, h.root() + "earlier"));
    EXPECT_EQ(s->installFolder(), h.root() + "earlier/");

    // Someone else's folder: warned once, taken on the second Next.
    h.errors.clear();
    entry->setText(h.root() + "other/program");
    press(w, QWizard::NextButton);
    EXPECT_EQ(w.currentId(), InstallWizard::Folder);
    EXPECT_EQ(h.errors, QStringList{formatText(text::kAnotherProgram, h.root() + "other/program/")});
    press(w, QWizard::NextButton);
    ASSERT_TRUE(waitFor([&] { return w.currentId() == InstallWizard::Finished; }));
    EXPECT_TRUE(QFile::exists(h.root() + "other/program/their.bin"));
    EXPECT_TRUE(QFile::exists(h.root() + "other/program/tavlin-studio"));

    // A record pointing at the root is not followed.
    writeFile(h.home() + "/.config/TAVLIN/uninstall.key", "InstallDir=/\n");
    EXPECT_FALSE(h.session(SetupMode::UninstallRun)->alreadyInstalled());
}

// The copy fails part way as on a full disk: the process may not write files
// larger than a limit, so the big file's write fails while the small ones
// before it went through.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(SetupFlow, AFailedCopyLeavesNothingHalfInstalled) {
    writeFile(h.release() + "res/video.bin", QByteArray(3 << 20, 'v'));
    auto s = h.session(SetupMode::Install);
    ASSERT_TRUE(s->prepareInstall());
    {
        InstallWizard w(*s);
        toFolderPage(w);
        FileSizeLimit limit(1 << 20);
        press(w, QWizard::NextButton);
        ASSERT_TRUE(waitFor([&] { return w.currentId() == InstallWizard::Folder; }));
    }
    EXPECT_EQ(h.errors, (QStringList{formatText(text::kFailedToCopy, h.release() + "res/video.bin"),
                                     t(text::kNotInstalled)}));
    Snapshot after = snapshot(h.home());
    EXPECT_TRUE(after == before) << describe(before, after).toStdString();

    // The same failure during an update keeps the installation as it was.
    QFile::remove(h.release() + "res/video.bin");
    install(*s);
    const QString dir = h.installFolder();
    Snapshot installed = snapshot(h.home());
    writeFile(h.release() + "res/res.txt", "changed");
    writeFile(h.release() + "res/video.bin", QByteArray(3 << 20, 'v'));
    h.errors.clear();
    auto update = h.session(SetupMode::Install);
    ASSERT_TRUE(update->prepareInstall());
    {
        InstallWizard w(*update);
        toFolderPage(w);
        FileSizeLimit limit(1 << 20);
        press(w, QWizard::NextButton);
        ASSERT_TRUE(waitFor([&] { return w.currentId() == InstallWizard::Folder; }));
    }
    EXPECT_EQ(h.errors.size(), 2);
    EXPECT_EQ(readFile(dir + "res/res.txt"), "app_name=TAVLIN\n");
    after = snapshot(h.home());
    EXPECT_TRUE(after == installed) << describe(installed, after).toStdString();
}

TEST_F(SetupFlow, UninstallAfterTheFolderWasDeletedByHand) {
    auto s = h.session(SetupMode::Install);
    s->startStudio = false;
    install(*s);
    QDir(h.installFolder()).removeRecursively();
    EXPECT_EQ(uninstall(SetupMode::UninstallRun), 1);
    EXPECT_EQ(h.errors, QStringList{t(text::kNothingToDelete)});
    Snapshot after = snapshot(h.home());
    EXPECT_TRUE(after == before) << describe(before, after).toStdString();

    // Nothing recorded and nothing there: the message, and no wizard.
    h.errors.clear();
    EXPECT_EQ(uninstall(SetupMode::UninstallRun), 0);
    EXPECT_EQ(h.errors, QStringList{t(text::kNothingToDelete)});
}

TEST_F(SetupFlow, NothingToInstall) {
    QDir(h.release()).removeRecursively();
    QDir().mkpath(h.release() + "extras");
    auto s = h.session(SetupMode::Install);
    EXPECT_EQ(runSetup(*s), 0);
    EXPECT_EQ(h.errors, QStringList{t(text::kNothingToInstall)});

    h.errors.clear();
    h.makeRelease();
    QFile::setPermissions(h.release() + "res", QFile::Permissions());
    EXPECT_EQ(runSetup(*h.session(SetupMode::Install)), 0);
    EXPECT_EQ(h.errors, QStringList{t(text::kScanFailed)});
}

TEST_F(SetupFlow, TheWholeRunFromTheCommandLineModes) {
    auto s = h.session(parseArguments({"--no-start"}).mode);
    s->startStudio = false;
    {
        WizardDriver driver;
        EXPECT_EQ(runSetup(*s), 1);
    }
    EXPECT_TRUE(QFile::exists(h.installFolder() + "tavlin-studio"));
    EXPECT_EQ(uninstall(parseArguments({"-r"}).mode), 1);
    EXPECT_TRUE(h.errors.isEmpty()) << h.errors.join('\n').toStdString();
    Snapshot after = snapshot(h.home());
    EXPECT_TRUE(after == before) << describe(before, after).toStdString();
}

}  // namespace
}  // namespace tavlin::setup::test
