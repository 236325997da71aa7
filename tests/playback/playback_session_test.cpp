// The playback session: what starting an item clears and keeps, and when it
// tells its readers of a change.

#include "playback/playback_session.h"
#include "playback/player.h"

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

// A session in the middle of an episode with everything set.
void playEverything(PlaybackSession &s) {
    s.setPlayAreaMode(kPlayAreaPlayer);
    s.startNetworkItem(QStringLiteral("12-0-3-T"), QStringLiteral("E3"), QStringLiteral("12"), 30);
    s.nextEpisodeFound(QStringLiteral("kxpeer://next"), QStringLiteral("http://h/4.mp4"));
    s.markPrebufferStarted();
    s.countRetryTick();
    s.recordPosition(100);
    s.recordPlayerState(kStatePlaying, 50);
    s.markResumed();
    s.enableAd(AdPane::Pause);
    s.adPageFailed(AdPane::Stop);
    s.setPauseFace(true);
    s.setMuted(true);
    s.setShutdownAfterPlayback(true);
}

} // namespace

TEST(PlaybackSessionTest, StartingAnItemLeavesNothingOfThePreviousOneButTheWindowsOwnState) {
    PlaybackSession session;
    playEverything(session);
    const quint64 serial = session.state().itemSerial;

    session.startLocalItem(QStringLiteral("/m/a.mkv"), 12);
    // Field by field against a fresh state, so that a field added later and
    // forgotten here shows.
    PlaybackState expected;
    expected.itemSerial = serial + 1;
    expected.currentItemReference = QStringLiteral("/m/a.mkv");
    expected.playSource = kSourceLocal;
    expected.resumePosition = 12;
    expected.playAreaMode = kPlayAreaPlayer;
    expected.pauseAdState = 2;
    expected.stopAdState = 1;
    expected.pauseFace = true;
    expected.muted = true;
    expected.shutdownAfterPlayback = true;
    EXPECT_TRUE(session.state() == expected);

    playEverything(session);
    session.startNetworkItem(QStringLiteral("12-0-4-T"), QStringLiteral("E4"), kNothing);
    expected.itemSerial = session.state().itemSerial;
    expected.currentItemKey = QStringLiteral("12-0-4-T");
    expected.currentEpisodeName = QStringLiteral("E4");
    expected.currentItemReference = kNothing;
    expected.playSource = kSourceNetwork;
    expected.resumePosition = 0;
    EXPECT_TRUE(session.state() == expected);
}

TEST(PlaybackSessionTest, TellsEachChangeOnceAndNothingElse) {
    PlaybackSession session;
    int changes = 0;
    QObject::connect(&session, &PlaybackSession::changed, [&] { ++changes; });

    session.startNetworkItem(QStringLiteral("12-0-3-T"), QStringLiteral("E3"), QStringLiteral("12"));
    EXPECT_EQ(changes, 1) << "one operation, one signal";
    session.setPauseFace(true);
    session.setPauseFace(true);
    session.recordPosition(0);
    session.setLookAhead(kNothing);
    EXPECT_EQ(changes, 2);

    // A pane whose page failed stays off whatever the control file says.
    session.adPageFailed(AdPane::Stop);
    EXPECT_EQ(changes, 3);
    EXPECT_FALSE(session.enableAd(AdPane::Stop));
    EXPECT_EQ(session.state().stopAdState, 1);
    EXPECT_TRUE(session.enableAd(AdPane::Pause));
    EXPECT_TRUE(session.enableAd(AdPane::Pause));
    EXPECT_EQ(changes, 4);

    // The retry counter counts even when nothing else moves.
    EXPECT_EQ(session.countRetryTick(), 0);
    EXPECT_EQ(session.countRetryTick(), 1);
    EXPECT_EQ(changes, 6);
}
