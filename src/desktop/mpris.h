#pragma once
// The desktop's media-player remote control (MPRIS 2) on a D-Bus connection:
// the bus name org.mpris.MediaPlayer2.vantoli with the object
// /org/mpris/MediaPlayer2. Media keys, the desktop's player applet and
// command-line tools reach the player through it.
//
// The service keeps no playback logic of its own: what it reports is read
// from the player and the window's playback session, and what it is asked to
// do runs the window's transport commands (so Next and Previous step
// episodes, Stop saves the position) or the player's own seek and volume.
// The player pushes nothing, so the service polls it and signals
// PropertiesChanged (and Seeked on a jump) when what it reports changes; a
// change of the session is read at once.

#include "playback/playback_session.h"
#include "playback/playback_view.h"
#include "playback/player.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

class QTimer;

namespace vantoli {

inline const QString kMprisServiceName = QStringLiteral("org.mpris.MediaPlayer2.vantoli");
inline const QString kMprisObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

struct MprisSources {
    Player *player = nullptr;
    const PlaybackSession *session = nullptr;
    PlaybackView *view = nullptr; // the click-suppress flag
    TransportCommands *transport = nullptr;
    // Sets the volume (0 to 100) so that the volume bar follows; the
    // player's own setVolume when left out.
    std::function<void(int)> setVolume;
    std::function<void()> raise;
    std::function<void()> quit;
    // A link or file handed over by OpenUri, as if the program were started
    // with it; OpenUri does nothing when left out.
    std::function<void(const QString &)> openUri;
};

// What the service reports at one moment.
struct MprisSnapshot {
    QString playbackStatus; // "Playing", "Paused", "Stopped"
    QVariantMap metadata;
    double volume = 0;      // 0.0 to 1.0
    qint64 positionUs = 0;
    bool canSeek = false;
    bool operator==(const MprisSnapshot &) const = default;
};

// Playing while the player plays or is on its way to (buffering, connecting);
// Paused while paused; Stopped otherwise and whenever nothing is loaded.
QString mprisPlaybackStatus(int playState, const QString &url);

class MprisService : public QObject {
    Q_OBJECT
public:
    MprisService(MprisSources sources, QDBusConnection bus, QObject *parent = nullptr);
    ~MprisService() override;

    // Exports the object and takes the bus name; false when either fails
    // (another program holds the name, or there is no bus).
    bool start(int pollMs = 250);

    // Reads the sources now and signals what changed since the last read.
    void refresh();
    const MprisSnapshot &current() const { return last_; }
    MprisSnapshot read();

    // The MediaPlayer2 and MediaPlayer2.Player operations, called by the
    // adaptors.
    void raise();
    void quit();
    void runTransport(int index);
    void play();
    void pause();
    void playPause();
    void seekBy(qint64 offsetUs);
    void setPositionUs(const QString &trackId, qint64 positionUs);
    void setVolume(double volume);
    void openUri(const QString &uri);
    QString trackId() const;

signals:
    // For the adaptor's Seeked signal: the new position in microseconds.
    void seeked(qint64 positionUs);

private:
    void seekTo(qint64 seconds);
    // detectSeek false: a seek of our own, announced by seekTo itself.
    void refresh(bool detectSeek);
    void propertiesChanged(const QString &interface, const QVariantMap &changed);

    MprisSources s_;
    QDBusConnection bus_;
    QTimer *poll_ = nullptr;
    bool registered_ = false;
    MprisSnapshot last_;
    // A new id for every item: the url and history key tell items apart.
    QString trackKey_;
    quint64 trackNumber_ = 0;
    qint64 lastPollMs_ = 0;
    // Pause asked for before the window turned its button to pause.
    bool pausePending_ = false;
    bool refreshQueued_ = false;
};

} // namespace vantoli
