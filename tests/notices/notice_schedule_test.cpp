// The notice pop-up's schedule file, its two timers and the window's place.

#include "notices/notice_schedule.h"
#include "support/fake_http_get.h"

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

struct FakeWindow : NoticeWindowView {
    QStringList log;
    bool delayOn = false, showOn = false, unloaded = false;
    void navigateNotice(const QString &a) override { log << QStringLiteral("go ") + a; }
    void setDelayTimer(bool on) override { delayOn = on; }
    void setShowTimer(bool on) override { showOn = on; }
    void hideForNextNotice() override { log << QStringLiteral("hide"); }
    void unloadWindow() override { unloaded = true; }
};

const QString kA = QStringLiteral("http://127.0.0.1:8260/notice/1.htm");
const QString kB = QStringLiteral("http://127.0.0.1:8260/notice/3.htm");

// Runs the delay timer and the show timer for the given counts of ticks.
void tick(NoticeScheduler &s, FakeWindow &w, int seconds, int minutes) {
    for (int i = 0; i < seconds && w.delayOn; ++i)
        s.delayTick();
    for (int i = 0; i < minutes && w.showOn && !w.unloaded; ++i)
        s.showTick();
}

} // namespace

TEST(NoticeSchedule, FieldsDefaultsAndAddressFilter) {
    auto s = parseNoticeSchedule(QStringLiteral("0||0||0||") + kA);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->delaySeconds, 120);
    EXPECT_EQ(s->showMinutes, 30);
    EXPECT_FALSE(s->cycle);
    EXPECT_EQ(s->addresses, QStringList{kA});

    s = parseNoticeSchedule(QStringLiteral(" 5 ||x||1\r\n||ftp://a$$$") + kA + QStringLiteral("$$$/local$$$") + kB +
                            QStringLiteral("\r\n$$$"));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->delaySeconds, 5);
    EXPECT_EQ(s->showMinutes, 30);
    EXPECT_TRUE(s->cycle);
    // Entries not starting with "http://" are skipped; the later ones move up.
    EXPECT_EQ(s->addresses, (QStringList{kA, kB}));

    EXPECT_EQ(parseNoticeSchedule(QStringLiteral("-3||-1||2||") + kA)->delaySeconds, 120);
    EXPECT_EQ(parseNoticeSchedule(QStringLiteral("-3||-1||2||") + kA)->showMinutes, -1);
    EXPECT_FALSE(parseNoticeSchedule(QStringLiteral("")));
    EXPECT_FALSE(parseNoticeSchedule(QStringLiteral("120|30|0|http://a")));
    EXPECT_FALSE(parseNoticeSchedule(QString(QChar(0)) + QStringLiteral("\xff binary")));
}

TEST(NoticeSchedule, AtMost51Addresses) {
    QStringList many;
    for (int i = 0; i < 80; ++i)
        many << QStringLiteral("http://h/%1").arg(i);
    const auto s = parseNoticeSchedule(QStringLiteral("1||1||0||") + many.join(QStringLiteral("$$$")));
    ASSERT_EQ(s->addresses.size(), 51);
    EXPECT_EQ(s->addresses.last(), QStringLiteral("http://h/50"));
}

TEST(NoticeScheduler, AllZeroFieldsShowAfter120SecondsThenUnloadAfter30Minutes) {
    FakeWindow w;
    NoticeScheduler s(w);
    FakeAsyncHttpGet http;
    http.replies.insert(QStringLiteral("http://b/lib/tan.txt"), QStringLiteral("0||0||0||") + kA);
    s.tan_x(http, QStringLiteral("http://b/"));
    EXPECT_EQ(http.requested, QStringList{QStringLiteral("http://b/lib/tan.txt")});
    EXPECT_FALSE(w.delayOn); // not before the schedule arrives
    http.answerAll();
    ASSERT_TRUE(w.delayOn);

    tick(s, w, 119, 0);
    EXPECT_TRUE(w.log.isEmpty());
    EXPECT_FALSE(s.shown());
    tick(s, w, 1, 0);
    EXPECT_EQ(w.log, QStringList{QStringLiteral("go ") + kA});
    EXPECT_TRUE(s.shown());
    EXPECT_FALSE(w.delayOn);
    EXPECT_TRUE(w.showOn);

    tick(s, w, 0, 29);
    EXPECT_FALSE(w.unloaded);
    tick(s, w, 0, 1);
    EXPECT_TRUE(w.unloaded);
    EXPECT_FALSE(w.showOn);
    EXPECT_EQ(w.log.size(), 1);
    // A late tick after the unload does nothing.
    s.showTick();
    EXPECT_EQ(w.log.size(), 1);
}

