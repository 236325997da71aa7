#pragma once
// The player programs PeerPlayer and PeerTerminal as processes: the
// housekeeping run after load and after a link execute (learn the player
// folder, end a running PeerPlayer unless peerqi is "1", start PeerTerminal
// when it is absent, store the folder as peerw), ending a program by name on
// exit, and starting the terminal again after the cache folder changed.
//
// Only processes of the current user are ever touched; the process table is
// an interface so that tests list and end only processes they started.

#include <QString>

namespace vantoli {

class Settings;

class PlayerProcesses {
public:
    virtual ~PlayerProcesses() = default;
    // The housekeeping run (Timer3's work).
    virtual void runHousekeeping() = 0;
    // The player folder learned so far, ending with "/"; "" before any.
    virtual QString playerFolder() const = 0;
    // The player folder, read from peerw when none was learned this run
    // ("" when peerw is unset or "0").
    virtual QString knownPlayerFolder() = 0;
    // Ends at most one process whose executable file name contains text
    // (exact case). True when one was ended.
    virtual bool endProcessByName(const QString &text) = 0;
    // Ends PeerPlayer, then PeerTerminal (exit routine with peerk = 2, and
    // the settings dialog before the cache folder changes).
    virtual void endPlayerPrograms() = 0;
    // Starts PeerTerminal from the player folder (or the program's own
    // component folder when none is known), without waiting.
    virtual void startTerminal() = 0;
    // Starts PeerTerminal unless it already runs.
    virtual void ensureTerminalRunning() = 0;
};

} // namespace vantoli
