#pragma once
// The player programs PeerPlayer and PeerTerminal as processes: the
// housekeeping run after load and after a link execute (learn the player
// folder, end a running PeerPlayer unless peerqi is "1", start PeerTerminal
// when it is absent, store the folder as peerw), ending a program by name on
// exit, and starting the terminal again after the cache folder changed.
//
// Only processes of the current user are ever touched; the process table is
// an interface so that tests list and end only processes they started.

#include "app/settings_file.h"

#include <QString>

namespace vantoli {

class ProcessTable;
struct ProcessEntry;

class PlayerProcesses {
public:
    virtual ~PlayerProcesses() = default;
    // The housekeeping run (Timer3's work).
    virtual void runHousekeeping() = 0;
    // The player folder learned so far, ending with "/"; "" before any.
    virtual QString playerFolder() const = 0;
    // The player folder: the one learned this run, else peerw, else the
    // program's own component folder when the player programs are there;
    // "" when none of these names one.
    virtual QString knownPlayerFolder() = 0;
    // The folder of the player programs' configuration (PeerCfg.ini,
    // PeerPlayer.xml), ending with "/": the user's own where one is set,
    // else the player folder.
    virtual QString configFolder() { return knownPlayerFolder(); }
    // Ends at most one process whose executable file name contains text
    // (exact case). True when one was ended.
    virtual bool endProcessByName(const QString &text) = 0;
    // Ends every PeerPlayer, then every PeerTerminal (the settings dialog
    // before the cache folder changes). The exit routine ends one of each
    // with endProcessByName.
    virtual void endPlayerPrograms() = 0;
    // Starts PeerTerminal from the player folder (or the program's own
    // component folder when none is known), without waiting.
    virtual void startTerminal() = 0;
    // Starts PeerTerminal from the known player folder unless it already
    // runs; nothing when no player folder is known.
    virtual void ensureTerminalRunning() = 0;
};

inline const QString kPlayerProgram = QStringLiteral("PeerPlayer");
inline const QString kTerminalProgram = QStringLiteral("PeerTerminal");

// The player programs on a process table. A process counts as one of them
// only when its executable lies in a folder the program knows as the
// player's: its own component folder, the folder learned this run, or the
// one stored in peerw. A same-named program anywhere else is never ended and
// never taken for the terminal.
class TablePlayerProcesses final : public PlayerProcesses {
public:
    // componentFolder: where the build installs the player programs (the
    // executable's folder + "Peer/"), ending with "/".
    TablePlayerProcesses(ProcessTable &table, Settings settings, QString componentFolder);

    // Keeps the player programs' configuration in this per-user folder
    // instead of the player folder, which an installed program's user
    // cannot write (and which every user would share). The terminal is
    // started with it. A configuration of the player folder is copied there
    // once, when the user's has none yet.
    void setUserConfigFolder(const QString &folder);
    QString configFolder() override;

    void runHousekeeping() override;
    QString playerFolder() const override { return folder_; }
    QString knownPlayerFolder() override;
    bool endProcessByName(const QString &text) override;
    void endPlayerPrograms() override;
    void startTerminal() override;
    void ensureTerminalRunning() override;

private:
    bool isPlayerProcess(const ProcessEntry &p) const;
    QString storedFolder() const; // peerw, "" when unset or not a folder
    bool terminalRunning();
    void startTerminalFrom(const QString &folder);
    void endAllNamed(const QString &name);

    ProcessTable &table_;
    Settings settings_;
    QString componentFolder_;
    QString folder_; // learned by housekeeping; kept for the window's lifetime
    QString userConfigFolder_;
};

} // namespace vantoli
