// The status tick, continuation, end of playback and the play-area switch,
// driven with a fake player, a fake window and a scripted content server.

#include "history/history_files.h"
#include "support/fake_http_get.h"
#include "support/fake_power.h"
#include "playback/continuation.h"
#include "playback/end_of_playback.h"
#include "support/fake_playback_view.h"
#include "support/fake_player.h"
#include "playback/play_area.h"
#include "playback/playback_controller.h"
#include "playback/status_tick.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8260/");

class RecordingTransport : public TransportCommands {
public:
    QList<int> clicks;
    void bo_but_Click(int index) override { clicks << index; }
};

class PlaybackLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"date.dat", "date_f.dat"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("\r\n");
        }
        setIni("s_pao", "2");
        setIni("s_h", "2");
        player.url = QStringLiteral("http://h/1.mp4");
        player.autoState = false;
    }
    void setIni(const char *key, const char *value) {
        settings.write(QStringLiteral("S_q"), QString::fromLatin1(key), QString::fromLatin1(value));
    }
    QByteArray raw(const char *name) const {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void playing(int position, int duration, int progress = 1000) {
        player.state = kStatePlaying;
        player.position = position;
        player.duration = duration;
        player.downloadProgress = progress;
    }
    // A network episode in the player, by default 12-0-3 of title T.
    void networkEpisode(const QString &key = QStringLiteral("12-0-3-T"), int resumePosition = 0) {
        session.setPlayAreaMode(kPlayAreaPlayer);
        session.startNetworkItem(key, QString(), QStringLiteral("12"), resumePosition);
    }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};
    HistoryStore history{dir.path()};
    FakePlayer player;
    FakePlaybackView view;
    FakeAsyncHttpGet lookups;
    FakePower power;
    PlaybackSession session;
    const PlaybackState &state = session.state();
    Continuation continuation{session, view, view, lookups, settings, kBase};
    PositionRecorder positions{state, history};
    StatusTick tick{player, session, view, view, settings, positions, continuation, [] { return QStringLiteral("12:34:56"); }};
    EndOfPlayback end{session, view, view, power, kBase + QStringLiteral("play-ended.htm")};
};

} // namespace

TEST_F(PlaybackLogicTest, NothingLoadedShowsTheClockAndReady) {
    player.url.clear();
    view.texts[QStringLiteral("zhun")] = QStringLiteral("已停止");
    tick.tick();
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("准备就绪"));
    EXPECT_EQ(view.texts.value("times"), QStringLiteral("12:34:56"));
    const QRect times = view.geometry.value("times");
    EXPECT_EQ(times.left(), 784 - times.width() - 13);
    EXPECT_EQ(times.top(), 2);
    EXPECT_EQ(view.geometry.value("huan").left(), -30);
    EXPECT_EQ(view.tips.value("bo_but0"), QStringLiteral("播放"));
}

TEST_F(PlaybackLogicTest, PlayingShowsRateTimesBarsAndThePauseFace) {
    playing(125, 3725, 500);
    player.bitRate = 800;
    tick.tick();
    // No transfer rate: the bit-rate form.
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("播放中(800 Kbps)"));
    EXPECT_EQ(view.texts.value("times"), QStringLiteral("02:05 / 1:02:05"));
    EXPECT_TRUE(state.pauseFace);
    EXPECT_EQ(view.tips.value("bo_but0"), QStringLiteral("暂停"));
    EXPECT_TRUE(view.log.contains(QStringLiteral("frame 0 12 116")));
    EXPECT_FALSE(view.visible.value("bo_ad"));
    EXPECT_TRUE(view.visible.value("Peerx"));
    // Knob over a 770-pixel range; played part and downloaded part follow.
    EXPECT_EQ(view.geometry.value("gunt1").left(), qRound(125.0 / 3725 * 770));
    EXPECT_EQ(view.geometry.value("gunt2").width(), view.geometry.value("gunt1").left());
    EXPECT_EQ(view.tips.value("gunt1"), QStringLiteral("02:05"));
    EXPECT_EQ(view.geometry.value("huan"), QRect(0, 0, 392, 7));

    player.downloadSpeed = 120;
    tick.tick();
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("播放中(120 Kbps/S)"));

    // Duration not known yet: the knob stays at the left.
    player.duration = 0;
    tick.tick();
    EXPECT_EQ(view.geometry.value("gunt1").left(), 0);
}

