#include "shell/layout.h"

#include <gtest/gtest.h>

using namespace vantoli::shell;

namespace {

Layout normal(int w, int h, bool sideOpen = true, bool tvOpen = true, int volume = 100) {
    LayoutState s;
    s.client = {w, h};
    s.sideBarOpen = sideOpen;
    s.tvSideBarOpen = tvOpen;
    s.volume = volume;
    return layoutFor(s);
}

QRect at(const Layout &l, const char *name) {
    EXPECT_TRUE(l.rect.contains(QString::fromLatin1(name))) << name;
    return l.rect.value(QString::fromLatin1(name));
}

} // namespace

TEST(Layout, DefaultSizeTitleBarPagesAndBottomBar) {
    const Layout l = normal(990, 655);
    // Title-bar buttons right to left from the close button.
    EXPECT_EQ(at(l, "npc2"), QRect(958, 4, 24, 24));
    EXPECT_EQ(at(l, "npc1"), QRect(934, 4, 24, 24));
    EXPECT_EQ(at(l, "npc0"), QRect(910, 4, 24, 24));
    EXPECT_EQ(at(l, "npc5"), QRect(882, 4, 24, 24));
    EXPECT_EQ(at(l, "npc3"), QRect(858, 4, 24, 24));
    EXPECT_EQ(at(l, "npc4"), QRect(834, 4, 24, 24));
    EXPECT_EQ(at(l, "npc8"), QRect(200, 0, 100, 37));
    EXPECT_EQ(at(l, "npc14"), QRect(500, 0, 100, 37));
    for (const char *page : {"zz", "zzp", "tv", "ying"})
        EXPECT_EQ(at(l, page), QRect(2, 39, 986, 570)) << page;
    EXPECT_EQ(at(l, "bo_foot"), QRect(2, 609, 986, 43));
    EXPECT_EQ(at(l, "Imi").topLeft(), QPoint(12, 3));
    EXPECT_EQ(at(l, "ni_name").topLeft(), QPoint(50, 13));
    // Pages end where the bottom bar starts.
    EXPECT_EQ(at(l, "zz").bottom() + 1, at(l, "bo_foot").top());
}

TEST(Layout, DefaultSizeSideBarAndPlayArea) {
    const Layout l = normal(990, 655);
    EXPECT_EQ(at(l, "l2"), QRect(784, 0, 202, 570));
    EXPECT_EQ(at(l, "L1"), QRect(0, 0, 784, 570));
    EXPECT_EQ(at(l, "npc6"), QRect(784, 264, 3, 40)); // (570 - 43) / 2 = 263.5, half to even
    EXPECT_TRUE(l.sideStripOpenGlyph);
    EXPECT_EQ(at(l, "npc10"), QRect(0, 0, 202, 28));
    EXPECT_EQ(at(l, "npc11"), QRect(8, 4, 60, 21));
    EXPECT_EQ(at(l, "npc12"), QRect(71, 4, 60, 21));
    EXPECT_EQ(at(l, "npc7"), QRect(134, 4, 60, 21));
    EXPECT_EQ(at(l, "shan"), QRect(0, 550, 202, 20));
    EXPECT_EQ(at(l, "qk").topLeft(), QPoint(122, 6));
    for (const char *page : {"Pic3", "Pic4", "Pic5"})
        EXPECT_EQ(at(l, page), QRect(0, 28, 202, 522)) << page;
    EXPECT_EQ(at(l, "Web3"), QRect(-2, -2, 206, 526));

    EXPECT_EQ(at(l, "Pic2"), QRect(0, 0, 784, 570));
    EXPECT_EQ(at(l, "peer"), QRect(0, 0, 784, 570));
    EXPECT_EQ(at(l, "gunt"), QRect(0, 563, 784, 7));
    EXPECT_EQ(at(l, "bo_zt"), QRect(0, 541, 784, 22));
    EXPECT_EQ(at(l, "Peerx"), QRect(0, 0, 784, 541));
    EXPECT_EQ(at(l, "PeerC"), QRect(0, 0, 784, 541));
    EXPECT_EQ(at(l, "Lpeer"), QRect(0, 0, 784, 541));
    EXPECT_EQ(at(l, "bo_ad"), QRect(0, 0, 784, 541));
    EXPECT_EQ(at(l, "ad_huan"), QRect(167, 140, 450, 260)); // (541 - 260) / 2 = 140.5
    EXPECT_EQ(at(l, "Web2"), QRect(-2, -2, 788, 574));
    EXPECT_EQ(at(l, "ggx").right(), 783);
    // The pause picture, the stop pane and the next-episode label line up.
    const QRect adp = at(l, "adp");
    EXPECT_EQ(at(l, "bo_pad"), QRect(158, adp.bottom() + 1 + 30, 468, 60));
    EXPECT_EQ(at(l, "next_s").topLeft(), QPoint(adp.left(), adp.bottom() + 1 + 10));
    EXPECT_EQ(at(l, "Web8"), QRect(-2, -2, 472, 64));
    EXPECT_TRUE(l.zhunAutoSize);
}

