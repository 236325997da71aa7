// PeerPlayer's command line and the session behind its window, with a fake
// engine and a fake view.

#include "terminal/peer_player/command_line.h"
#include "terminal/peer_player/peer_session.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantoli::peer {
namespace {

TEST(PeerPlayerArgs, OddArgumentsStillGiveTheItem) {
    // Quotes a Windows-style launcher leaves, empty and blank arguments.
    auto a = parsePeerPlayerArgs({"", "  ", "\"/media/a film.mp4\"", "\"\""});
    EXPECT_EQ(a.item, "/media/a film.mp4");
    EXPECT_TRUE(a.warnings.isEmpty());

    // "--" lets an item look like an option; unknown options only warn.
    a = parsePeerPlayerArgs({"--fancy", "--volume=3", "--", "--clip.mp4"});
    EXPECT_EQ(a.item, "--clip.mp4");
    EXPECT_EQ(a.warnings.size(), 2);

    // A flag given a value is not taken as the flag.
    a = parsePeerPlayerArgs({"--print-first-frame-time=no", "x.mp4"});
    EXPECT_FALSE(a.printFirstFrameTime);
    EXPECT_EQ(a.warnings.size(), 1);

    a = parsePeerPlayerArgs({"--audio-output"});
    EXPECT_EQ(a.warnings.size(), 1);
    EXPECT_TRUE(a.item.isEmpty());
}

TEST(PeerPlayerArgs, OptionsOverrideTheEnvironment) {
    auto a = parsePeerPlayerArgs({}, " null ", "1");
    EXPECT_EQ(a.audioOutput, "null");
    EXPECT_TRUE(a.printFirstFrameTime);
    a = parsePeerPlayerArgs({"--audio-output", "pulse"}, "null", "0");
    EXPECT_EQ(a.audioOutput, "pulse");
    EXPECT_FALSE(a.printFirstFrameTime);
    a = parsePeerPlayerArgs({"--audio-output=alsa", "--print-first-frame-time"}, "null", "");
    EXPECT_EQ(a.audioOutput, "alsa");
    EXPECT_TRUE(a.printFirstFrameTime);
    EXPECT_TRUE(parsePeerPlayerArgs({"-h"}).help);
    EXPECT_TRUE(parsePeerPlayerArgs({"--version"}).version);
}

TEST(PeerPlayerArgs, WordsOfAnUnquotedPathAreJoinedOnlyWhenThatIsAFile) {
    QTemporaryDir dir;
    const QString spaced = dir.filePath("my  holiday.mp4");
    QFile(spaced).open(QIODevice::WriteOnly);
    const QString first = dir.filePath("my");
    auto a = parsePeerPlayerArgs({first, "", "holiday.mp4"});
    // Two blanks in the name cannot be guessed from the words: first word wins.
    EXPECT_EQ(a.item, first);
    EXPECT_EQ(a.warnings.size(), 1);

    const QString single = dir.filePath("my holiday.mp4");
    QFile(single).open(QIODevice::WriteOnly);
    a = parsePeerPlayerArgs({first, "holiday.mp4"});
    EXPECT_EQ(a.item, single);
    EXPECT_TRUE(a.warnings.isEmpty());
}

TEST(PlayTarget, PathsAddressesAndRefusedSchemes) {
    auto t = resolvePlayTarget("clips/../a.mp4", "/home/u");
    EXPECT_EQ(t.kind, PlayTarget::LocalFile);
    EXPECT_EQ(t.address, "/home/u/a.mp4");
    EXPECT_EQ(t.displayName, "a.mp4");

    t = resolvePlayTarget("file:///tmp/a%20b.mkv", "/home/u");
    EXPECT_EQ(t.kind, PlayTarget::LocalFile);
    EXPECT_EQ(t.address, "/tmp/a b.mkv");

    // A colon in a file name or a drive letter is no address.
    EXPECT_EQ(resolvePlayTarget("part:1.mp4", "/w").address, "/w/part:1.mp4");
    EXPECT_EQ(resolvePlayTarget("C:\\Media\\a.mp4", "/w").kind, PlayTarget::LocalFile);
    EXPECT_EQ(resolvePlayTarget("javascript:alert(1)", "/w").kind, PlayTarget::LocalFile);

    t = resolvePlayTarget("http://127.0.0.1:8260/v/%E7%AC%AC1%E9%9B%86.mp4?x=1", "/w");
    EXPECT_EQ(t.kind, PlayTarget::Network);
    EXPECT_EQ(t.address, "http://127.0.0.1:8260/v/%E7%AC%AC1%E9%9B%86.mp4?x=1"); // as written
    EXPECT_EQ(t.displayName, QStringLiteral("第1集.mp4"));
    EXPECT_EQ(resolvePlayTarget("HTTPS://example.test/", "/w").displayName, "example.test");

    // The engine's own protocols are never reachable from a command line.
    for (const char *item : {"rtmp://h/x", "av://lavfi:sine", "fd://0", "memory://abc", "http:///nohost",
                             "ftp://h/a.mp4"})
        EXPECT_EQ(resolvePlayTarget(item, "/w").kind, PlayTarget::Unsupported) << item;
    EXPECT_EQ(resolvePlayTarget("", "/w").kind, PlayTarget::None);
}

struct FakeEngine : MediaEngine {
    QStringList calls;
    void open(const QString &address) override { calls << "open " + address; }
    void setPaused(bool paused) override { calls << (paused ? "pause" : "resume"); }
    void stop() override { calls << "stop"; }
    void seek(double seconds) override { calls << "seek " + QString::number(seconds); }
    void setVolume(int volume) override { calls << "volume " + QString::number(volume); }
};

struct FakeView : PeerView {
    QString title, error, playText;
    int position = -1, duration = -1, volume = -1;
    void setTitle(const QString &t) override { title = t; }
    void setPlayOffered(bool offered) override { playText = offered ? "play" : "pause"; }
    void setTimes(int p, int d) override { position = p, duration = d; }
    void setVolume(int v) override { volume = v; }
    void setError(const QString &e) override { error = e; }
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        clip = dir.filePath("第1集.mp4");
        QFile f(clip);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    // Opens the clip and lets the engine start it.
    void startClip(double length = 100) {
        session.openItem(clip);
        session.engineStarted(length);
        engine.calls.clear();
    }
    QTemporaryDir dir;
    QString clip;
    FakeEngine engine;
    FakeView view;
    PeerSession session{engine, view, QDir::currentPath()};
};

TEST_F(SessionTest, ItemsThatCannotBeOpenedShowTheirErrorWithoutTheEngine) {
    session.openItem(dir.filePath("gone.mp4"));
    EXPECT_EQ(session.state(), PeerSession::State::Failed);
    EXPECT_EQ(view.error, QStringLiteral("找不到文件：") + dir.filePath("gone.mp4"));
    EXPECT_EQ(view.title, "gone.mp4 - PeerPlayer");
    session.openItem(dir.path()); // a folder
    EXPECT_TRUE(view.error.startsWith(QStringLiteral("无法打开：")));
    session.openItem("rtmp://h/live");
    EXPECT_EQ(view.error, QStringLiteral("不支持的地址：rtmp://h/live"));
    EXPECT_TRUE(engine.calls.isEmpty());
    // The play button retries a missing file; it may be there now.
    session.openItem(dir.filePath("late.mp4"));
    QFile(dir.filePath("late.mp4")).open(QIODevice::WriteOnly);
    session.togglePlay();
    EXPECT_EQ(engine.calls, QStringList{"open " + dir.filePath("late.mp4")});
    EXPECT_TRUE(view.error.isEmpty());
}

TEST_F(SessionTest, AnotherItemThatFailsStopsWhatPlayed) {
    startClip();
    session.openItem(dir.filePath("gone.mp4"));
    EXPECT_EQ(engine.calls, QStringList{"stop"});
    session.openItem({});
    EXPECT_EQ(session.state(), PeerSession::State::Empty);
    EXPECT_EQ(view.title, "PeerPlayer");
    EXPECT_TRUE(view.error.isEmpty());
    EXPECT_EQ(engine.calls, QStringList{"stop"}); // nothing was open any more
}

TEST_F(SessionTest, TransportFollowsTheEngine) {
    session.openItem(clip);
    EXPECT_EQ(engine.calls, QStringList{"open " + clip});
    EXPECT_EQ(view.title, QStringLiteral("第1集.mp4 - PeerPlayer"));
    EXPECT_EQ(view.playText, "pause");
    session.engineStarted(125.5);
    EXPECT_EQ(session.state(), PeerSession::State::Playing);
    EXPECT_EQ(view.duration, 125);
    session.engineProgress(61.9, 125.5);
    EXPECT_EQ(view.position, 61);

    session.togglePlay();
    EXPECT_EQ(view.playText, "play");
    session.togglePlay();
    EXPECT_EQ(view.playText, "pause");
    // The engine pausing by itself (for example at the end) shows on the button.
    session.enginePaused(true);
    EXPECT_EQ(view.playText, "play");
    session.engineFinished();
    EXPECT_EQ(session.state(), PeerSession::State::Finished);
    session.togglePlay(); // play at the end starts over
    EXPECT_EQ(view.position, 0);
    session.stop();
    session.engineClosed();
    EXPECT_EQ(session.state(), PeerSession::State::Stopped);
    session.togglePlay(); // play after stop opens the item again
    EXPECT_EQ(engine.calls, (QStringList{"open " + clip, "pause", "resume", "seek 0", "resume", "stop",
                                         "open " + clip}));
}

TEST_F(SessionTest, PausedWhileOpeningStaysPaused) {
    session.openItem(clip);
    session.togglePlay();
    session.engineStarted(30);
    EXPECT_EQ(session.state(), PeerSession::State::Paused);
    EXPECT_EQ(view.playText, "play");
    EXPECT_EQ(view.duration, 30);
}

TEST_F(SessionTest, SeeksStayInsideTheItem) {
    session.openItem(clip);
    session.seekBy(5); // not open yet: nothing to seek
    EXPECT_EQ(engine.calls, QStringList{"open " + clip});
    session.engineStarted(20);
    engine.calls.clear();
    session.seekBy(-5);
    session.seekBy(50);
    session.seekTo(-3);
    EXPECT_EQ(engine.calls, (QStringList{"seek 0", "seek 20", "seek 0"}));
    session.engineFinished();
    session.seekBy(-5); // a seek back from the end leaves it paused there
    EXPECT_EQ(session.state(), PeerSession::State::Paused);
}

TEST_F(SessionTest, EngineFailureShowsTheReason) {
    session.openItem(clip);
    session.engineFailed(EngineError::NotMedia);
    EXPECT_EQ(session.state(), PeerSession::State::Failed);
    EXPECT_EQ(view.error, QStringLiteral("无法播放：第1集.mp4（不是媒体文件）"));
    EXPECT_EQ(view.playText, "play");
    // A late report about an item the user stopped changes nothing.
    startClip();
    session.stop();
    session.engineFailed(EngineError::CannotOpen);
    EXPECT_EQ(session.state(), PeerSession::State::Stopped);
    EXPECT_TRUE(view.error.isEmpty());
}

TEST_F(SessionTest, VolumeIsHeldBetweenSilentAndFull) {
    session.changeVolume(10);
    EXPECT_EQ(session.volume(), 100);
    session.setVolume(-4);
    EXPECT_EQ(view.volume, 0);
    session.changeVolume(5);
    EXPECT_EQ(engine.calls, (QStringList{"volume 100", "volume 0", "volume 5"}));
}

} // namespace
} // namespace vantoli::peer