TEST_F(PlaybackLogicTest, StateTextsAndPanes) {
    session.enableAd(AdPane::Pause);
    session.enableAd(AdPane::Stop);
    const struct {
        int state;
        int speed;
        const char *text;
    } cases[] = {
        {kStatePaused, 0, "已暂停"},          {kStatePaused, 33, "已暂停 (33Kbps/S)"},
        {kStateBuffering, 12, "正在缓冲 (12Kbps/S)"}, {kStateConnecting, 7, "正在连接 (7KB/S)"},
        {kStateStopped, 0, "已停止"},         {kStateIdle, 0, "停止播放"},
        {kStateFetchingSeed, 0, "BT种子下载中"}, {kStateStopping, 0, "正在停止"},
    };
    for (const auto &c : cases) {
        player.state = c.state;
        player.downloadSpeed = c.speed;
        tick.tick();
        EXPECT_EQ(view.texts.value("zhun"), QString::fromUtf8(c.text)) << c.state;
        EXPECT_TRUE(view.visible.value("bo_ad")) << c.state;
        EXPECT_FALSE(view.visible.value("Peerx")) << c.state;
    }
    // Paused: the pause advertisement; stopped: the one after stop.
    player.state = kStatePaused;
    view.visible[QStringLiteral("ad_huan")] = false;
    tick.tick();
    EXPECT_TRUE(view.visible.value("ad_huan"));
    EXPECT_FALSE(view.visible.value("bo_pad"));
    player.state = kStateStopped;
    tick.tick();
    EXPECT_FALSE(view.visible.value("ad_huan"));
    EXPECT_TRUE(view.visible.value("bo_pad"));
    // State 0 clears full screen; an unknown state leaves the text.
    EXPECT_TRUE(player.calls.contains(QStringLiteral("setFullScreen(0)")));
    player.state = 42;
    tick.tick();
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("已停止"));
}

TEST_F(PlaybackLogicTest, NetworkResumeSeeksOnlyIntoTheFetchedPart) {
    networkEpisode(QStringLiteral("12-0-3-T"), 1800);
    playing(0, 3600, 300); // playable part 1080 s
    tick.tick();
    EXPECT_EQ(player.calls.filter(QStringLiteral("setPosition")), QStringList{QStringLiteral("setPosition(1030)")});
    EXPECT_EQ(state.resumeDone, 1);
    // Once per item.
    player.position = 10;
    tick.tick();
    EXPECT_EQ(player.calls.filter(QStringLiteral("setPosition")).size(), 1);

    // 5 % fetched (180 s): no seek at all.
    player.calls.clear();
    session.followPosition(1800);
    session.resumeOnNextPlay();
    playing(0, 3600, 50);
    tick.tick();
    EXPECT_TRUE(player.calls.filter(QStringLiteral("setPosition")).isEmpty());
    EXPECT_EQ(state.resumeDone, 1);

    // Inside the fetched part: straight there.
    player.calls.clear();
    session.followPosition(900);
    session.resumeOnNextPlay();
    playing(0, 3600, 300);
    tick.tick();
    EXPECT_EQ(player.calls.filter(QStringLiteral("setPosition")), QStringList{QStringLiteral("setPosition(900)")});
}

TEST_F(PlaybackLogicTest, LocalResumeSeeksToTheStoredPosition) {
    session.startLocalItem(QStringLiteral("/m/a.mkv"), 1800);
    playing(0, 3600, 0);
    tick.tick();
    EXPECT_EQ(player.calls.filter(QStringLiteral("setPosition")), QStringList{QStringLiteral("setPosition(1800)")});
}

