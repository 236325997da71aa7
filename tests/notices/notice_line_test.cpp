// The notice line: the file "lib/gun.txt", the roll of Timerg, hover and
// clicks on the notices.

#include "notices/notice_line.h"
#include "support/fake_http_get.h"

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

struct FakeLabels : NoticeLineView {
    int base = 18;
    QStringList captions;
    QList<int> tops;
    QList<bool> visible, underline;
    QList<QPoint> moved;
    bool rollOn = false;
    int hover = 0;
    QStringList opened;

    int baseTop() const override { return base; }
    void setNotices(const QList<NoticeEntry> &n) override {
        captions.clear();
        for (const NoticeEntry &e : n)
            captions << e.text;
        tops = QList<int>(n.size(), base);
        // La 0 keeps its visibility; the copies start hidden.
        visible = QList<bool>(n.size(), false);
        visible[0] = true;
        underline = QList<bool>(n.size(), false);
    }
    void moveLabel(int i, QPoint p) override {
        moved << p;
        tops[i] = p.y();
    }
    void setLabelTop(int i, int t) override { tops[i] = t; }
    void setLabelVisible(int i, bool v) override { visible[i] = v; }
    void setLabelUnderline(int i, bool u) override { underline[i] = u; }
    void setRollTimer(bool on) override { rollOn = on; }
    int hoverState() const override { return hover; }
    void setHoverState(int s) override { hover = s; }
    void openInBrowser(const QString &url) override { opened << url; }

    int visibleCount() const { return int(std::count(visible.cbegin(), visible.cend(), true)); }
};

const QString kTwo = QStringLiteral("第一条通知||http://127.0.0.1:8260/$$$第二条||*$$$");

// Ticks until the current notice changes; returns the ticks it took.
int ticksToNext(NoticeLine &line, FakeLabels &v) {
    const int start = line.currentIndex();
    int n = 0;
    while (line.currentIndex() == start && n < 1000) {
        line.rollTick();
        ++n;
    }
    return n;
}

} // namespace

TEST(NoticeLineFile, EntriesLinksAndLimits) {
    QList<NoticeEntry> n = parseNoticeLine(kTwo);
    ASSERT_EQ(n.size(), 2); // the empty entry after the last "$$$" is dropped
    EXPECT_EQ(n[0].text, QStringLiteral("第一条通知"));
    EXPECT_EQ(n[1].link, QStringLiteral("*"));

    // A bad entry in the middle leaves no hole: the valid ones are numbered in order.
    n = parseNoticeLine(QStringLiteral("a||x$$$broken$$$\r\nc\r\nd||y"));
    ASSERT_EQ(n.size(), 2);
    EXPECT_EQ(n[1].text, QStringLiteral("c d"));
    EXPECT_EQ(n[1].link, QStringLiteral("y"));

    QString many;
    for (int i = 0; i < 70; ++i)
        many += QStringLiteral("n%1||*$$$").arg(i);
    n = parseNoticeLine(many);
    ASSERT_EQ(n.size(), 51);
    EXPECT_EQ(n.last().text, QStringLiteral("n50"));

    EXPECT_EQ(parseNoticeLine(QString(5000, QChar(0x4e2d)) + QStringLiteral("||*")).first().text.size(), 200);
    EXPECT_TRUE(parseNoticeLine(QString()).isEmpty());
    EXPECT_TRUE(parseNoticeLine(QStringLiteral("no separators at all")).isEmpty());
}

TEST(NoticeLineFile, OnlyWebLinksOpen) {
    EXPECT_EQ(noticeLinkToOpen(QStringLiteral("www.example.org/a?b=1")), QStringLiteral("http://www.example.org/a?b=1"));
    EXPECT_EQ(noticeLinkToOpen(QStringLiteral("http://127.0.0.1:8260/v/1.htm")), QStringLiteral("http://127.0.0.1:8260/v/1.htm"));
    EXPECT_EQ(noticeLinkToOpen(QStringLiteral("HTTPS://example.org/")), QStringLiteral("HTTPS://example.org/"));
    EXPECT_EQ(noticeLinkToOpen(QStringLiteral("localhost:8260/v/1.htm")), QStringLiteral("http://localhost:8260/v/1.htm"));
    for (const char *bad : {"", "*", "  ", "javascript:alert(1)", "file:///etc/passwd", "kxpeer://1", "http://",
                            "http://a b/", "http://a/\n/b", "-oProxyCommand=x", "mailto:a@b"})
        EXPECT_EQ(noticeLinkToOpen(QString::fromUtf8(bad)), QString()) << bad;
    EXPECT_EQ(webAddressToOpen(QStringLiteral("example.org")), QString());
    EXPECT_EQ(webAddressToOpen(QStringLiteral("https://example.org/x")), QStringLiteral("https://example.org/x"));
}

