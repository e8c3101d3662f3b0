// Command lines and the folder scan that decides what is installed.

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include "setup/desktop_integration.h"
#include "setup/file_scan.h"
#include "setup/install_record.h"
#include "setup/setup_session.h"
#include "setup_fixture.h"

namespace tavlin::setup::test {
namespace {

TEST(SetupArguments, ModesAsTypedOnBothSystems) {
    struct Case {
        QStringList args;
        SetupMode mode;
        bool start;
    } cases[] = {
        {{}, SetupMode::Install, true},
        {{"/r"}, SetupMode::UninstallRequest, true},
        {{"/R"}, SetupMode::UninstallRequest, true},
        {{"r"}, SetupMode::UninstallRequest, true},
        {{"-r"}, SetupMode::UninstallRequest, true},
        {{"--uninstall"}, SetupMode::UninstallRequest, true},
        {{"/remove"}, SetupMode::UninstallRequest, true},
        {{"/x"}, SetupMode::UninstallRun, true},
        {{"-X"}, SetupMode::UninstallRun, true},
        {{"--no-start", "/x"}, SetupMode::UninstallRun, false},
        {{"-r", "--no-start"}, SetupMode::UninstallRequest, false},
        {{"/install"}, SetupMode::Install, true},
        {{"project.tvl"}, SetupMode::Install, true},
        {{"/"}, SetupMode::Install, true},
        {{"--no-start"}, SetupMode::Install, false},
    };
    qunsetenv("TAVLIN_SETUP_NO_START");
    for (const Case& c : cases) {
        SetupOptions o = parseArguments(c.args);
        EXPECT_EQ(o.mode, c.mode) << c.args.join(' ').toStdString();
        EXPECT_EQ(o.startStudio, c.start) << c.args.join(' ').toStdString();
    }
    qputenv("TAVLIN_SETUP_NO_START", "1");
    EXPECT_FALSE(parseArguments({}).startStudio);
    qunsetenv("TAVLIN_SETUP_NO_START");
}

TEST(SetupScan, InstallsTheDataFoldersAndNothingElse) {
    SetupHome h;
    h.makeRelease();
    // A link back up the tree and a link to a folder elsewhere are not followed.
    QFile::link(h.release() + "res", h.release() + "res/sub/loop");
    QFile::link(h.home(), h.release() + "template/home");

    FileList install;
    ASSERT_TRUE(scanFolder(h.release(), h.release(), ScanKind::Install, install));
    // The release lies below a path holding "doc" and "tmp": only the path
    // below the release counts, so "extras" stays out.
    EXPECT_EQ(install.files,
              (QStringList{"license.txt", "notes.txt", "tavlin", "tavlin-setup", "tavlin-studio", "tavlin.ex_",
                           "tavlin.png", "doc/index.html", "doc/shots/main.png", "res/res.txt",
                           "res/sub/deeper/a.png", "template/page.html"}));
    EXPECT_EQ(install.folders,
              (QStringList{"doc/", "doc/shots/", "pages/", "res/", "res/sub/", "res/sub/deeper/", "template/",
                           "tmp/"}));

    FileList uninstall;
    QFile::remove(h.release() + "res/sub/loop");
    QDir().mkpath(h.release() + "pages/p1");
    writeFile(h.release() + "pages/p1/index.html", "published");
    ASSERT_TRUE(scanFolder(h.release(), h.release(), ScanKind::Uninstall, uninstall));
    EXPECT_FALSE(uninstall.files.contains("pages/p1/index.html"));
    EXPECT_FALSE(uninstall.folders.contains("pages/"));
    EXPECT_TRUE(isScannedFolder("pages/p1/", ScanKind::Install));
    EXPECT_TRUE(isScannedFolder("mydocs/", ScanKind::Uninstall));

    FileList missing;
    EXPECT_FALSE(scanFolder(h.root() + "nowhere/", h.root() + "nowhere/", ScanKind::Install, missing));

    // A scanned folder that cannot be read fails the whole scan, after the
    // files listed before it.
    QFile::setPermissions(h.release() + "template", QFile::Permissions());
    FileList locked;
    EXPECT_FALSE(scanFolder(h.release(), h.release(), ScanKind::Install, locked));
    EXPECT_GT(locked.count(), 0);
}

TEST(SetupRecord, KeyFilesSurviveAwkwardValues) {
    SetupHome h;
    UninstallKey key;
    key.displayName = "TAVLIN";
    key.installDir = "/home/a\\b/new\nline=x/TAVLIN/";
    key.uninstallString = "\"" + key.installDir + "tavlin-setup\" /r";
    key.startmenuGroup = "TAVLIN";
    QString file = h.root() + "key";
    writeFile(file, key.text());
    UninstallKey back;
    ASSERT_TRUE(UninstallKey::read(file, back));
    EXPECT_EQ(back.installDir, key.installDir);
    EXPECT_EQ(back.uninstallString, key.uninstallString);
    EXPECT_EQ(back.startmenuGroup, key.startmenuGroup);
    EXPECT_EQ(readFile(file).count('\n'), 5);

    writeFile(file, "garbage\n=\n[x]\n");
    EXPECT_FALSE(UninstallKey::read(file, back));
    EXPECT_FALSE(UninstallKey::read(h.root() + "absent", back));

    Manifest older{{"a", "res/b"}, {"/x", "/x/y"}, {"/e1"}};
    Manifest newer{{"res/b", "c"}, {"/x/y", "/z"}, {"/e2"}};
    newer.merge(older);
    EXPECT_EQ(newer.files, (QStringList{"res/b", "c", "a"}));
    EXPECT_EQ(newer.folders, (QStringList{"/x", "/x/y", "/z"}));
    EXPECT_EQ(newer.entries, (QStringList{"/e2", "/e1"}));
}

// The Debian package registers the same file type as the installer, and its
// menu entry passes the desktop's own check.
TEST(SetupPackaging, PackageFilesAgreeWithTheInstaller) {
    const QString src = QStringLiteral(TAVLIN_SOURCE_DIR "/packaging/");
    EXPECT_EQ(readFile(src + "tavlin-project.xml"), mimePackageText());
    QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validate.isEmpty()) {
        QString out;
        EXPECT_EQ(runTool(validate, {src + "tavlin-studio.desktop"}, &out), 0) << out.toStdString();
    }
    QString xmllint = QStandardPaths::findExecutable("xmllint");
    if (!xmllint.isEmpty()) {
        QString out;
        EXPECT_EQ(runTool(xmllint, {"--noout", "--relaxng", src + "shared-mime-info.rng", src + "tavlin-project.xml"}, &out), 0)
            << out.toStdString();
        // The schema is no rubber stamp.
        SetupHome h;
        writeFile(h.root() + "bad.xml", "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">"
                                        "<mime-type type=\"application/x-tavlin-project\"/></mime-info>");
        EXPECT_NE(runTool(xmllint, {"--noout", "--relaxng", src + "shared-mime-info.rng", h.root() + "bad.xml"}), 0);
    }
    // Exec quoting of awkward install folders, read back as the format says.
    EXPECT_EQ(quoteExecArgument("/opt/a b/$x`y\\z\"%/tavlin-studio"),
              "\"/opt/a b/\\$x\\`y\\\\z\\\"%%/tavlin-studio\"");
}

}  // namespace
}  // namespace tavlin::setup::test
