#pragma once
// The player programs' part of the main window: PeerTerminal and PeerPlayer
// through the process table, the player's cache folder, and Timer3, the
// housekeeping run shortly after load and once more each time a link
// execute enables it again.

#include <QString>
#include <QTimer>

#include <memory>

namespace vantoli {

class PlayerProcesses;
class ProcessTable;
class Settings;

class ProcessesModule {
public:
    // table: none means the real one. programFolder: the user's, where the
    // player's configuration (its cache folder) is kept.
    ProcessesModule(ProcessTable *table, Settings &settings, const QString &programFolder);
    ~ProcessesModule();

    PlayerProcesses &processes() const { return *processes_; }
    // Starts the transfer program when it is not running.
    void ensureTerminalRunning();
    // The player's configuration folder.
    QString configFolder() const;
    // The cache folder the player downloads into.
    QString downloadFolder() const;
    // A link execute enables the housekeeping again; the exit stops it.
    void restartHousekeeping() { timer3_.start(); }
    void stopHousekeeping() { timer3_.stop(); }

private:
    std::unique_ptr<ProcessTable> ownTable_;
    std::unique_ptr<PlayerProcesses> processes_;
    QTimer timer3_;
};

} // namespace vantoli
