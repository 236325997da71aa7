#include "desktop/mpris.h"

#include "app/text_util.h"
#include "catalog/escape.h"
#include "catalog/links.h"
#include "platform/file_name.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDateTime>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace vantoli {
namespace {

constexpr qint64 kMicro = 1000000;
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

// org.mpris.MediaPlayer2: the program as a whole.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ schemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    MprisRootAdaptor(QObject *holder, MprisService &service) : QDBusAbstractAdaptor(holder), s_(service) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Vantoli"); }
    QString desktopEntry() const { return QStringLiteral("vantoli"); }
    QStringList schemes() const {
        return {QStringLiteral("kxbovod"), QStringLiteral("kxpeer"), QStringLiteral("kxtvs"), QStringLiteral("http"),
                QStringLiteral("https")};
    }
    QStringList mimeTypes() const { return {}; }
public slots:
    void Raise() { s_.raise(); }
    void Quit() { s_.quit(); }

private:
    MprisService &s_;
};

// org.mpris.MediaPlayer2.Player: transport, position, volume, what plays.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    MprisPlayerAdaptor(QObject *holder, MprisService &service) : QDBusAbstractAdaptor(holder), s_(service) {
        connect(&service, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
    }
    QString playbackStatus() const { return s_.read().playbackStatus; }
    double rate() const { return 1.0; }
    void setRate(double) {}
    QVariantMap metadata() const { return s_.read().metadata; }
    double volume() const { return s_.read().volume; }
    void setVolume(double v) { s_.setVolume(v); }
    qlonglong position() const { return s_.read().positionUs; }
    bool canSeek() const { return s_.read().canSeek; }
    bool yes() const { return true; }
public slots:
    void Next() { s_.runTransport(7); }
    void Previous() { s_.runTransport(5); }
    void Pause() { s_.pause(); }
    void PlayPause() { s_.playPause(); }
    void Stop() { s_.runTransport(1); }
    void Play() { s_.play(); }
    void Seek(qlonglong offset) { s_.seekBy(offset); }
    void SetPosition(const QDBusObjectPath &track, qlonglong position) { s_.setPositionUs(track.path(), position); }
    void OpenUri(const QString &uri) { s_.openUri(uri); }
signals:
    void Seeked(qlonglong position);

private:
    MprisService &s_;
};

QString mprisPlaybackStatus(int playState, const QString &url) {
    if (url.isEmpty())
        return QStringLiteral("Stopped");
    switch (playState) {
    case kStatePlaying:
    case kStateBuffering:
    case kStateWaiting:
    case kStatePreparing:
    case kStateReconnecting:
    case kStateFetchingSeed:
    case kStateConnecting:
        return QStringLiteral("Playing");
    case kStatePaused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

MprisService::MprisService(MprisSources sources, QDBusConnection bus, QObject *parent)
    : QObject(parent), s_(std::move(sources)), bus_(std::move(bus)) {
    new MprisRootAdaptor(this, *this);
    new MprisPlayerAdaptor(this, *this);
}

MprisService::~MprisService() {
    if (registered_) {
        bus_.unregisterService(kMprisServiceName);
        bus_.unregisterObject(kMprisObjectPath);
    }
}

bool MprisService::start(int pollMs) {
    if (!bus_.isConnected())
        return false;
    if (!bus_.registerObject(kMprisObjectPath, this))
        return false;
    if (!bus_.registerService(kMprisServiceName)) {
        bus_.unregisterObject(kMprisObjectPath);
        return false;
    }
    registered_ = true;
    last_ = read();
    lastPollMs_ = QDateTime::currentMSecsSinceEpoch();
    poll_ = new QTimer(this);
    poll_->setInterval(pollMs);
    connect(poll_, &QTimer::timeout, this, [this] { refresh(true); });
    // Read once the operation that changed the session is over, so that a
    // new item is never reported half started.
    connect(s_.session, &PlaybackSession::changed, this, [this] {
        if (refreshQueued_)
            return;
        refreshQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            refreshQueued_ = false;
            refresh(true);
        });
    });
    poll_->start();
    return true;
}

QString MprisService::trackId() const {
    return s_.player->Url().isEmpty() ? kNoTrack
                                      : QStringLiteral("/org/vantoli/track/%1").arg(trackNumber_);
}

MprisSnapshot MprisService::read() {
    MprisSnapshot snap;
    const Player &p = *s_.player;
    const PlaybackState &st = s_.session->state();
    const QString url = p.Url();
    const int duration = p.Duration();
    snap.playbackStatus = mprisPlaybackStatus(p.PlayState(), url);
    snap.volume = std::clamp(p.Volume(), 0, 100) / 100.0;
    snap.positionUs = qint64(std::max(0, p.Position())) * kMicro;
    snap.canSeek = !url.isEmpty() && duration > 0 && st.playAreaMode == kPlayAreaPlayer;

    // Each new item gets its own track id.
    const QString key = url + u'\n' + st.currentItemKey + u'\n' + st.currentItemReference;
    if (key != trackKey_) {
        trackKey_ = key;
        ++trackNumber_;
    }
    if (url.isEmpty()) {
        snap.metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
        return snap;
    }
    QVariantMap &m = snap.metadata;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId())));
    if (duration > 0)
        m.insert(QStringLiteral("mpris:length"), qint64(duration) * kMicro);
    m.insert(QStringLiteral("xesam:url"), url);
    const auto itemKey = splitItemKey(st.currentItemKey);
    QString title;
    if (st.playSource == kSourceNetwork && itemKey && itemKey->fields == 4) {
        // The window cuts the title to its label's width; the full title is
        // in the item key.
        const QString series = unescapeText(itemKey->title);
        const QString &episode = st.currentEpisodeName;
        title = episode.isEmpty() ? series : series + QStringLiteral(" - ") + episode;
        if (!series.isEmpty())
            m.insert(QStringLiteral("xesam:album"), series);
    } else {
        title = displayName(st.currentItemReference != kNothing ? st.currentItemReference : url);
    }
    if (title.isEmpty())
        title = displayName(url);
    // A file name's bytes that are not UTF-8 are shown as U+FFFD.
    m.insert(QStringLiteral("xesam:title"), fileNameForDisplay(title));
    return snap;
}