TEST(NoticeLine, FailedOrEmptyFetchLeavesTheLine) {
    FakeLabels v;
    NoticeLine line(v);
    FakeAsyncHttpGet http;
    line.gun_ad(http, QStringLiteral("http://b/"));
    EXPECT_EQ(http.requested, QStringList{QStringLiteral("http://b/lib/gun.txt")});
    http.answerAll();
    EXPECT_TRUE(v.captions.isEmpty());
    EXPECT_FALSE(v.rollOn);
    EXPECT_FALSE(line.load(QStringLiteral("$$$$$$")));
    line.rollTick(); // a stray tick with no notices does nothing
}

TEST(NoticeLine, OneNoticeStandsStillAt470By16) {
    FakeLabels v;
    NoticeLine line(v);
    ASSERT_TRUE(line.load(QStringLiteral("只有一条||example.org")));
    EXPECT_EQ(v.captions, QStringList{QStringLiteral("只有一条")});
    EXPECT_EQ(v.moved, QList<QPoint>{QPoint(470, 16)});
    EXPECT_TRUE(v.visible[0]);
    EXPECT_FALSE(v.rollOn);
    line.labelClicked(0);
    EXPECT_EQ(v.opened, QStringList{QStringLiteral("http://example.org")});
}

TEST(NoticeLine, TwoNoticesRiseHoldAndAlternate) {
    FakeLabels v;
    NoticeLine line(v);
    ASSERT_TRUE(line.load(kTwo));
    EXPECT_TRUE(v.rollOn);
    EXPECT_EQ(v.tops, (QList<int>{30, 30}));

    // Rises 12 pixels in 6 ticks, 2 a tick, then stays on the base line.
    for (int i = 1; i <= 6; ++i) {
        line.rollTick();
        EXPECT_EQ(v.tops[0], 30 - 2 * i);
    }
    line.rollTick();
    EXPECT_EQ(v.tops[0], 18);
    EXPECT_TRUE(v.visible[0]);
    EXPECT_FALSE(v.visible[1]);

    // One notice lasts 102 ticks (5.1 seconds); 7 have run.
    EXPECT_EQ(ticksToNext(line, v), 102 - 7);
    EXPECT_FALSE(v.visible[0]);
    EXPECT_EQ(v.tops[0], 30); // back below, ready to rise again
    EXPECT_EQ(line.currentIndex(), 1);
    line.rollTick();
    EXPECT_TRUE(v.visible[1]);
    EXPECT_EQ(v.tops[1], 28);
    EXPECT_EQ(1 + ticksToNext(line, v), 102);
    EXPECT_EQ(line.currentIndex(), 0);
    EXPECT_EQ(v.visibleCount(), 0);
    EXPECT_EQ(ticksToNext(line, v), 102);
    EXPECT_EQ(line.currentIndex(), 1);
}

TEST(NoticeLine, HoverHoldsTheNoticeUntilTheBarIsTouched) {
    FakeLabels v;
    NoticeLine line(v);
    line.load(kTwo);
    line.rollTick();
    line.labelHovered(0);
    EXPECT_TRUE(v.underline[0]);
    EXPECT_EQ(v.hover, NoticeHoverOn);
    for (int i = 0; i < 500; ++i)
        line.rollTick();
    EXPECT_EQ(line.currentIndex(), 0);
    EXPECT_TRUE(v.visible[0]);

    line.footerHovered();
    EXPECT_FALSE(v.underline[0]);
    EXPECT_EQ(v.hover, NoticeHoverNone);
    // The counter of the held period runs out, then the next notice comes.
    EXPECT_LE(ticksToNext(line, v), 102);
    EXPECT_EQ(line.currentIndex(), 1);
}

TEST(NoticeLine, ClickOpensWebLinksOnlyAndEndsTheHover) {
    FakeLabels v;
    NoticeLine line(v);
    line.load(QStringLiteral("a||http://127.0.0.1:8260/$$$b||*$$$c||javascript:alert(1)$$$d||$$$"));
    line.labelHovered(1);
    line.labelClicked(1); // link "*": nothing opens
    EXPECT_TRUE(v.opened.isEmpty());
    EXPECT_EQ(v.hover, NoticeHoverClicked);
    EXPECT_FALSE(v.underline[0]); // the current notice's underline goes
    // Just clicked: moving on a notice does not underline it again.
    line.labelHovered(1);
    EXPECT_FALSE(v.underline[1] && v.hover == NoticeHoverOn);
    EXPECT_EQ(v.hover, NoticeHoverClicked);

    line.labelClicked(2);
    line.labelClicked(3);
    line.labelClicked(7); // no such label
    EXPECT_TRUE(v.opened.isEmpty());
    line.labelClicked(0);
    EXPECT_EQ(v.opened, QStringList{QStringLiteral("http://127.0.0.1:8260/")});
}

TEST(NoticeLine, ReloadReplacesTheNotices) {
    FakeLabels v;
    NoticeLine line(v);
    line.load(kTwo);
    for (int i = 0; i < 150; ++i)
        line.rollTick();
    ASSERT_TRUE(line.load(QStringLiteral("x||*$$$y||*$$$z||*")));
    EXPECT_EQ(line.currentIndex(), 0);
    EXPECT_EQ(line.tickCounter(), 0);
    EXPECT_EQ(line.lastIndex(), 2);
    EXPECT_EQ(v.captions.size(), 3);
}
