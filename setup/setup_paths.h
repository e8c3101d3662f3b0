#pragma once
// Where tavlin-setup puts things on an XDG desktop. Every root follows HOME and
// the XDG_* variables, so a run inside a scratch home touches nothing else.

#include <QString>

namespace tavlin::setup {

// "a" and "b" joined with "/", inserted only when "a" does not end in one.
QString joinPath(const QString& a, const QString& b);
// The folder with exactly one trailing "/".
QString withSlash(const QString& folder);
// "fmt" with its first "%s" replaced by "value" (values may hold "%").
QString formatText(const char* fmt, const QString& value);

struct SetupPaths {
    QString home;        // no trailing "/"
    QString configHome;  // $XDG_CONFIG_HOME or ~/.config
    QString dataHome;    // $XDG_DATA_HOME or ~/.local/share
    bool asRoot = false;

    static SetupPaths fromEnvironment();

    // ~/.local/opt/TAVLIN/, or /opt/TAVLIN/ for root; ends in "/".
    QString defaultInstallFolder() const;
    // The product's own key ("Software\TAVLIN"): a folder of key files.
    QString keyFolder() const;
    // The uninstall key with DisplayName, UninstallString, InstallDir, StartmenuGroup.
    QString uninstallKeyFile() const;
    // What the installation made: files, folders and registration files.
    QString manifestFile() const;
    // Where menu entries live; the group is a subfolder of it.
    QString programsFolder() const;
    QString groupFolder(const QString& group) const;
    QString mimeFolder() const;
    QString mimePackageFile() const;
};

}  // namespace tavlin::setup