TEST(NoticeScheduler, CycleAlternatesTwoPagesWithoutEnd) {
    FakeWindow w;
    NoticeScheduler s(w);
    ASSERT_TRUE(s.start(*parseNoticeSchedule(QStringLiteral("2||3||1||") + kA + QStringLiteral("$$$") + kB)));
    tick(s, w, 2, 0);
    for (int round = 0; round < 5; ++round)
        tick(s, w, 0, 3);
    const QStringList expected = {QStringLiteral("go ") + kA, "hide", QStringLiteral("go ") + kB, "hide",
                                  QStringLiteral("go ") + kA, "hide", QStringLiteral("go ") + kB, "hide",
                                  QStringLiteral("go ") + kA, "hide", QStringLiteral("go ") + kB};
    EXPECT_EQ(w.log, expected);
    EXPECT_FALSE(w.unloaded);
    EXPECT_TRUE(w.showOn);
}

TEST(NoticeScheduler, NoCycleShowsEachPageOnceThenUnloads) {
    FakeWindow w;
    NoticeScheduler s(w);
    s.start(*parseNoticeSchedule(QStringLiteral("1||1||0||") + kA + QStringLiteral("$$$") + kB));
    tick(s, w, 1, 5);
    EXPECT_EQ(w.log, (QStringList{QStringLiteral("go ") + kA, "hide", QStringLiteral("go ") + kB}));
    EXPECT_TRUE(w.unloaded);
}

TEST(NoticeScheduler, NegativeShowTimeKeepsTheFirstNotice) {
    FakeWindow w;
    NoticeScheduler s(w);
    s.start(*parseNoticeSchedule(QStringLiteral("1||-5||0||") + kA));
    tick(s, w, 1, 0);
    EXPECT_EQ(w.log.size(), 1);
    EXPECT_FALSE(w.showOn);
}

TEST(NoticeScheduler, MissingOrUnusableScheduleLeavesWindowHidden) {
    for (const QString &reply : {QString(), QStringLiteral("<html>404</html>"), QStringLiteral("5||5||0||ftp://x$$$"),
                                 QStringLiteral("5||5||0")}) {
        FakeWindow w;
        NoticeScheduler s(w);
        FakeAsyncHttpGet http;
        http.replies.insert(QStringLiteral("http://b/lib/tan.txt"), reply);
        s.tan_x(http, QStringLiteral("http://b/"));
        http.answerAll();
        EXPECT_FALSE(w.delayOn) << reply.toStdString();
        s.delayTick();
        EXPECT_TRUE(w.log.isEmpty());
        EXPECT_FALSE(w.unloaded);
    }
}

TEST(NoticePlacement, SizedToPageInTheWorkAreaCorner) {
    const QRect area(0, 0, 1280, 992); // task bar of 32 pixels at the bottom
    NoticeWindowPlacement p = placeNoticeWindow({326, 240}, area, {16, 16});
    EXPECT_EQ(p.window, QRect(1280 - 324, 992 - 238, 324, 238));
    EXPECT_EQ(p.pane, QRect(-1, -1, 324, 238));
    EXPECT_EQ(p.closeIcon, QPoint(324 - 16 - 1, 1));

    // Larger than 800 by 600: clamped to 12000 by 9000 twips less 30.
    p = placeNoticeWindow({1500, 2000}, area, {16, 16});
    EXPECT_EQ(p.window.size(), QSize(798, 598));
    EXPECT_EQ(p.window.bottomRight(), QPoint(1279, 991));

    // A work area that does not start at the origin (task bar on the left, second screen).
    p = placeNoticeWindow({300, 200}, QRect(1920 + 48, 0, 1872, 1080), {16, 16});
    EXPECT_EQ(p.window.topLeft(), QPoint(1920 + 48 + 1872 - 298, 1080 - 198));

    // A nonsense measurement never makes an empty or inverted window.
    p = placeNoticeWindow({0, -5}, area, {16, 16});
    EXPECT_EQ(p.window.size(), QSize(18, 18));
}
