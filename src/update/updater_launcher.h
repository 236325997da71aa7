#pragma once
// The local updater: the program "vantoli-update" in the folder of the
// program's executable (a self-contained program folder; an installed
// program is its package manager's and has none here), started detached with an argument list (never a
// shell). It downloads the announced release from the content server,
// installs it only when its signature verifies, waits for this process to
// end, and starts the program again.

#include "update/update_check.h"

#include <QStringList>

namespace vantoli {

inline const QString kUpdaterName = QStringLiteral("vantoli-update");

// The updater's arguments: where to fetch, what to install where, the
// process to wait for and the program to start afterwards with its
// arguments.
QStringList updaterArguments(const QString &contentBase, const QString &version,
                             const QString &installFolder, qint64 waitPid,
                             const QString &programName, const QStringList &programArguments);

class ProcessUpdaterLauncher final : public UpdaterLauncher {
public:
    // installFolder: the folder of the running executable, which holds the
    // updater and is what it replaces; programName: the executable's file
    // name there; programArguments: what the new version is started with;
    // waitPid: the process the updater waits for before it replaces
    // anything (0: this one).
    ProcessUpdaterLauncher(QString contentBase, QString installFolder, QString programName,
                           QStringList programArguments, qint64 waitPid = 0);

    bool localUpdaterExists() const override;
    bool startLocalUpdater(const QString &version) override;

private:
    QString contentBase_, installFolder_, programName_;
    QStringList programArguments_;
    qint64 waitPid_;
};

} // namespace vantoli
