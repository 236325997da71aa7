// The recommendation window's close paths and its parts' places.

#include "notices/recommendation.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

struct FakeBa4 : RecommendationView {
    bool life = false, icon = false, iconShown = false;
    int closes = 0;
    QStringList opened;
    void setLifeTimer(bool on) override { life = on; }
    void setIconTimer(bool on) override { icon = on; }
    void showCloseIcon() override { iconShown = true; }
    void openInBrowser(const QString &url) override { opened << url; }
    void closeWindow() override { ++closes; }
};

} // namespace

TEST(Recommendation, ClosesAfterTwentySecondsAndShowsItsCloseIconAfterOne) {
    FakeBa4 w;
    RecommendationCloser c(w);
    c.start();
    EXPECT_TRUE(w.life);
    EXPECT_TRUE(w.icon);
    EXPECT_FALSE(w.iconShown);
    // Before its second is up, the close picture is neither shown nor clickable.
    c.closeIconClicked();
    EXPECT_EQ(w.closes, 0);
    c.iconTick();
    EXPECT_TRUE(w.iconShown);
    EXPECT_FALSE(w.icon);
    EXPECT_EQ(w.closes, 0);
    c.lifeTick();
    EXPECT_EQ(w.closes, 1);
    EXPECT_TRUE(c.closed());
    EXPECT_FALSE(w.life);
}

TEST(Recommendation, CloseIconAndNewWindowCloseOnce) {
    {
        FakeBa4 w;
        RecommendationCloser c(w);
        c.start();
        c.iconTick();
        c.closeIconClicked();
        c.closeIconClicked();
        c.lifeTick();
        EXPECT_EQ(w.closes, 1);
        EXPECT_FALSE(w.life);
    }
    {
        FakeBa4 w;
        RecommendationCloser c(w);
        c.start();
        c.newWindow(QStringLiteral("http://127.0.0.1:8260/v/2.htm"));
        EXPECT_EQ(w.opened, QStringList{QStringLiteral("http://127.0.0.1:8260/v/2.htm")});
        EXPECT_EQ(w.closes, 1);
        c.newWindow(QStringLiteral("http://127.0.0.1:8260/v/3.htm"));
        c.iconTick();
        EXPECT_EQ(w.opened.size(), 1);
        EXPECT_FALSE(w.iconShown);
        EXPECT_EQ(w.closes, 1);
    }
    {
        // A page's new window to anything but a web address opens nothing, but still closes.
        FakeBa4 w;
        RecommendationCloser c(w);
        c.start();
        c.newWindow(QStringLiteral("file:///etc/passwd"));
        EXPECT_TRUE(w.opened.isEmpty());
        EXPECT_EQ(w.closes, 1);
    }
}

TEST(Recommendation, Placement) {
    const RecommendationPlacement p = placeRecommendation({660, 184}, {16, 16});
    EXPECT_EQ(p.frame, QRect(0, 0, 660, 184));
    EXPECT_EQ(p.pane, QRect(-1, -1, 662, 186));
    EXPECT_EQ(p.closeIcon, QPoint(660 - 16 - 5, 5));
    EXPECT_EQ(recommendationWindowRect(QRect(0, 0, 1280, 1024)), QRect(310, 420, 660, 184));
    EXPECT_EQ(recommendationWindowRect(QRect(10, 0, 400, 100)), QRect(10, 0, 400, 100));
}
