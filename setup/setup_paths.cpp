#include "setup/setup_paths.h"

#include <unistd.h>

#include <QDir>

#include "setup/setup_texts.h"

namespace tavlin::setup {

QString joinPath(const QString& a, const QString& b) {
    if (a.isEmpty() || a.endsWith('/')) return a + b;
    return a + '/' + b;
}

QString withSlash(const QString& folder) {
    QString f = folder;
    while (f.size() > 1 && f.endsWith("//")) f.chop(1);
    if (!f.endsWith('/')) f += '/';
    return f;
}

QString formatText(const char* fmt, const QString& value) {
    QString f = QString::fromUtf8(fmt);
    qsizetype at = f.indexOf("%s");
    if (at < 0) return f;
    return f.left(at) + value + f.mid(at + 2);
}

namespace {

// An XDG variable counts only when set to an absolute path.
QString xdgFolder(const char* name, const QString& fallback) {
    QString v = qEnvironmentVariable(name);
    if (v.isEmpty() || !QDir::isAbsolutePath(v)) return fallback;
    while (v.size() > 1 && v.endsWith('/')) v.chop(1);
    return v;
}

}  // namespace

SetupPaths SetupPaths::fromEnvironment() {
    SetupPaths p;
    p.home = qEnvironmentVariable("HOME");
    if (p.home.isEmpty()) p.home = QDir::homePath();
    while (p.home.size() > 1 && p.home.endsWith('/')) p.home.chop(1);
    p.configHome = xdgFolder("XDG_CONFIG_HOME", joinPath(p.home, ".config"));
    p.dataHome = xdgFolder("XDG_DATA_HOME", joinPath(p.home, ".local/share"));
    p.asRoot = geteuid() == 0;
    return p;
}

QString SetupPaths::defaultInstallFolder() const {
    QString base = asRoot ? QStringLiteral("/opt") : joinPath(home, ".local/opt");
    return withSlash(joinPath(base, text::kProduct));
}

QString SetupPaths::keyFolder() const { return withSlash(joinPath(configHome, text::kProduct)); }
QString SetupPaths::uninstallKeyFile() const { return keyFolder() + "uninstall.key"; }
QString SetupPaths::manifestFile() const { return keyFolder() + "installed.list"; }
QString SetupPaths::programsFolder() const { return withSlash(joinPath(dataHome, "applications")); }
QString SetupPaths::groupFolder(const QString& group) const { return withSlash(programsFolder() + group); }
QString SetupPaths::mimeFolder() const { return withSlash(joinPath(dataHome, "mime")); }
QString SetupPaths::mimePackageFile() const { return mimeFolder() + "packages/tavlin-project.xml"; }

}  // namespace tavlin::setup
