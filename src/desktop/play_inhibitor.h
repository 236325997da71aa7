#pragma once
// Keeps the screen awake while a video plays: while the player reads
// "playing" (not paused, stopped, ended or still connecting) the session's
// screensaver is asked not to blank the screen (org.freedesktop.ScreenSaver)
// and, where one is given, logind is asked to hold off idle actions.
// Both are let go at once when playing ends, and when the inhibitor goes.
//
// Nothing outlives the process: the screensaver drops an inhibition whose
// caller leaves the bus, and logind's inhibition is a file descriptor that
// the kernel closes with the process.

#include "playback/player.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

#include <optional>

class QTimer;

namespace vantoli {

struct InhibitBuses {
    // The session bus, where the screensaver lives.
    std::optional<QDBusConnection> screenSaver;
    // The bus where logind lives (the system bus); none leaves it out.
    std::optional<QDBusConnection> logind;
    QString application = QStringLiteral("Vantoli");
    QString reason = QStringLiteral("Playing a video");
};

class PlayInhibitor : public QObject {
    Q_OBJECT
public:
    PlayInhibitor(const Player &player, InhibitBuses buses, QObject *parent = nullptr);
    // Lets go of whatever is held, waiting briefly for the screensaver.
    ~PlayInhibitor() override;

    // Polls the player every pollMs.
    void start(int pollMs = 250);
    // Reads the player now and inhibits or releases.
    void update();
    void setPlaying(bool playing);

    bool screenSaverInhibited() const { return cookie_.has_value(); }
    bool idleInhibited() const { return idleLock_.isValid(); }

private:
    void inhibitScreenSaver();
    void releaseScreenSaver(bool wait);
    void inhibitIdle();

    const Player &player_;
    InhibitBuses buses_;
    QTimer *poll_ = nullptr;
    bool wanted_ = false;
    bool screenSaverPending_ = false;
    bool idlePending_ = false;
    std::optional<uint> cookie_;
    QDBusUnixFileDescriptor idleLock_;
};

} // namespace vantoli
