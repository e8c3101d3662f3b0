#include "setup/install_record.h"

#include <QFile>

namespace tavlin::setup {

QString escapeValue(const QString& v) {
    QString out;
    for (QChar c : v) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

QString unescapeValue(const QString& v) {
    QString out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        QChar n = v[++i];
        out += n == 'n' ? QChar('\n') : n == 'r' ? QChar('\r') : n;
    }
    return out;
}

namespace {

// key=value lines; a "[group]" line and blank lines are skipped.
template <typename F>
bool readPairs(const QString& path, F&& take) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& raw : lines) {
        QString line = QString::fromUtf8(raw);
        if (line.endsWith('\r')) line.chop(1);
        qsizetype eq = line.indexOf('=');
        if (line.startsWith('[') || eq <= 0) continue;
        take(line.left(eq), unescapeValue(line.mid(eq + 1)));
    }
    return true;
}

void addLine(QByteArray& out, const char* key, const QString& value) {
    out += key;
    out += '=';
    out += escapeValue(value).toUtf8();
    out += '\n';
}

}  // namespace

QByteArray UninstallKey::text() const {
    QByteArray out = "[TAVLIN]\n";
    addLine(out, "DisplayName", displayName);
    addLine(out, "UninstallString", uninstallString);
    addLine(out, "InstallDir", installDir);
    addLine(out, "StartmenuGroup", startmenuGroup);
    return out;
}

bool UninstallKey::read(const QString& path, UninstallKey& key) {
    UninstallKey k;
    bool ok = readPairs(path, [&](const QString& name, const QString& value) {
        if (name == "DisplayName") k.displayName = value;
        else if (name == "UninstallString") k.uninstallString = value;
        else if (name == "InstallDir") k.installDir = value;
        else if (name == "StartmenuGroup") k.startmenuGroup = value;
    });
    if (!ok || k.installDir.isEmpty()) return false;
    key = k;
    return true;
}

QByteArray Manifest::text() const {
    QByteArray out;
    for (const QString& f : files) addLine(out, "file", f);
    for (const QString& f : folders) addLine(out, "folder", f);
    for (const QString& f : entries) addLine(out, "entry", f);
    return out;
}

bool Manifest::read(const QString& path, Manifest& manifest) {
    Manifest m;
    bool ok = readPairs(path, [&](const QString& name, const QString& value) {
        if (value.isEmpty()) return;
        if (name == "file") m.files.push_back(value);
        else if (name == "folder") m.folders.push_back(value);
        else if (name == "entry") m.entries.push_back(value);
    });
    if (ok) manifest = m;
    return ok;
}

void Manifest::merge(const Manifest& older) {
    for (const QString& f : older.files)
        if (!files.contains(f)) files.push_back(f);
    // Folders made earlier go first: they are the outer ones.
    QStringList folderList = older.folders;
    for (const QString& f : folders)
        if (!folderList.contains(f)) folderList.push_back(f);
    folders = folderList;
    for (const QString& f : older.entries)
        if (!entries.contains(f)) entries.push_back(f);
}

}  // namespace tavlin::setup