TEST_F(PlaybackLogicTest, LastTwoSecondsResetThePositionAndStartTheEnd) {
    ASSERT_TRUE(history.addNetworkTask(12, QStringLiteral("T"), QStringLiteral("E"), QStringLiteral("a"), 0, 3, 500));
    networkEpisode();
    session.setLookAhead(kNoNextEpisode); // no look-ahead here
    playing(599, 600);
    tick.tick();
    EXPECT_TRUE(raw("date.dat").startsWith("12|T|E|a|0|3|0\r\n")) << raw("date.dat").constData();
    EXPECT_TRUE(view.timers.value(PlaybackTimer::EndOfPlayback));
    EXPECT_TRUE(view.balloons.isEmpty()); // nothing prepared, no shutdown chosen

    session.setNextEpisode(QStringLiteral("kxpeer://peer&&&x"));
    tick.tick();
    EXPECT_EQ(view.balloons.last(), QStringLiteral("正在准备播放下一集！"));
    session.setShutdownAfterPlayback(true);
    tick.tick();
    EXPECT_EQ(view.balloons.last(), QStringLiteral("即将播放完毕，正准备自动关机！"));

    // Balloons off: the tick ends after enabling the end timer, the status
    // line and times keep their values.
    setIni("s_pao", "1");
    view.balloons.clear();
    view.texts[QStringLiteral("zhun")] = QStringLiteral("before");
    view.texts[QStringLiteral("times")] = QStringLiteral("before");
    view.timers[PlaybackTimer::EndOfPlayback] = false;
    tick.tick();
    EXPECT_TRUE(view.timers.value(PlaybackTimer::EndOfPlayback));
    EXPECT_TRUE(view.balloons.isEmpty());
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("before"));
    EXPECT_EQ(view.texts.value("times"), QStringLiteral("before"));
}

TEST_F(PlaybackLogicTest, LookAheadPreparesThenPrebuffersTheNextEpisode) {
    networkEpisode();
    const QString lookup = kBase + QStringLiteral("h.php?id=12&v=0&v1=4");
    lookups.replies[lookup] = QStringLiteral("第4集$http://h/4.mp4$peer\r\n");
    playing(100, 600, 601);
    tick.tick();
    EXPECT_TRUE(lookups.requested.isEmpty()) << "601 thousandths is not yet past the mark";

    player.downloadProgress = 602;
    tick.tick();
    EXPECT_EQ(lookups.requested, QStringList{lookup});
    // Ticks while the reply is awaited run as usual and do not ask again.
    EXPECT_EQ(state.nextEpisodeState, kNothing);
    tick.tick();
    tick.tick();
    EXPECT_EQ(lookups.requested.size(), 1);
    EXPECT_TRUE(lookups.cancelled.isEmpty());
    EXPECT_EQ(view.texts.value("times"), QStringLiteral("01:40 / 10:00"));
    lookups.answerAll();
    EXPECT_EQ(state.nextEpisodeState,
              QStringLiteral("kxpeer://peer&&&http%3A//h/4.mp4&&&T&&&第4集&&&12&&&0&&&4&&&0"));
    EXPECT_EQ(state.prebufferLink, QStringLiteral("http://h/4.mp4"));

    tick.tick();
    EXPECT_EQ(player.prebuffered, QStringList{QStringLiteral("http://h/4.mp4")});
    EXPECT_EQ(state.prebufferStarted, 1);
    EXPECT_EQ(view.balloons, QStringList{QStringLiteral("开始缓冲下一集！")});
    tick.tick();
    EXPECT_EQ(player.prebuffered.size(), 1);
    EXPECT_EQ(lookups.requested.size(), 1);
}

