#pragma once
// A scratch home with its own XDG folders, a release folder to install from,
// and a recorder of what the installer tells the user.

#include <functional>
#include <map>
#include <memory>
#include <ostream>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "setup/setup_paths.h"
#include "setup/setup_session.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << "{";
    for (const QString& s : l) *os << " \"" << s.toStdString() << "\"";
    *os << " }";
}

namespace tavlin::setup::test {

// Every path below a folder (folders end in "/") with the size of each file.
using Snapshot = std::map<QString, qint64>;
Snapshot snapshot(const QString& folder);
QString describe(const Snapshot& before, const Snapshot& after);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Runs "program" with arguments; returns the exit code (-1 when it did not
// run) and its output.
int runTool(const QString& program, const QStringList& arguments, QString* output = nullptr);

bool waitFor(const std::function<bool()>& condition, int ms = 10000);

class SetupHome {
public:
    SetupHome();
    ~SetupHome();

    QString root() const { return dir_.path() + '/'; }
    QString home() const { return root() + "home"; }
    QString release() const { return root() + "docs-tmp-release/"; }
    const SetupPaths& paths() const { return paths_; }
    QString installFolder() const { return paths_.defaultInstallFolder(); }

    // A release as "make package" lays it out, plus what must not be installed.
    void makeRelease();

    // A session of the given mode over the scratch home and the release;
    // errors and program starts are recorded.
    std::unique_ptr<SetupSession> session(SetupMode mode);

    QStringList errors;
    QStringList started;
    // Program starts go to the system too, not only to "started".
    bool startReally = false;

private:
    QTemporaryDir dir_;
    SetupPaths paths_;
    std::map<QByteArray, QByteArray> savedEnvironment_;
};

}  // namespace tavlin::setup::test