TEST(Layout, BottomBarButtonsAndVolume) {
    const Layout l = normal(990, 655);
    EXPECT_EQ(at(l, "bo_but0"), QRect(20, 0, 58, 43));
    EXPECT_EQ(at(l, "bo_but1").topLeft(), QPoint(85, 11));
    EXPECT_EQ(at(l, "bo_but5").topLeft(), QPoint(114, 11));
    EXPECT_EQ(at(l, "bo_but7").topLeft(), QPoint(143, 11));
    EXPECT_EQ(at(l, "bo_but2").topLeft(), QPoint(173, 11));
    EXPECT_EQ(at(l, "yin"), QRect(199, 11, 80, 24));
    EXPECT_EQ(at(l, "bo_but3").topLeft(), QPoint(917, 11));
    EXPECT_EQ(at(l, "bo_but4").topLeft(), QPoint(891, 11));
    EXPECT_EQ(at(l, "La0").topLeft(), QPoint(470, 18));
    // bo_but6 comes from the client width: 43 pixels left of the bar's right edge.
    for (int w : {900, 990, 1280}) {
        const Layout lw = normal(w, 655);
        EXPECT_EQ(at(lw, "bo_foot").width() - at(lw, "bo_but6").left(), 43) << w;
    }

    const Layout silent = normal(990, 655, true, true, 0);
    EXPECT_EQ(at(silent, "bo_v"), QRect(0, 6, 10, 10));
    EXPECT_EQ(at(silent, "bo_y"), QRect(0, 11, 0, 2));
    const QRect full = at(l, "bo_v");
    EXPECT_EQ(full.right() + 1, at(l, "yin").width());
    EXPECT_EQ(at(l, "bo_y").width(), full.left());
    EXPECT_EQ(at(normal(990, 655, true, true, 50), "bo_v").left(), 35);
}

TEST(Layout, MinimumSizeAndSideBarsClosed) {
    const Layout l = normal(900, 467, false, false);
    EXPECT_EQ(at(l, "zz"), QRect(2, 39, 896, 382));
    EXPECT_EQ(at(l, "bo_foot"), QRect(2, 421, 896, 43));
    // Closed side bar: the play area spans the page, the strip sits 4 from its right edge.
    EXPECT_EQ(at(l, "L1"), QRect(0, 0, 896, 382));
    EXPECT_EQ(at(l, "npc6").left(), 896 - 4);
    EXPECT_FALSE(l.sideStripOpenGlyph);
    EXPECT_EQ(at(l, "peer").width(), 896);
    EXPECT_EQ(at(l, "tvleft"), QRect(0, 0, 896, 382));
    EXPECT_EQ(at(l, "npc15").left(), 892);
    EXPECT_FALSE(l.tvStripOpenGlyph);
    EXPECT_EQ(at(l, "gtv").right(), 895);
    EXPECT_EQ(at(l, "Web10"), QRect(-2, -2, 900, 386));

    const Layout open = normal(900, 467);
    EXPECT_EQ(at(open, "tvright"), QRect(694, 0, 202, 382));
    EXPECT_EQ(at(open, "tvleft"), QRect(0, 0, 694, 382));
    EXPECT_EQ(at(open, "Web11"), QRect(-2, -2, 206, 386));
}

TEST(Layout, MaximisedUsesTheWholeClientArea) {
    const Layout l = normal(1280, 1024);
    EXPECT_EQ(at(l, "npc2").left(), 1248);
    EXPECT_EQ(at(l, "zz"), QRect(2, 39, 1276, 939));
    EXPECT_EQ(at(l, "L1").width(), 1074);
}

TEST(Layout, MinimumSizesInTwips) {
    // Normal mode snaps back to 13500 by 7000 twips unless maximised.
    EXPECT_EQ(clampOuterSizeTwips({12000, 9000}, 0, false), QSize(13500, 9000));
    EXPECT_EQ(clampOuterSizeTwips({14850, 6000}, 0, false), QSize(14850, 7000));
    EXPECT_EQ(clampOuterSizeTwips({9000, 6000}, 0, true), QSize(9000, 6000));
    // Compact mode has its own minimum, even when maximised.
    EXPECT_EQ(clampOuterSizeTwips({3000, 2000}, 1, true), QSize(4100, 3000));
    EXPECT_EQ(clampOuterSizeTwips({5900, 4800}, 2, false), QSize(5900, 4800));
    EXPECT_EQ(twipsToPixels(13500), 900);
    EXPECT_EQ(twipsToPixels(7000), 467);
    EXPECT_EQ(twipsToPixels(kDefaultWidthTwips), 990);
    EXPECT_EQ(twipsToPixels(kDefaultHeightTwips), 655);
    EXPECT_EQ(twipsToPixels(4100), 273);
    EXPECT_EQ(twipsToPixels(3000), 200);
}