TEST_F(PlaybackLogicTest, LookupRepliesNoNextRetryAndSwitchedOff) {
    networkEpisode();
    const QString lookup = kBase + QStringLiteral("h.php?id=12&v=0&v1=4");
    lookups.replies[lookup] = QStringLiteral("1");
    continuation.lookUpNextEpisode();
    lookups.answerAll();
    EXPECT_EQ(state.nextEpisodeState, kNoNextEpisode);
    EXPECT_EQ(state.prebufferLink, kNoNextEpisode);

    // "0": ask again on the next tick.
    lookups.replies[lookup] = QStringLiteral("0");
    continuation.lookUpNextEpisode();
    lookups.answerAll();
    EXPECT_EQ(state.nextEpisodeState, kNothing);
    EXPECT_EQ(state.prebufferLink, kNothing);

    // A dead server: balloon regardless of s_pao, one retry two ticks later.
    setIni("s_pao", "1");
    lookups.replies.remove(lookup);
    continuation.lookUpNextEpisode();
    lookups.answerAll();
    EXPECT_EQ(state.nextEpisodeState, kLookupFailed);
    EXPECT_EQ(state.prebufferStarted, 1);
    EXPECT_EQ(view.balloons, QStringList{QStringLiteral("读取下一集数据出错，稍后将重新读取！")});
    EXPECT_TRUE(view.timers.value(PlaybackTimer::LookupRetry));
    lookups.replies[lookup] = QStringLiteral("N$A$peer");
    continuation.retryTick();
    EXPECT_EQ(lookups.requested.size(), 3);
    continuation.retryTick();
    EXPECT_EQ(lookups.requested.size(), 4);
    EXPECT_FALSE(view.timers.value(PlaybackTimer::LookupRetry));
    // What the retry does after the lookup waits for its reply.
    EXPECT_EQ(state.prebufferStarted, 1);
    EXPECT_EQ(state.lookupRetryCount, 2);
    lookups.answerAll();
    EXPECT_EQ(state.prebufferLink, QStringLiteral("A"));
    EXPECT_EQ(state.prebufferStarted, 0);
    EXPECT_EQ(state.lookupRetryCount, 0);

    // A retry that fails again leaves the next tick free to ask, as before.
    lookups.replies.remove(lookup);
    continuation.lookUpNextEpisode();
    lookups.answerAll();
    continuation.retryTick();
    continuation.retryTick();
    lookups.answerAll();
    EXPECT_EQ(state.nextEpisodeState, kLookupFailed);
    EXPECT_EQ(state.prebufferStarted, 0);
    EXPECT_EQ(view.balloons.size(), 3);

    // s_h off: no request, nothing prepared.
    const int asked = lookups.requested.size();
    setIni("s_h", "1");
    continuation.lookUpNextEpisode();
    EXPECT_EQ(lookups.requested.size(), asked);
    EXPECT_EQ(state.nextEpisodeState, kNothing);

    // No key: nothing happens.
    setIni("s_h", "2");
    networkEpisode(kNothing);
    continuation.lookUpNextEpisode();
    EXPECT_EQ(lookups.requested.size(), asked);
}

TEST_F(PlaybackLogicTest, ALookAheadReplyForAnItemNoLongerPlayingIsDropped) {
    networkEpisode();
    const QString lookup = kBase + QStringLiteral("h.php?id=12&v=0&v1=4");
    continuation.lookUpNextEpisode();
    // The user starts the next episode by hand meanwhile.
    networkEpisode(QStringLiteral("12-0-4-T"));
    ASSERT_TRUE(lookups.answer(lookup, QStringLiteral("第5集$http://h/5.mp4$peer")));
    EXPECT_EQ(state.nextEpisodeState, kNothing);
    EXPECT_EQ(state.prebufferLink, kNothing);

    // The new item's own look-ahead is not held up by the old one waiting.
    continuation.lookUpNextEpisode();
    playing(10, 600, 700);
    networkEpisode(QStringLiteral("12-0-5-T"));
    tick.tick();
    EXPECT_EQ(lookups.waiting(), QStringList{kBase + QStringLiteral("h.php?id=12&v=0&v1=6")});
    EXPECT_EQ(lookups.cancelled, QStringList{kBase + QStringLiteral("h.php?id=12&v=0&v1=5")});
    lookups.answer(kBase + QStringLiteral("h.php?id=12&v=0&v1=6"), QStringLiteral("failed"));
    EXPECT_EQ(state.nextEpisodeState, kLookupFailed);

    continuation.lookUpNextEpisode();
    continuation.cancelLookups();
    EXPECT_TRUE(lookups.waiting().isEmpty());
}

