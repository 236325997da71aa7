// The panes' context menus, load failures and the retry picture.

#include "catalog/pane_events.h"
#include "playback/fake_playback_view.h"
#include "playback/fake_player.h"

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
};

class PaneEventsTest : public ::testing::Test {
protected:
    RecordingHost host;
    FakePlaybackView view;
    PlaybackState state;
    FakePlayer player;
    PaneEvents events{host, view, state, player, QStringLiteral("http://127.0.0.1:8260/")};
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
    events.navigateError(1, QStringLiteral("http://127.0.0.1:8260/v/1.htm"));
    EXPECT_FALSE(view.visible.value("Pic1"));
    EXPECT_TRUE(view.visible.value("wait"));
    events.downloadComplete(1);
    EXPECT_FALSE(view.visible.value("Pic1")) << "still failed: the error page does not show";
    events.jiaClicked();
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
