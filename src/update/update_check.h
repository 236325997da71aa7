#pragma once
// The update check: once per run the control file "lib/wen.txt" of the
// content server switches notices and advertisement panes on and announces
// the latest release; the menu's manual check repeats the version decision
// from what the timed check stored, without fetching again.
//
// Plain logic: the window, the settings, the fetch and the updater are
// reached through the interfaces below, so every path runs in tests.

#include "app/version.h"
#include "platform/http_get.h"

#include <QString>

namespace vantoli {

class Dialogs;
class Settings;
class PlaybackSession;

// What the check does to the main window.
class UpdateHost {
public:
    virtual ~UpdateHost() = default;
    // Field 0 of the control file; "1" shows the recommendation at exit.
    virtual void setRecommendAtExit(const QString &flag) = 0;
    virtual void loadNoticePopup() = 0; // hidden; it decides what it shows
    virtual void gun_ad() = 0;          // the scrolling notice line
    virtual void showStopAdPane() = 0;  // bo_pad
    virtual void ttt_v() = 0;           // the exit routine
};

// Starting the updater.
class UpdaterLauncher {
public:
    virtual ~UpdaterLauncher() = default;
    // The local updater program is installed beside the program.
    virtual bool localUpdaterExists() const = 0;
    // Starts it to install `version`; false when it could not be started.
    virtual bool startLocalUpdater(const QString &version) = 0;
};

// The leading number of a text, as a loose numeric conversion reads it:
// leading blanks skipped, then an optional sign, digits and a fraction;
// 0 when the text does not start with a number.
double leadingNumber(const QString &text);

// Whether a latest-version text announces a release other than the one
// installed: not empty, numeric value not 0, and not the installed version.
// Release versions are compared number by number ("1.0" is the installed
// "1.0.0"), anything else as text. Blanks around it are not part of the
// version (a control file saved with a trailing line break must not offer
// the running version again). An older version is announced too: whether
// it may be installed is the updater's decision.
bool announcesRelease(const QString &latestVersion, const QString &installedVersion = programVersion());

// The version the updater refused before it started this run again
// (VANTOLI_UPDATE_REFUSED), taken out of the environment so it is not
// handed on to the next updater; "" when none.
QString takeRefusedVersion();

class UpdateCheck {
public:
    UpdateCheck(AsyncHttpGet &http, Dialogs &dialogs, const Settings &settings, PlaybackSession &session,
                UpdateHost &host, UpdaterLauncher &launcher, QString contentBase);

    // Timer5's tick: fetches the control file and applies it when it
    // arrives. Runs once; later calls do nothing.
    void timedCheck();
    // The program is ending: a control file still on its way is dropped.
    void cancel() { fetch_.cancel(); }
    // The menu's manual check (shengji).
    void shengji();

    // A version the updater refused in the run that started this one
    // (VANTOLI_UPDATE_REFUSED): the timed check does not offer it again,
    // so an automatic update of a broken release cannot quit the program
    // at every start. The menu's check still offers it.
    void setRefusedVersion(const QString &version) { refusedVersion_ = version.trimmed(); }

    const QString &latestVersion() const { return latestVersion_; }
    bool checked() const { return checked_; }

private:
    void apply(const QString &controlFile);
    // Starts the local updater, or opens the remote one in the browser.
    void startUpdater(const QString &version);
    // Accepting an update: the updater runs, the program quits without the
    // recommendation window.
    void quitForUpdate();

    Dialogs &dialogs_;
    const Settings &settings_;
    PlaybackSession &session_;
    UpdateHost &host_;
    UpdaterLauncher &launcher_;
    QString contentBase_;
    QString latestVersion_;
    QString refusedVersion_;
    bool checked_ = false;
    SingleFetch fetch_; // last: cancelled before the rest goes
};

} // namespace vantoli