TEST_F(PlaybackLogicTest, ATitleWithADashIsCarriedWhole) {
    networkEpisode(QStringLiteral("12-1-0-Spider-Man%202"));
    const QString next = kBase + QStringLiteral("h.php?id=12&v=1&v1=1");
    const QString link = QStringLiteral("kxpeer://peer&&&http%3A//h/2.mp4&&&Spider-Man%202&&&E2&&&12&&&1&&&1&&&0");
    continuation.lookUpNextEpisode();
    lookups.answer(next, QStringLiteral("E2$http://h/2.mp4$peer"));
    EXPECT_EQ(state.nextEpisodeState, link);
    continuation.stepEpisode(2);
    lookups.answer(next, QStringLiteral("E2$http://h/2.mp4$peer"));
    EXPECT_EQ(view.log.last(), QStringLiteral("navigate 1 ") + link);
}

TEST_F(PlaybackLogicTest, EpisodeButtonsPlayThroughTheCatalogPane) {
    networkEpisode(QStringLiteral("12-1-0-T"));
    continuation.stepEpisode(1);
    EXPECT_TRUE(lookups.requested.isEmpty()) << "no episode before the first";

    const QString next = kBase + QStringLiteral("h.php?id=12&v=1&v1=1");
    continuation.stepEpisode(2);
    const int before = view.log.size();
    // A second press replaces the first one's lookup.
    continuation.stepEpisode(2);
    EXPECT_EQ(lookups.cancelled, QStringList{next});
    EXPECT_EQ(view.log.size(), before);
    lookups.answer(next, QStringLiteral("Ep 2$http://h/2.webm$html5"));
    EXPECT_EQ(view.log.last(),
              QStringLiteral("navigate 1 kxpeer://html5&&&http%3A//h/2.webm&&&T&&&Ep 2&&&12&&&1&&&1&&&0"));
    EXPECT_EQ(view.log.size(), before + 1);

    const int after = view.log.size();
    continuation.stepEpisode(2);
    lookups.answer(next, QStringLiteral("1"));
    EXPECT_EQ(view.log.size(), after);
    // A reply after another item started plays nothing.
    continuation.stepEpisode(2);
    networkEpisode();
    lookups.answer(next, QStringLiteral("Ep 2$http://h/2.webm$html5"));
    EXPECT_EQ(view.log.size(), after);
}

TEST_F(PlaybackLogicTest, EndOfPlaybackShutdownWinsOverTheNextEpisode) {
    view.timers[PlaybackTimer::EndOfPlayback] = true;
    session.setNextEpisode(QStringLiteral("kxpeer://peer&&&x"));
    session.setShutdownAfterPlayback(true);
    end.tick();
    EXPECT_EQ(power.requests, 1);
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("播放完毕"));
    EXPECT_FALSE(view.timers.value(PlaybackTimer::Status));
    EXPECT_FALSE(view.timers.value(PlaybackTimer::EndOfPlayback));
    EXPECT_FALSE(view.log.join(u'\n').contains(QStringLiteral("navigate 2")));
}

TEST_F(PlaybackLogicTest, EndOfPlaybackSignalsByNextEpisodeState) {
    const QString signal = QStringLiteral("navigate 2 ") + kBase + QStringLiteral("play-ended.htm");
    // Prepared: stop the tick, say so, signal.
    session.setNextEpisode(QStringLiteral("kxpeer://peer&&&x"));
    end.tick();
    EXPECT_EQ(view.log.last(), signal);
    EXPECT_TRUE(view.visible.value("next_s"));
    EXPECT_EQ(view.texts.value("next_s"), QStringLiteral("正准备播放下一集，请稍后..."));
    EXPECT_FALSE(view.timers.value(PlaybackTimer::Status));
    EXPECT_EQ(state.resumePosition, 1);

    // Lookup failed: signal only.
    view = FakePlaybackView();
    session.setNextEpisode(kLookupFailed);
    end.tick();
    EXPECT_EQ(view.log.last(), signal);
    EXPECT_FALSE(view.visible.value("next_s"));
    EXPECT_TRUE(view.timers.value(PlaybackTimer::Status));

    // Nothing prepared: the window stays on "播放完毕".
    view = FakePlaybackView();
    session.setNextEpisode(kNothing);
    end.tick();
    EXPECT_FALSE(view.log.join(u'\n').contains(QStringLiteral("navigate")));
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("播放完毕"));
    EXPECT_TRUE(view.visible.value("bo_ad"));
    EXPECT_TRUE(view.timers.value(PlaybackTimer::Status));
    EXPECT_EQ(power.requests, 0);
}