TEST(Layout, CompactPlayerPageAndTitleWrap) {
    LayoutState s;
    s.client = {393, 320};
    s.compactMode = 1;
    DesignSizes d;
    d.niName = {100, 14};
    d.niBo1 = {100, 14};
    Layout l = layoutFor(s, d);
    EXPECT_EQ(at(l, "jbi"), QRect(368, 2, 15, 14));
    EXPECT_FALSE(l.niBo1Wrapped);
    EXPECT_EQ(at(l, "ni_bo1"), QRect(13, 5, 100, 14));
    EXPECT_EQ(at(l, "zz"), QRect(2, 20, 389, 297));
    EXPECT_EQ(at(l, "L1"), QRect(0, 0, 389, 297));
    EXPECT_EQ(at(l, "Pic2"), QRect(0, 0, 389, 297));
    EXPECT_EQ(at(l, "Web2"), QRect(-2, -2, 393, 301));
    EXPECT_EQ(at(l, "peer"), QRect(0, 0, 389, 297));
    EXPECT_FALSE(l.zhunAutoSize);
    EXPECT_EQ(at(l, "zhun"), QRect(13, 3, 120, d.zhun.height()));
    EXPECT_FALSE(l.rect.contains(QStringLiteral("bo_foot")));
    EXPECT_FALSE(l.rect.contains(QStringLiteral("l2")));

    // A title wider than the space left of jbi wraps at (left of jbi - 50).
    d.niName = {400, 14};
    d.niBo1 = {400, 14};
    l = layoutFor(s, d);
    EXPECT_TRUE(l.niBo1Wrapped);
    EXPECT_EQ(at(l, "ni_bo1"), QRect(13, 5, 318, d.niBo1WrappedHeight));
    // Exactly fitting stays on one line.
    d.niName = {318, 14};
    EXPECT_FALSE(layoutFor(s, d).niBo1Wrapped);
}

TEST(Layout, CompactTvPage) {
    LayoutState s;
    s.client = {273, 200};
    s.compactMode = 2;
    const Layout l = layoutFor(s);
    EXPECT_EQ(at(l, "tv"), QRect(2, 20, 269, 177));
    EXPECT_EQ(at(l, "tvleft"), QRect(0, 0, 269, 177));
    EXPECT_EQ(at(l, "Web10"), QRect(-2, -2, 273, 181));
    EXPECT_FALSE(l.rect.contains(QStringLiteral("zz")));
    EXPECT_FALSE(l.rect.contains(QStringLiteral("ni_bo1")));
}

TEST(Layout, FrameSlices) {
    const auto slices = frameSlices({990, 655}, false);
    ASSERT_EQ(slices.size(), 8u);
    EXPECT_EQ(slices[0].dst, QRect(0, 55, 35, 600));
    EXPECT_EQ(slices[1].dst, QRect(955, 55, 35, 600));
    EXPECT_EQ(slices[2].dst, QRect(35, 610, 920, 45));
    EXPECT_EQ(slices[5].dst, QRect(40, 0, 920, 55));
    EXPECT_EQ(slices[7].dst, QRect(960, 0, 30, 55));
    EXPECT_EQ(slices[7].src, QRect(50, 0, 30, 55));
    // Every source lies inside the 80 by 108 frame picture.
    for (bool compact : {false, true})
        for (const Slice &s : frameSlices({393, 320}, compact))
            EXPECT_TRUE(QRect(0, 0, 80, 108).contains(s.src)) << s.src.x() << "," << s.src.y();

    const auto c = frameSlices({393, 320}, true);
    EXPECT_EQ(c[0].dst, QRect(0, 30, 35, 290));
    EXPECT_EQ(c[0].src, QRect(0, 50, 35, 33));
    EXPECT_EQ(c[6].dst, QRect(0, 0, 40, 30));
}

TEST(Layout, RoundedShapeFollowsTheOuterSize) {
    const RoundedShape a = roundedShape({990, 655});
    EXPECT_EQ(a.bounds, QRect(0, 0, 991, 656));
    EXPECT_EQ(a.corner, QSize(4, 4));
    EXPECT_EQ(roundedShape({991, 655}).bounds.width(), 992);

    const QRegion region = shapeRegion(a);
    EXPECT_EQ(region.boundingRect(), QRect(0, 0, 990, 655));
    EXPECT_FALSE(region.contains(QPoint(0, 0)));
    EXPECT_FALSE(region.contains(QPoint(989, 654)));
    EXPECT_FALSE(region.contains(QPoint(989, 0)));
    EXPECT_TRUE(region.contains(QPoint(1, 0)));
    EXPECT_TRUE(region.contains(QPoint(495, 300)));
}

TEST(Layout, TitleTooltipBoxSitsUnderTheButton) {
    EXPECT_EQ(titleTooltipBoxRect(QRect(958, 4, 24, 24), QSize(30, 14)), QRect(953, 31, 35, 19));
}
