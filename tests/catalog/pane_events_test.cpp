// The panes' context menus, load failures and the retry picture.

#include "catalog/pane_events.h"
#include "support/fake_playback_view.h"
#include "support/fake_player.h"

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

class RecordingHost : public PaneEventsHost {
public:
    QStringList log;
    void setPaneSilent(int pane) override { log << QStringLiteral("silent %1").arg(pane); }
    void popupMenu(PaneMenu menu, const QPoint &) override {
        log << (menu == PaneMenu::Main ? QStringLiteral("myMenu")
                                       : menu == PaneMenu::History ? QStringLiteral("webc") : QStringLiteral("peer_m"));
    }
    void showHomeRetryPicture(bool retry) override { log << (retry ? QStringLiteral("w3") : QStringLiteral("loading")); }
};

class PaneEventsTest : public ::testing::Test {
protected:
    RecordingHost host;
    FakePlaybackView view;
    PlaybackSession session;
    const PlaybackState &state = session.state();
    FakePlayer player;
    PaneEvents events{host, view, session, player, QStringLiteral("http://127.0.0.1:8260/")};
};

} // namespace

TEST_F(PaneEventsTest, EachPaneHasItsOwnMenuOrNone) {
    events.contextMenu(1, QString(), {});
    events.contextMenu(3, QStringLiteral("open://4"), {});
    EXPECT_EQ(events.contextEntry(), QStringLiteral("open://4"));
    // Elsewhere in the task list, anywhere in the local list, in the episode
    // list, and in the advertisement pane while nothing is loaded: nothing.
    events.contextMenu(3, QString(), {});
    events.contextMenu(4, QStringLiteral("open://1"), {});
    events.contextMenu(5, QStringLiteral("kxpeer://x"), {});
    events.contextMenu(7, QString(), {});
    EXPECT_EQ(host.log, (QStringList{"myMenu", "webc"}));
    player.url = QStringLiteral("http://h/a.mp4");
    events.contextMenu(7, QString(), {});
    EXPECT_EQ(host.log.last(), QStringLiteral("peer_m"));
    events.downloadBegin(6);
    EXPECT_EQ(host.log.last(), QStringLiteral("silent 6"));
}

TEST_F(PaneEventsTest, HomeFailureShowsTheRetryPictureUntilItIsClicked) {
    view.visible[QStringLiteral("Pic1")] = true;
    events.navigateError(1, QStringLiteral("http://elsewhere/x.htm"));
    EXPECT_TRUE(view.visible.value("Pic1")) << "other sites' failures leave the pane";
    EXPECT_TRUE(host.log.isEmpty());
    events.navigateError(1, QStringLiteral("http://127.0.0.1:8260/v/1.htm"));
    EXPECT_FALSE(view.visible.value("Pic1"));
    EXPECT_TRUE(view.visible.value("wait"));
    EXPECT_EQ(host.log, QStringList{"w3"}) << "the picture that offers the retry";
    events.downloadComplete(1);
    EXPECT_FALSE(view.visible.value("Pic1")) << "still failed: the error page does not show";
    events.jiaClicked();
    EXPECT_EQ(host.log, (QStringList{"w3", "loading"}));
    EXPECT_EQ(view.log.last(), QStringLiteral("navigate 1 http://127.0.0.1:8260/"));
    events.downloadComplete(1);
    EXPECT_TRUE(view.visible.value("Pic1"));
    EXPECT_FALSE(view.visible.value("wait"));
}

TEST_F(PaneEventsTest, FailedAdvertisementPagesAreNotShownAgain) {
    view.visible[QStringLiteral("ad_huan")] = true;
    events.navigateError(7, QStringLiteral("http://127.0.0.1:8260/js/ads/peerad.html"));
    EXPECT_FALSE(view.visible.value("ad_huan"));
    EXPECT_TRUE(view.visible.value("adp"));
    EXPECT_EQ(state.pauseAdState, 1);
    view.visible[QStringLiteral("bo_pad")] = true;
    events.navigateError(8, QStringLiteral("http://127.0.0.1:8260/js/ads/bo.html"));
    EXPECT_FALSE(view.visible.value("bo_pad"));
    EXPECT_EQ(state.stopAdState, 1);
}

TEST(PaneEventsBase, TheContentBaseIsMatchedAsAnAddress) {
    // The engine reports the host in lower case and leaves out a default port.
    RecordingHost host;
    FakePlaybackView view;
    PlaybackSession session;
    FakePlayer player;
    view.visible[QStringLiteral("Pic1")] = true;
    PaneEvents upper(host, view, session, player, QStringLiteral("HTTP://LOCALHOST:80/Cat/"));
    upper.navigateError(1, QStringLiteral("http://localhost:8/Cat/"));
    upper.navigateError(1, QStringLiteral("http://localhost/cat/"));
    upper.navigateError(1, QStringLiteral("http://elsewhere/?http://LOCALHOST:80/Cat/"));
    EXPECT_TRUE(view.visible.value("Pic1")) << "another port, another path, another server";
    upper.navigateError(1, QStringLiteral("http://localhost/Cat/v/1.htm"));
    EXPECT_FALSE(view.visible.value("Pic1"));
    EXPECT_TRUE(upper.homeLoadFailed());
}
