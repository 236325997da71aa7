#include "update/updater_launcher.h"

#include "app/program_folder.h"
#include "platform/child_process.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace vantoli {

bool selfUpdateBuilt() {
    return VANTOLI_SELF_UPDATE;
}

QStringList updaterArguments(const QString &contentBase, const QString &version,
                             const QString &installFolder, qint64 waitPid,
                             const QString &programName, const QStringList &programArguments) {
    QStringList args{QStringLiteral("--content-base"),      contentBase,
                     QStringLiteral("--version"),           version,
                     QStringLiteral("--installed-version"), programVersion(),
                     QStringLiteral("--install"),           installFolder,
                     QStringLiteral("--wait-pid"),     QString::number(waitPid),
                     QStringLiteral("--restart"),      programName,
                     QStringLiteral("--")};
    return args + programArguments;
}

ProcessUpdaterLauncher::ProcessUpdaterLauncher(QString contentBase, QString installFolder,
                                               QString programName, QStringList programArguments,
                                               bool selfUpdate, qint64 waitPid)
    : contentBase_(std::move(contentBase)), installFolder_(std::move(installFolder)),
      programName_(std::move(programName)), programArguments_(std::move(programArguments)),
      selfUpdate_(selfUpdate), waitPid_(waitPid ? waitPid : QCoreApplication::applicationPid()) {}

bool ProcessUpdaterLauncher::localUpdaterExists() const {
    // Without a release key there is no updater this build could trust: a
    // file of that name here (left by an earlier build, or put there by
    // someone else) is never started; the user gets the update page.
    if (!selfUpdate_)
        return false;
    // An installed program (bin/ beside lib/vantoli/) belongs to its
    // package manager and shares bin/ with other programs: it is never
    // replaced from here, the user gets the remote updater's page.
    if (isInstalledLayout(installFolder_))
        return false;
    const QFileInfo f(installFolder_ + u'/' + kUpdaterName);
    return f.isFile() && f.isExecutable();
}

bool ProcessUpdaterLauncher::startLocalUpdater(const QString &version) {
    // It reports on our standard error, where the user who started us looks.
    const bool started = startDetachedProgram(
        {installFolder_ + u'/' + kUpdaterName,
         updaterArguments(contentBase_, version, installFolder_, waitPid_, programName_, programArguments_),
         {}, true});
    // The program quits either way; a word on stderr is all a failed start leaves.
    if (!started)
        std::fprintf(stderr, "vantoli: the updater could not be started\n");
    return started;
}

} // namespace vantoli
