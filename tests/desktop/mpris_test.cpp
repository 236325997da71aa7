// The remote control as a desktop applet or a media key sees it: a client on
// a private bus reads the properties, drives the transport and seeks, and
// hears PropertiesChanged and Seeked.

#include "desktop/mpris.h"
#include "platform/file_name.h"
#include "support/fake_playback_view.h"
#include "support/fake_player.h"
#include "private_bus.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <gtest/gtest.h>

namespace vantoli {
namespace {

const QString kProps = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// Button 0 toggles between play and pause as the window's does.
class RecordingTransport : public TransportCommands {
public:
    RecordingTransport(FakePlayer &p, PlaybackSession &s) : player(p), session(s) {}
    void bo_but_Click(int index) override {
        clicks << index;
        if (index == 0) {
            const bool pause = session.state().pauseFace;
            pause ? player.Pause() : player.Play();
            session.setPauseFace(!pause);
        }
    }
    FakePlayer &player;
    PlaybackSession &session;
    QList<int> clicks;
};

// Collects the PropertiesChanged and Seeked signals the client receives.
class SignalLog : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;
public slots:
    void changed(const QString &interface, const QVariantMap &props, const QStringList &) {
        if (interface == kPlayer)
            changes << props;
    }
    void seeked(qlonglong position) { seeks << position; }
};

QVariantMap asMap(const QVariant &v) {
    if (v.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(v.value<QDBusArgument>());
    return v.toMap();
}

class MprisTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus = new test::PrivateBus; }
    static void TearDownTestSuite() {
        delete bus;
        bus = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(bus->address().isEmpty()) << "dbus-daemon (package dbus-daemon) did not start";
        player.url = QStringLiteral("http://127.0.0.1:8260/media/4.mp4");
        player.state = kStatePlaying;
        player.duration = 100;
        player.position = 30;
        player.volume = 40;
        session.setPlayAreaMode(kPlayAreaPlayer);
        session.startNetworkItem(QStringLiteral("12-0-3-%u4E2D%u6587"), QStringLiteral("第4集"), QStringLiteral("12"));
        session.setPauseFace(true);

        serviceBus = bus->connect(QStringLiteral("mpris-service"));
        service = std::make_unique<MprisService>(sources(), serviceBus);
        ASSERT_TRUE(service->start(20));
        client = bus->connect(QStringLiteral("mpris-client"));
        client.connect(kMprisServiceName, kMprisObjectPath, kProps, QStringLiteral("PropertiesChanged"), &log,
                       SLOT(changed(QString, QVariantMap, QStringList)));
        client.connect(kMprisServiceName, kMprisObjectPath, kPlayer, QStringLiteral("Seeked"), &log,
                       SLOT(seeked(qlonglong)));
    }
    void TearDown() override {
        service.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("mpris-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("mpris-service"));
    }

    MprisSources sources() {
        MprisSources s;
        s.player = &player;
        s.session = &session;
        s.view = &view;
        s.transport = &transport;
        s.setVolume = [this](int v) { volumes << v; };
        s.raise = [this] { ++raised; };
        s.quit = [this] { ++quits; };
        return s;
    }
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(kMprisServiceName, kMprisObjectPath, interface, method);
        m.setArguments(args);
        return test::callAndWait(client, m);
    }
    QVariant get(const QString &interface, const QString &name) {
        const QDBusMessage reply = call(kProps, QStringLiteral("Get"), {interface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    void set(const QString &name, const QVariant &value) {
        call(kProps, QStringLiteral("Set"), {kPlayer, name, QVariant::fromValue(QDBusVariant(value))});
    }

    static test::PrivateBus *bus;
    FakePlayer player;
    PlaybackSession session;
    FakePlaybackView view;
    RecordingTransport transport{player, session};
    QList<int> volumes;
    int raised = 0, quits = 0;
    QDBusConnection serviceBus{QString()};
    QDBusConnection client{QString()};
    std::unique_ptr<MprisService> service;
    SignalLog log;
};
test::PrivateBus *MprisTest::bus = nullptr;

TEST_F(MprisTest, ReportsWhatPlays) {
    EXPECT_EQ(get(kRoot, QStringLiteral("Identity")).toString(), QStringLiteral("Vantoli"));
    EXPECT_EQ(get(kRoot, QStringLiteral("DesktopEntry")).toString(), QStringLiteral("vantoli"));
    EXPECT_TRUE(get(kRoot, QStringLiteral("CanRaise")).toBool());
    EXPECT_EQ(get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    EXPECT_EQ(get(kPlayer, QStringLiteral("Position")).toLongLong(), 30'000'000);
    EXPECT_DOUBLE_EQ(get(kPlayer, QStringLiteral("Volume")).toDouble(), 0.4);
    EXPECT_TRUE(get(kPlayer, QStringLiteral("CanSeek")).toBool());

    // The full title from the item key (the label cuts it), and the episode.
    const QVariantMap meta = asMap(get(kPlayer, QStringLiteral("Metadata")));
    EXPECT_EQ(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("中文 - 第4集"));
    EXPECT_EQ(meta.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("中文"));
    EXPECT_EQ(meta.value(QStringLiteral("mpris:length")).toLongLong(), 100'000'000);
    EXPECT_EQ(meta.value(QStringLiteral("xesam:url")).toString(), player.url);
    const QString track = meta.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
    EXPECT_TRUE(track.startsWith(QStringLiteral("/org/vantoli/track/"))) << track.toStdString();

    // A title with "-" of its own is whole.
    session.startNetworkItem(QStringLiteral("12-0-3-Spider-Man%202"), QStringLiteral("E4"), QStringLiteral("12"));
    const QVariantMap dashed = asMap(get(kPlayer, QStringLiteral("Metadata")));
    EXPECT_EQ(dashed.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("Spider-Man 2"));
    EXPECT_EQ(dashed.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Spider-Man 2 - E4"));

    // A local file is named by its file name.
    session.startLocalItem(QStringLiteral("/home/u/Media/假期 1.mkv"), 0);
    const QVariantMap local = asMap(get(kPlayer, QStringLiteral("Metadata")));
    EXPECT_EQ(local.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("假期 1.mkv"));
    EXPECT_NE(local.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(), track);
    // A name whose bytes are not UTF-8 ("été" in Latin-1) is shown with U+FFFD.
    session.startLocalItem(fileNameFromBytes("/home/u/\xE9t\xE9.mkv"), 0);
    EXPECT_EQ(asMap(get(kPlayer, QStringLiteral("Metadata"))).value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("\uFFFDt\uFFFD.mkv"));
    session.startLocalItem(QStringLiteral("/home/u/Media/假期 1.mkv"), 0);

    // Paused, on its way, and nothing loaded (whatever the state code says).
    player.state = kStatePaused;
    EXPECT_EQ(get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
    player.state = kStateConnecting;
    EXPECT_EQ(get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    player.state = kStateFinished;
    EXPECT_EQ(get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    player.state = kStatePlaying;
    player.url.clear();
    EXPECT_EQ(get(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    EXPECT_FALSE(get(kPlayer, QStringLiteral("CanSeek")).toBool());
    EXPECT_EQ(asMap(get(kPlayer, QStringLiteral("Metadata"))).value(QStringLiteral("mpris:trackid"))
                  .value<QDBusObjectPath>().path(),
              QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));

    // Only one program holds the name.
    QDBusConnection other = bus->connect(QStringLiteral("mpris-other"));
    MprisSources s;
    s.player = &player;
    s.session = &session;
    s.transport = &transport;
    EXPECT_FALSE(MprisService(s, other).start());
    QDBusConnection::disconnectFromBus(QStringLiteral("mpris-other"));
}

TEST_F(MprisTest, TransportGoesThroughTheWindowsCommands) {
    // Pause and Play only act when the toggle faces their way.
    call(kPlayer, QStringLiteral("Play"));
    EXPECT_TRUE(transport.clicks.isEmpty());
    call(kPlayer, QStringLiteral("Pause"));
    EXPECT_EQ(transport.clicks, QList<int>{0});
    EXPECT_EQ(player.state, kStatePaused);
    call(kPlayer, QStringLiteral("Pause"));
    call(kPlayer, QStringLiteral("Play"));
    call(kPlayer, QStringLiteral("PlayPause"));
    call(kPlayer, QStringLiteral("Next"));
    call(kPlayer, QStringLiteral("Previous"));
    // A right-click suppression left on the buttons does not swallow a key.
    view.suppress = true;
    call(kPlayer, QStringLiteral("Stop"));
    EXPECT_FALSE(view.suppress);
    EXPECT_EQ(transport.clicks, (QList<int>{0, 0, 0, 7, 5, 1}));

    call(kRoot, QStringLiteral("Raise"));
    EXPECT_EQ(raised, 1);
    call(kRoot, QStringLiteral("Quit"));
    EXPECT_TRUE(test::spinUntil([&] { return quits == 1; }));
}

TEST_F(MprisTest, PauseWhileStartingWaitsForTheWindow) {
    // Starting: reported as playing, but the window's button still shows play.
    player.state = kStateConnecting;
    session.setPauseFace(false);
    call(kPlayer, QStringLiteral("Pause"));
    EXPECT_TRUE(transport.clicks.isEmpty());
    // The status tick turns the button: the pause runs then, once.
    player.state = kStatePlaying;
    session.setPauseFace(true);
    ASSERT_TRUE(test::spinUntil([&] { return !transport.clicks.isEmpty(); }));
    test::spinUntil([] { return false; }, 100);
    EXPECT_EQ(transport.clicks, QList<int>{0});
    EXPECT_EQ(player.state, kStatePaused);

    // A Play before the tick takes the pause back.
    transport.clicks.clear();
    player.state = kStateConnecting;
    session.setPauseFace(false);
    call(kPlayer, QStringLiteral("PlayPause"));
    call(kPlayer, QStringLiteral("Play"));
    EXPECT_EQ(transport.clicks, QList<int>{0});
    transport.clicks.clear();
    player.state = kStatePlaying;
    session.setPauseFace(true);
    test::spinUntil([] { return false; }, 150);
    EXPECT_TRUE(transport.clicks.isEmpty());
}

TEST_F(MprisTest, SeeksAndSetsTheVolume) {
    const auto trackId = [&] {
        return asMap(get(kPlayer, QStringLiteral("Metadata"))).value(QStringLiteral("mpris:trackid"))
            .value<QDBusObjectPath>();
    };
    call(kPlayer, QStringLiteral("Seek"), {qlonglong(10'000'000)});
    EXPECT_EQ(player.position, 40);
    call(kPlayer, QStringLiteral("Seek"), {qlonglong(-100'000'000)});
    EXPECT_EQ(player.position, 0);
    EXPECT_TRUE(test::spinUntil([&] { return log.seeks.size() >= 2; }));
    EXPECT_EQ(log.seeks.at(0), 40'000'000);
    EXPECT_EQ(log.seeks.at(1), 0);
    // Past the end is the next episode.
    call(kPlayer, QStringLiteral("Seek"), {qlonglong(200'000'000)});
    EXPECT_EQ(transport.clicks, QList<int>{7});

    // SetPosition names the track; a stale id or a place outside it does nothing.
    call(kPlayer, QStringLiteral("SetPosition"),
         {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/vantoli/track/999"))), qlonglong(50'000'000)});
    EXPECT_EQ(player.position, 0);
    call(kPlayer, QStringLiteral("SetPosition"), {QVariant::fromValue(trackId()), qlonglong(101'000'000)});
    EXPECT_EQ(player.position, 0);
    call(kPlayer, QStringLiteral("SetPosition"), {QVariant::fromValue(trackId()), qlonglong(50'000'000)});
    EXPECT_EQ(player.position, 50);

    // Web playback or the TV pane: the player is not what the user sees.
    session.setPlayAreaMode(kPlayAreaWeb);
    call(kPlayer, QStringLiteral("Seek"), {qlonglong(5'000'000)});
    EXPECT_EQ(player.position, 50);

    set(QStringLiteral("Volume"), 0.25);
    set(QStringLiteral("Volume"), 7.0);
    set(QStringLiteral("Volume"), -1.0);
    EXPECT_EQ(volumes, (QList<int>{25, 100, 0}));
}

TEST_F(MprisTest, SignalsChangesButNotTheRunningPosition) {
    // Nothing changes (a position behind by less than the allowance is no
    // jump): no signal at all, however often it is read.
    test::spinUntil([] { return false; }, 150);
    EXPECT_TRUE(log.changes.isEmpty());
    EXPECT_TRUE(log.seeks.isEmpty());

    player.state = kStatePaused;
    ASSERT_TRUE(test::spinUntil([&] { return !log.changes.isEmpty(); }));
    EXPECT_EQ(log.changes.last().value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));

    // The next episode: new metadata; a jump while paused is a seek.
    log.changes.clear();
    session.startNetworkItem(QStringLiteral("12-0-4-%u4E2D%u6587"), QStringLiteral("第5集"), QStringLiteral("12"));
    ASSERT_TRUE(test::spinUntil([&] { return !log.changes.isEmpty(); }));
    EXPECT_EQ(asMap(log.changes.last().value(QStringLiteral("Metadata"))).value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("中文 - 第5集"));
    player.position = 80;
    ASSERT_TRUE(test::spinUntil([&] { return !log.seeks.isEmpty(); }));
    EXPECT_EQ(log.seeks.last(), 80'000'000);

    log.changes.clear();
    player.volume = 70;
    ASSERT_TRUE(test::spinUntil([&] { return !log.changes.isEmpty(); }));
    EXPECT_DOUBLE_EQ(log.changes.last().value(QStringLiteral("Volume")).toDouble(), 0.7);
}

TEST_F(MprisTest, AChangeOfTheSessionIsToldWithoutWaitingForThePoll) {
    service.reset();
    service = std::make_unique<MprisService>(sources(), serviceBus);
    ASSERT_TRUE(service->start(600000));
    session.startNetworkItem(QStringLiteral("12-0-4-%u4E2D%u6587"), QStringLiteral("第5集"), QStringLiteral("12"));
    ASSERT_TRUE(test::spinUntil([&] { return !log.changes.isEmpty(); }, 5000));
    EXPECT_EQ(asMap(log.changes.last().value(QStringLiteral("Metadata"))).value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("中文 - 第5集"));
    // A player change alone waits for the poll.
    log.changes.clear();
    player.volume = 70;
    test::spinUntil([] { return false; }, 200);
    EXPECT_TRUE(log.changes.isEmpty());
}

} // namespace
} // namespace vantoli

#include "mpris_test.moc"
