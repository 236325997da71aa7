#include "playback/player_processes.h"

#include "app/app_settings.h"
#include "platform/process_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vantoli {
namespace {

// The folder of an executable, ending with "/"; "" for an unknown one.
QString folderOf(const QString &executable) {
    if (!QDir::isAbsolutePath(executable))
        return {};
    const qsizetype slash = executable.lastIndexOf(u'/');
    return executable.left(slash + 1);
}

// The folder with symbolic links resolved, as the kernel names a running
// program's executable; unchanged when it does not exist.
QString resolvedFolder(const QString &folder) {
    const QString canonical = QDir(folder).canonicalPath();
    if (canonical.isEmpty())
        return folder;
    return canonical.endsWith(u'/') ? canonical : canonical + u'/';
}

bool isNamed(const ProcessEntry &p, const QString &name) {
    return p.name.compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

TablePlayerProcesses::TablePlayerProcesses(ProcessTable &table, Settings settings, QString componentFolder)
    : table_(table), settings_(std::move(settings)), componentFolder_(std::move(componentFolder)) {
    if (!componentFolder_.isEmpty())
        componentFolder_ = resolvedFolder(componentFolder_.endsWith(u'/') ? componentFolder_
                                                                           : componentFolder_ + u'/');
}

bool TablePlayerProcesses::isPlayerProcess(const ProcessEntry &p) const {
    const QString folder = folderOf(p.executable);
    if (folder.isEmpty())
        return false;
    if (folder == componentFolder_ || folder == folder_)
        return true;
    return folder == storedFolder();
}

QString TablePlayerProcesses::knownPlayerFolder() {
    if (!folder_.isEmpty())
        return folder_;
    const QString stored = storedFolder();
    if (!stored.isEmpty())
        return stored;
    // Until a run has seen the programs, they are where the program's own
    // installation keeps them; without this the cache folder could not be
    // read or changed before the terminal had been seen running once.
    if (!componentFolder_.isEmpty() && QFileInfo(componentFolder_ + kTerminalProgram).isFile())
        return componentFolder_;
    return {};
}

QString TablePlayerProcesses::storedFolder() const {
    QString stored = AppSettings(settings_).storedPlayerFolder();
    // Only an absolute folder names the player's; anything else would be
    // taken relative to the working folder.
    if (stored == QStringLiteral("0") || !QDir::isAbsolutePath(stored))
        return {};
    return resolvedFolder(stored.endsWith(u'/') ? stored : stored + u'/');
}

void TablePlayerProcesses::runHousekeeping() {
    const bool keep = AppSettings(settings_).keepPlayerApplication();

    // A running player application tells where the player programs are;
    // unless the user keeps it, it is ended so that it does not compete
    // with the window's player.
    for (const ProcessEntry &p : table_.list()) {
        if (!isNamed(p, kPlayerProgram) || !isPlayerProcess(p))
            continue;
        folder_ = folderOf(p.executable);
        if (!keep)
            table_.end(p);
    }

    QString terminalFolder;
    bool terminalFound = false;
    for (const ProcessEntry &p : table_.list()) {
        if (isNamed(p, kTerminalProgram) && isPlayerProcess(p)) {
            terminalFound = true;
            terminalFolder = folderOf(p.executable);
        }
    }

    // Ended processes leave nothing behind on this desktop, so there is no
    // notification-area sweep.
    if (!terminalFound)
        startTerminalFrom(folder_.isEmpty() ? componentFolder_ : folder_);

    if (folder_.isEmpty())
        folder_ = terminalFolder;
    if (folder_.isEmpty())
        return;
    AppSettings(settings_).setStoredPlayerFolder(folder_);
}

bool TablePlayerProcesses::endProcessByName(const QString &text) {
    if (text.isEmpty())
        return false;
    for (const ProcessEntry &p : table_.list()) {
        if (p.name.contains(text, Qt::CaseSensitive) && isPlayerProcess(p))
            return table_.end(p);
    }
    return false;
}

void TablePlayerProcesses::endAllNamed(const QString &name) {
    for (const ProcessEntry &p : table_.list()) {
        if (isNamed(p, name) && isPlayerProcess(p))
            table_.end(p);
    }
}

void TablePlayerProcesses::endPlayerPrograms() {
    endAllNamed(kPlayerProgram);
    endAllNamed(kTerminalProgram);
}

bool TablePlayerProcesses::terminalRunning() {
    for (const ProcessEntry &p : table_.list()) {
        if (isNamed(p, kTerminalProgram) && isPlayerProcess(p))
            return true;
    }
    return false;
}

void TablePlayerProcesses::setUserConfigFolder(const QString &folder) {
    userConfigFolder_ = folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

QString TablePlayerProcesses::configFolder() {
    const QString known = knownPlayerFolder();
    if (userConfigFolder_.isEmpty() || !QDir::isAbsolutePath(userConfigFolder_))
        return known;
    QDir().mkpath(userConfigFolder_);
    if (!known.isEmpty() && resolvedFolder(known) != resolvedFolder(userConfigFolder_)) {
        for (const QString &name : {QStringLiteral("PeerCfg.ini"), QStringLiteral("PeerPlayer.xml")}) {
            if (!QFileInfo::exists(userConfigFolder_ + name) && QFileInfo(known + name).isFile())
                QFile::copy(known + name, userConfigFolder_ + name);
        }
    }
    return userConfigFolder_;
}

void TablePlayerProcesses::startTerminalFrom(const QString &folder) {
    if (folder.isEmpty())
        return;
    // The terminal reads its cache folder from the user's configuration.
    const QString config = configFolder();
    if (!config.isEmpty() && resolvedFolder(config) != resolvedFolder(folder))
        table_.start(folder + kTerminalProgram, {QStringLiteral("--player-folder"), config});
    else
        table_.start(folder + kTerminalProgram, {});
}

void TablePlayerProcesses::startTerminal() {
    const QString known = knownPlayerFolder();
    startTerminalFrom(known.isEmpty() ? componentFolder_ : known);
}

void TablePlayerProcesses::ensureTerminalRunning() {
    const QString known = knownPlayerFolder();
    if (known.isEmpty() || terminalRunning())
        return;
    startTerminalFrom(known);
}

} // namespace vantoli