TEST_F(PlaybackLogicTest, PlayAreaSwitchStopsThePlayerAndClosesTheOtherPanes) {
    RecordingTransport transport;
    PlayArea area(session, view, transport, kBase);
    session.setPlayAreaMode(kPlayAreaPlayer);
    area.setPlayAreaMode(kPlayAreaWeb);
    EXPECT_EQ(transport.clicks, QList<int>{1});
    EXPECT_TRUE(view.visible.value("Pic2"));
    EXPECT_FALSE(view.visible.value("peer"));

    area.setPlayAreaMode(kPlayAreaTv);
    EXPECT_EQ(transport.clicks.size(), 1);
    EXPECT_TRUE(view.log.contains(QStringLiteral("navigate 2 about:blank")));
    EXPECT_FALSE(view.visible.value("Pic2"));
    EXPECT_TRUE(view.visible.value("peer"));

    area.setPlayAreaMode(kPlayAreaPlayer);
    EXPECT_EQ(view.log.last(), QStringLiteral("navigate 10 ") + kBase + QStringLiteral("tv/ad.htm"));
    EXPECT_FALSE(view.visible.value("gtv"));
    EXPECT_EQ(state.playAreaMode, kPlayAreaPlayer);
}

TEST_F(PlaybackLogicTest, TheFirstReportOfPlayingRunsTheTickAtOnce) {
    RecordingTransport transport;
    PlaybackServices services;
    services.session = &session;
    services.player = &player;
    services.view = &view;
    services.transport = &transport;
    services.lookups = &lookups;
    services.power = &power;
    services.history = &history;
    services.settings = &settings;
    services.contentBase = kBase;
    PlaybackController controller(services);
    session.setLookAhead(kNoNextEpisode);
    player.state = kStateConnecting;
    controller.playerChanged();
    EXPECT_FALSE(view.visible.value("Peerx")) << "not playing yet: no tick";
    playing(0, 600);
    controller.playerChanged();
    EXPECT_TRUE(view.visible.value("Peerx"));
    EXPECT_EQ(state.lastState, kStatePlaying);
    // Later reports wait for the timer.
    view.texts.remove(QStringLiteral("zhun"));
    controller.playerChanged();
    EXPECT_FALSE(view.texts.contains(QStringLiteral("zhun")));
}

TEST_F(PlaybackLogicTest, ClosingTheWebPlaybackPaneLeavesNothingToCloseAgain) {
    RecordingTransport transport;
    PlayArea area(session, view, transport, kBase);
    area.setPlayAreaMode(kPlayAreaWeb);
    area.closeWebPlayback();
    EXPECT_EQ(state.playAreaMode, kPlayAreaNone);
    EXPECT_EQ(view.log.count(QStringLiteral("navigate 2 about:blank")), 1);
    area.setPlayAreaMode(kPlayAreaWeb);
    area.setPlayAreaMode(kPlayAreaWeb);
    EXPECT_EQ(view.log.count(QStringLiteral("navigate 2 about:blank")), 1);
    EXPECT_TRUE(transport.clicks.isEmpty());
}

TEST_F(PlaybackLogicTest, AnItemOfUnknownLengthNeverEnds) {
    // A live or endless stream reports a length of 0: it plays on, its
    // stored position is not reset and no end of playback starts.
    ASSERT_TRUE(history.addNetworkTask(12, QStringLiteral("T"), QStringLiteral("E"), QStringLiteral("a"), 0, 3, 500));
    networkEpisode();
    session.setLookAhead(kNoNextEpisode);
    playing(120, 0);
    for (int i = 0; i < 3; ++i)
        tick.tick();
    EXPECT_TRUE(raw("date.dat").startsWith("12|T|E|a|0|3|500\r\n")) << raw("date.dat").constData();
    EXPECT_FALSE(view.timers.value(PlaybackTimer::EndOfPlayback));
    EXPECT_TRUE(view.balloons.isEmpty());
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("播放中(0 Kbps)"));
    EXPECT_EQ(view.texts.value("times"), QStringLiteral("02:00 / 00:00"));
    EXPECT_EQ(view.geometry.value("gunt1").left(), 0);
}
