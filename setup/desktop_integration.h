#pragma once
// The desktop's side of an installation: menu entries (the shortcuts of the
// start-menu group), the project file type and the refresh of the desktop's
// caches.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tavlin::setup {

inline constexpr char kProjectMimeType[] = "application/x-tavlin-project";

// Link name, comma, target relative to the install folder, optionally comma
// and arguments.
inline constexpr const char* kShortcutTable[] = {"TAVLIN,tavlin-studio", "Manual,doc/index.html"};

struct Shortcut {
    QString name;
    QString target;
    QString arguments;
};

// False for an entry without a comma.
bool parseShortcut(const QString& entry, Shortcut& shortcut);

// "group folder" + name + ".desktop".
QString shortcutFile(const QString& groupFolder, const Shortcut& shortcut);

// A menu entry that starts the target: the studio opens project files, any
// other target (the manual) opens with the desktop's default application.
QByteArray desktopEntryText(const Shortcut& shortcut, const QString& installFolder, const QString& iconFile);

// The shared-mime-info package of the project file type.
QByteArray mimePackageText();

// Runs "update-mime-database" or "update-desktop-database" on a folder when
// the tool is installed. False only when it ran and failed.
bool runUpdateTool(const char* tool, const QString& folder);

// One argument of a desktop entry's Exec key, quoted as the format asks.
QString quoteExecArgument(const QString& argument);

}  // namespace tavlin::setup