void MprisService::refresh() { refresh(true); }

void MprisService::refresh(bool detectSeek) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const MprisSnapshot next = read();
    QVariantMap changed;
    if (next.playbackStatus != last_.playbackStatus)
        changed.insert(QStringLiteral("PlaybackStatus"), next.playbackStatus);
    if (next.metadata != last_.metadata)
        changed.insert(QStringLiteral("Metadata"), next.metadata);
    if (!qFuzzyCompare(1.0 + next.volume, 1.0 + last_.volume))
        changed.insert(QStringLiteral("Volume"), next.volume);
    if (next.canSeek != last_.canSeek)
        changed.insert(QStringLiteral("CanSeek"), next.canSeek);
    // Position is not signalled as it runs; a jump away from where it should
    // be by now is a seek.
    const qint64 elapsedUs = last_.playbackStatus == u"Playing" ? (now - lastPollMs_) * 1000 : 0;
    const qint64 expected = last_.positionUs + elapsedUs;
    const bool sameTrack = next.metadata.value(QStringLiteral("mpris:trackid")) ==
                           last_.metadata.value(QStringLiteral("mpris:trackid"));
    const bool jumped = detectSeek && sameTrack && std::llabs(next.positionUs - expected) > 2 * kMicro;
    last_ = next;
    lastPollMs_ = now;
    if (!changed.isEmpty())
        propertiesChanged(kPlayerInterface, changed);
    if (jumped)
        emit seeked(next.positionUs);
    if (pausePending_ && next.playbackStatus != u"Playing")
        pausePending_ = false;
    if (pausePending_ && s_.session->state().pauseFace)
        runTransport(0);
}

void MprisService::propertiesChanged(const QString &interface, const QVariantMap &changed) {
    if (!registered_)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kMprisObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

void MprisService::raise() {
    if (s_.raise)
        s_.raise();
}

void MprisService::quit() {
    // Later, so that the caller gets its reply before the window goes.
    if (s_.quit)
        QTimer::singleShot(0, this, [this] { s_.quit(); });
}

void MprisService::runTransport(int index) {
    pausePending_ = false;
    // A media key is no mouse click: a pending right-click suppression does
    // not swallow it.
    if (s_.view && s_.view->clickSuppress())
        s_.view->setClickSuppress(false);
    s_.transport->bo_but_Click(index);
    refresh();
}

// Button 0 toggles; its face says which way it goes.
void MprisService::play() {
    pausePending_ = false;
    if (!s_.session->state().pauseFace)
        runTransport(0);
}

void MprisService::pause() {
    if (s_.session->state().pauseFace) {
        runTransport(0);
        return;
    }
    // An item that is starting shows its pause face only from the window's
    // next status tick; the pause waits for it instead of being lost.
    pausePending_ = read().playbackStatus == u"Playing";
}

// Toggles what the desktop was told, which may run ahead of the button face.
void MprisService::playPause() {
    if (read().playbackStatus == u"Playing")
        pause();
    else
        play();
}

void MprisService::seekTo(qint64 seconds) {
    s_.player->setPosition(int(seconds));
    refresh(false);
    emit seeked(qint64(std::max(0, s_.player->Position())) * kMicro);
}

void MprisService::seekBy(qint64 offsetUs) {
    const MprisSnapshot now = read();
    if (!now.canSeek)
        return;
    const qint64 length = qint64(s_.player->Duration()) * kMicro;
    const qint64 target = now.positionUs + offsetUs;
    // Past the end is the next item, before the start is the start.
    if (target >= length) {
        runTransport(7);
        return;
    }
    seekTo(std::max<qint64>(0, target) / kMicro);
}

void MprisService::setPositionUs(const QString &track, qint64 positionUs) {
    const MprisSnapshot now = read();
    if (!now.canSeek || track != trackId())
        return;
    if (positionUs < 0 || positionUs > qint64(s_.player->Duration()) * kMicro)
        return;
    seekTo(positionUs / kMicro);
}

void MprisService::setVolume(double volume) {
    if (!std::isfinite(volume))
        return;
    const int v = int(std::lround(std::clamp(volume, 0.0, 1.0) * 100));
    if (s_.setVolume)
        s_.setVolume(v);
    else
        s_.player->setVolume(v);
    refresh();
}

void MprisService::openUri(const QString &uri) {
    if (s_.openUri)
        s_.openUri(uri);
}

} // namespace vantoli

#include "mpris.moc"
