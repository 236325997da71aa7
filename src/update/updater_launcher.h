#pragma once
// The local updater: the program "vantoli-update" in the folder of the
// program's executable (a self-contained program folder; an installed
// program is its package manager's and has none here), started detached
// with an argument list (never a shell). It downloads the announced release
// from the content server, installs it only when its signature verifies
// against the release key the build was configured with and it is newer
// than this version, waits for this process to end, and starts the program
// again. A build without a release key has no self-update at all.

#include "update/update_check.h"

#include <QStringList>

namespace vantoli {

inline const QString kUpdaterName = QStringLiteral("vantoli-update");

// Whether this build updates itself: only when it was configured with a
// release key (VANTOLI_RELEASE_PUBLIC_KEY), which also builds the updater.
bool selfUpdateBuilt();

// The updater's arguments: where to fetch, what to install where, the
// installed version (nothing that is not newer is installed), the process
// to wait for and the program to start afterwards with its arguments.
QStringList updaterArguments(const QString &contentBase, const QString &version,
                             const QString &installFolder, qint64 waitPid,
                             const QString &programName, const QStringList &programArguments);

class ProcessUpdaterLauncher final : public UpdaterLauncher {
public:
    // installFolder: the folder of the running executable, which holds the
    // updater and is what it replaces; programName: the executable's file
    // name there; programArguments: what the new version is started with;
    // selfUpdate: whether this build updates itself at all
    // (selfUpdateBuilt() for the program); waitPid: the process the updater
    // waits for before it replaces anything (0: this one).
    ProcessUpdaterLauncher(QString contentBase, QString installFolder, QString programName,
                           QStringList programArguments, bool selfUpdate, qint64 waitPid = 0);

    bool localUpdaterExists() const override;
    bool startLocalUpdater(const QString &version) override;

private:
    QString contentBase_, installFolder_, programName_;
    QStringList programArguments_;
    bool selfUpdate_;
    qint64 waitPid_;
};

} // namespace vantoli
