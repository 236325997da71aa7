// Keeping the screen awake, against stand-ins for the screensaver and logind
// on a private bus: inhibited exactly while the player plays, released at
// once on pause, stop and end, and when the inhibitor goes.

#include "desktop/play_inhibitor.h"
#include "support/fake_player.h"
#include "private_bus.h"

#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QMutex>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace vantoli {
namespace {

// Records "inhibit <application>" and "release <cookie>"; lives on a thread
// of its own, so that a blocking release from the test's thread is answered.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList events() {
        QMutexLocker lock(&mutex_);
        return events_;
    }
public slots:
    uint Inhibit(const QString &application, const QString &) {
        QMutexLocker lock(&mutex_);
        events_ << QStringLiteral("inhibit ") + application;
        return ++cookie_;
    }
    void UnInhibit(uint cookie) {
        QMutexLocker lock(&mutex_);
        events_ << QStringLiteral("release %1").arg(cookie);
    }

private:
    QMutex mutex_;
    QStringList events_;
    uint cookie_ = 0;
};

// Hands out the write end of a pipe, as logind hands out its lock; the read
// end sees the end of the file once every copy of the lock is closed.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    int readEnd = -1;
    QString what;
    ~FakeLogind() override {
        if (readEnd >= 0)
            ::close(readEnd);
    }
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &w, const QString &, const QString &, const QString &) {
        what = w;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return {};
        readEnd = fds[0];
        QDBusUnixFileDescriptor lock(fds[1]); // a copy
        ::close(fds[1]);
        return lock;
    }
};

bool lockReleased(int readEnd) {
    pollfd p{readEnd, POLLIN, 0};
    char c;
    return ::poll(&p, 1, 0) == 1 && ::read(readEnd, &c, 1) == 0;
}

class PlayInhibitorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus = new test::PrivateBus; }
    static void TearDownTestSuite() {
        delete bus;
        bus = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(bus->address().isEmpty()) << "dbus-daemon (package dbus-daemon) did not start";
        player.url = QStringLiteral("/media/clip.mp4");
        client = bus->connect(QStringLiteral("inhibit-client"));
    }
    void TearDown() override {
        if (serviceThread.isRunning()) {
            QDBusConnection service(QStringLiteral("inhibit-service"));
            service.unregisterObject(objectPath);
            service.unregisterService(serviceName);
            QDBusConnection::disconnectFromBus(QStringLiteral("inhibit-service"));
            serviceThread.quit();
            serviceThread.wait();
        }
        delete screenSaver;
        delete logind;
        QDBusConnection::disconnectFromBus(QStringLiteral("inhibit-client"));
    }

    void offer(QObject *fake, const QString &name, const QString &path) {
        serviceName = name;
        objectPath = path;
        fake->moveToThread(&serviceThread);
        serviceThread.start();
        QDBusConnection service = bus->connect(QStringLiteral("inhibit-service"));
        ASSERT_TRUE(service.registerObject(path, fake, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(name));
    }
    void offerScreenSaver() {
        screenSaver = new FakeScreenSaver;
        offer(screenSaver, QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/org/freedesktop/ScreenSaver"));
    }
    std::unique_ptr<PlayInhibitor> makeInhibitor(bool withLogind = false) {
        InhibitBuses buses;
        buses.screenSaver = client;
        if (withLogind)
            buses.logind = client;
        return std::make_unique<PlayInhibitor>(player, buses);
    }
    bool eventsBecome(const QStringList &expected) {
        return test::spinUntil([&] { return screenSaver->events() == expected; });
    }

    static test::PrivateBus *bus;
    FakePlayer player;
    QDBusConnection client{QString()};
    QThread serviceThread;
    QString serviceName, objectPath;
    FakeScreenSaver *screenSaver = nullptr;
    FakeLogind *logind = nullptr;
};
test::PrivateBus *PlayInhibitorTest::bus = nullptr;

TEST_F(PlayInhibitorTest, HeldExactlyWhilePlaying) {
    offerScreenSaver();
    auto inhibitor = makeInhibitor();
    inhibitor->start(10);
    // On the way to playing is not playing yet.
    for (int s : {kStateConnecting, kStateBuffering, kStatePreparing}) {
        player.state = s;
        test::spinUntil([] { return false; }, 40);
    }
    EXPECT_TRUE(screenSaver->events().isEmpty());

    player.state = kStatePlaying;
    ASSERT_TRUE(eventsBecome({"inhibit Vantoli"}));
    EXPECT_TRUE(test::spinUntil([&] { return inhibitor->screenSaverInhibited(); }));
    player.state = kStatePaused;
    ASSERT_TRUE(eventsBecome({"inhibit Vantoli", "release 1"}));
    EXPECT_FALSE(inhibitor->screenSaverInhibited());
    player.state = kStatePlaying;
    player.state = kStatePlaying;
    ASSERT_TRUE(eventsBecome({"inhibit Vantoli", "release 1", "inhibit Vantoli"}));
    player.state = kStateStopped;
    ASSERT_TRUE(eventsBecome({"inhibit Vantoli", "release 1", "inhibit Vantoli", "release 2"}));
    player.state = kStatePlaying;
    ASSERT_TRUE(test::spinUntil([&] { return inhibitor->screenSaverInhibited(); }));
    player.state = kStateFinished;
    ASSERT_TRUE(eventsBecome({"inhibit Vantoli", "release 1", "inhibit Vantoli", "release 2", "inhibit Vantoli",
                              "release 3"}));

    // Going away while playing lets go before the destructor returns.
    player.state = kStatePlaying;
    ASSERT_TRUE(test::spinUntil([&] { return inhibitor->screenSaverInhibited(); }));
    inhibitor.reset();
    EXPECT_EQ(screenSaver->events().last(), QStringLiteral("release 4"));
}

TEST_F(PlayInhibitorTest, PauseBeforeTheAnswerStillReleases) {
    offerScreenSaver();
    auto inhibitor = makeInhibitor();
    inhibitor->setPlaying(true);
    inhibitor->setPlaying(false);
    ASSERT_TRUE(eventsBecome({"inhibit Vantoli", "release 1"}));
    EXPECT_FALSE(inhibitor->screenSaverInhibited());
    // And a play again afterwards asks again.
    inhibitor->setPlaying(true);
    ASSERT_TRUE(eventsBecome({"inhibit Vantoli", "release 1", "inhibit Vantoli"}));
}

TEST_F(PlayInhibitorTest, NoScreenSaverIsNoError) {
    auto inhibitor = makeInhibitor();
    player.state = kStatePlaying;
    inhibitor->start(10);
    test::spinUntil([] { return false; }, 100);
    EXPECT_FALSE(inhibitor->screenSaverInhibited());
    player.state = kStatePaused;
    test::spinUntil([] { return false; }, 50);
    inhibitor.reset(); // nothing held, nothing to wait for
}

TEST_F(PlayInhibitorTest, LogindLockIsADescriptorDroppedOnPause) {
    logind = new FakeLogind;
    offer(logind, QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"));
    auto inhibitor = makeInhibitor(true);
    inhibitor->setPlaying(true);
    ASSERT_TRUE(test::spinUntil([&] { return inhibitor->idleInhibited(); }));
    EXPECT_EQ(logind->what, QStringLiteral("idle"));
    test::spinUntil([] { return false; }, 50);
    EXPECT_FALSE(lockReleased(logind->readEnd));
    inhibitor->setPlaying(false);
    EXPECT_FALSE(inhibitor->idleInhibited());
    EXPECT_TRUE(test::spinUntil([&] { return lockReleased(logind->readEnd); }));
}

} // namespace
} // namespace vantoli

#include "play_inhibitor_test.moc"
