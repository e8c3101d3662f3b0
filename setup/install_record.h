#pragma once
// What an installation leaves behind to be found again: the uninstall key
// (four values, as key=value lines) and the list of everything it made.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tavlin::setup {

// Values of key files are one line each: "\" and line ends are escaped.
QString escapeValue(const QString& v);
QString unescapeValue(const QString& v);

struct UninstallKey {
    QString displayName;
    QString uninstallString;
    QString installDir;
    QString startmenuGroup;

    QByteArray text() const;
    // False when the file is missing, unreadable or has no InstallDir.
    static bool read(const QString& path, UninstallKey& key);
};

struct Manifest {
    QStringList files;    // installed files, relative to the install folder
    QStringList folders;  // absolute folders the installation created
    QStringList entries;  // absolute registration files (menu entries, MIME package)

    QByteArray text() const;
    static bool read(const QString& path, Manifest& manifest);
    // Adds what an earlier installation made and this one did not list again.
    void merge(const Manifest& older);
};

}  // namespace tavlin::setup
