#include "setup_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTest>

namespace tavlin::setup::test {

Snapshot snapshot(const QString& folder) {
    Snapshot s;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        QFileInfo info = it.fileInfo();
        QString rel = QDir(folder).relativeFilePath(info.filePath());
        if (info.isDir() && !info.isSymLink()) s[rel + '/'] = 0;
        else s[rel] = info.size();
    }
    return s;
}

QString describe(const Snapshot& before, const Snapshot& after) {
    QString out;
    for (const auto& [path, size] : before)
        if (!after.count(path)) out += "  gone: " + path + '\n';
        else if (after.at(path) != size) out += "  changed: " + path + '\n';
    for (const auto& [path, size] : after)
        if (!before.count(path)) out += "  new: " + path + '\n';
    return out;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

int runTool(const QString& program, const QStringList& arguments, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(60000)) return -1;
    if (output) *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool waitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > ms) return false;
        QTest::qWait(10);
    }
    return true;
}

SetupHome::SetupHome() {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME",
                             "TAVLIN_SETUP_NO_START"})
        savedEnvironment_[name] = qgetenv(name);
    QDir().mkpath(home());
    qputenv("HOME", home().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home() + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (home() + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (home() + "/.cache").toUtf8());
    qputenv("XDG_STATE_HOME", (home() + "/.local/state").toUtf8());
    qunsetenv("TAVLIN_SETUP_NO_START");
    paths_ = SetupPaths::fromEnvironment();
}

SetupHome::~SetupHome() {
    // Folders a test made unreadable must be removable again.
    QDirIterator it(root(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const auto& [name, value] : savedEnvironment_) {
        if (value.isNull()) qunsetenv(name.constData());
        else qputenv(name.constData(), value);
    }
}

void SetupHome::makeRelease() {
    QString r = release();
    const QFile::Permissions program = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                       QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    // A studio that tells where and how it was started.
    writeFile(r + "tavlin-studio", "#!/bin/sh\necho \"$PWD\" > \"" + root().toUtf8() + "studio-started\"\n");
    QFile::setPermissions(r + "tavlin-studio", program);
    writeFile(r + "tavlin", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(r + "tavlin", program);
    writeFile(r + "tavlin-setup", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(r + "tavlin-setup", program);
    writeFile(r + "tavlin.ex_", "a program shipped the old way");
    writeFile(r + "license.txt", "Licence of TAVLIN.\nUse it kindly.\n");
    writeFile(r + "notes.txt", "release notes");
    QImage icon(48, 48, QImage::Format_ARGB32);
    icon.fill(0xff1d4e89);
    icon.save(r + "tavlin.png");
    writeFile(r + "res/res.txt", "app_name=TAVLIN\n");
    writeFile(r + "res/sub/deeper/a.png", "not really a picture");
    writeFile(r + "template/page.html", "<html></html>");
    writeFile(r + "doc/index.html", "<html>manual</html>");
    writeFile(r + "doc/shots/main.png", "screenshot");
    QDir().mkpath(r + "pages");
    QDir().mkpath(r + "tmp");
    writeFile(r + "extras/skip.txt", "not part of the program");
    writeFile(r + ".git/config", "not part of the program");
}

std::unique_ptr<SetupSession> SetupHome::session(SetupMode mode) {
    SetupHooks hooks;
    hooks.error = [this](QWidget*, const QString&, const QString& text) { errors.push_back(text); };
    hooks.chooseFolder = [](QWidget*, const QString&, const QString& start) { return start; };
    hooks.startProgram = [this](const QString& program, const QString& workFolder) {
        started.push_back(program);
        return !startReally || SetupHooks::defaults().startProgram(program, workFolder);
    };
    return std::make_unique<SetupSession>(mode, SetupPaths::fromEnvironment(), release() + "tavlin-setup", hooks);
}

}  // namespace tavlin::setup::test
