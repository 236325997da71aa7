#pragma once
// The program's exit routine: what goes, in which order, when the user
// quits. The window supplies the steps; the order and the peerk decision
// live here so they are tested without a window.

namespace vantoli {

class PlayerProcesses;
class Settings;

class ExitSteps {
public:
    virtual ~ExitSteps() = default;
    virtual void removeTrayIcon() = 0;
    virtual bool playerShown() const = 0; // the play area shows the player
    virtual void stopPlayback() = 0;      // transport stop: saves the position
    virtual void stopHousekeeping() = 0;  // no later run may start the terminal again
    virtual void cancelWaitingFetch() = 0; // it ends with the empty reply
    // The menus go later than the rest: the exit command may be running
    // inside one of their items.
    virtual void unloadMenus() = 0;
    virtual void unloadNoticeWindow() = 0;
    virtual void unloadSettingsWindow() = 0;
    virtual void closeMainWindow() = 0;
    // Shows the recommendation window when the control file asked for it;
    // true when shown (it ends the process as it closes).
    virtual bool showRecommendation() = 0;
    virtual void quit() = 0;
};

// Tray icon away; a player playback stopped; with S_q/peerk 2 the player
// programs ended (PeerPlayer, then PeerTerminal); a waiting fetch cancelled;
// menus, notice, settings and main window unloaded in that order; then the
// recommendation window or the end of the process. processes may be null.
void runExitRoutine(ExitSteps &steps, const Settings &settings, PlayerProcesses *processes);

} // namespace vantoli
