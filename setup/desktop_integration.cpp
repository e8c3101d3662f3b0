#include "setup/desktop_integration.h"

#include <QProcess>
#include <QStandardPaths>

#include "setup/setup_paths.h"
#include "setup/setup_texts.h"

namespace tavlin::setup {

bool parseShortcut(const QString& entry, Shortcut& shortcut) {
    qsizetype comma = entry.indexOf(',');
    if (comma < 0) return false;
    shortcut.name = entry.left(comma);
    QString rest = entry.mid(comma + 1);
    qsizetype second = rest.indexOf(',');
    shortcut.target = second < 0 ? rest : rest.left(second);
    shortcut.arguments = second < 0 ? QString() : rest.mid(second + 1);
    return true;
}

QString shortcutFile(const QString& groupFolder, const Shortcut& shortcut) {
    return withSlash(groupFolder) + shortcut.name + ".desktop";
}

namespace {

// The escapes of a desktop entry's string values.
QString escapeString(const QString& v) {
    QString out;
    for (QChar c : v) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

void add(QByteArray& out, const char* key, const QString& value) {
    out += key;
    out += '=';
    out += value.toUtf8();
    out += '\n';
}

}  // namespace

QString quoteExecArgument(const QString& argument) {
    QString out = "\"";
    for (QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    return out + '"';
}

QByteArray desktopEntryText(const Shortcut& shortcut, const QString& installFolder, const QString& iconFile) {
    QString target = joinPath(installFolder, shortcut.target);
    qsizetype slash = target.lastIndexOf('/');
    QString workFolder = slash > 0 ? target.left(slash) : QStringLiteral("/");
    bool studio = shortcut.target == text::kStudioProgram;

    QString exec = studio ? quoteExecArgument(target) : "xdg-open " + quoteExecArgument(target);
    if (!shortcut.arguments.isEmpty()) exec += ' ' + shortcut.arguments;
    if (studio) exec += " %f";

    QByteArray out = "[Desktop Entry]\n";
    add(out, "Type", "Application");
    add(out, "Version", "1.0");
    add(out, "Name", shortcut.name);
    add(out, "Comment", studio ? QStringLiteral("Make draggable video") : QStringLiteral("TAVLIN manual"));
    add(out, "Exec", escapeString(exec));
    add(out, "Path", escapeString(workFolder));
    if (!iconFile.isEmpty()) add(out, "Icon", escapeString(iconFile));
    add(out, "Terminal", "false");
    if (studio) {
        add(out, "Categories", "AudioVideo;Video;");
        add(out, "MimeType", QString(kProjectMimeType) + ';');
    } else {
        add(out, "Categories", "Utility;Documentation;");
    }
    return out;
}

QByteArray mimePackageText() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"application/x-tavlin-project\">\n"
           "    <comment>TAVLIN project file</comment>\n"
           "    <sub-class-of type=\"text/plain\"/>\n"
           "    <glob pattern=\"*.tvl\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

bool runUpdateTool(const char* tool, const QString& folder) {
    QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty()) return true;
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, {folder});
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace tavlin::setup
