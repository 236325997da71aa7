// The panes' link handlers against a fake player, window and content server.

#include "support/fake_dialogs.h"
#include "catalog/escape.h"
#include "catalog/links.h"
#include "catalog/pane_handlers.h"
#include "history/history_files.h"
#include "support/fake_http_get.h"
#include "platform/text_file.h"
#include "support/fake_playback_view.h"
#include "support/fake_player.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8260/");

class FakeHost : public CatalogHost, public PlayAreaSwitch {
public:
    PlaybackSession *session = nullptr;
    QStringList log;
    bool localList = false;
    void refreshPane(int n) override { log << QStringLiteral("refresh %1").arg(n); }
    bool localListShown() const override { return localList; }
    void ensureTransferRunning() override { log << QStringLiteral("transfer"); }
    void sendPlayPing() override { log << QStringLiteral("ping"); }
    void showEpisodeList(const QString &title, int id, int source, int episode) override {
        log << QStringLiteral("list %1 %2 %3 %4").arg(title).arg(id).arg(source).arg(episode);
    }
    void setPlayAreaMode(int mode) override {
        log << QStringLiteral("mode %1").arg(mode);
        session->setPlayAreaMode(mode);
    }
};

class PaneHandlersTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *n : {"date.dat", "date_f.dat"})
            write(n, "\r\n");
        host.session = &session;
        CatalogServices s;
        s.player = &player;
        s.session = &session;
        s.view = &view;
        s.timers = &view;
        s.playArea = &host;
        s.history = &history;
        s.lookups = &lookups;
        s.dialogs = &dialogs;
        s.host = &host;
        s.settings = &settings;
        s.contentBase = kBase;
        s.playEndedUrl = kBase + QStringLiteral("play-ended.htm");
        handlers = std::make_unique<PaneHandlers>(s);
    }
    void write(const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray raw(const char *name) const {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList navigations() const { return view.log.filter(QStringLiteral("navigate")); }

    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};
    HistoryStore history{dir.path()};
    FakePlayer player;
    FakePlaybackView view;
    FakeAsyncHttpGet lookups;
    FakeDialogs dialogs;
    FakeHost host;
    PlaybackSession session;
    const PlaybackState &state = session.state();
    std::unique_ptr<PaneHandlers> handlers;
};

} // namespace

TEST_F(PaneHandlersTest, ByNumberLinkLooksUpAndPlaysThroughTheCatalogPane) {
    const QString lookup = kBase + QStringLiteral("h.php?id=12&v=0&v1=3");
    EXPECT_TRUE(handlers->beforeNavigate(1, QStringLiteral("kxbovod://12-0-3-%u4E2D")));
    // Before the reply: the search text and the player page, nothing more.
    EXPECT_EQ(view.log, QStringList{QStringLiteral("npc 9")});
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("正在搜索资源，请稍后"));
    EXPECT_EQ(lookups.waiting(), QStringList{lookup});
    ASSERT_TRUE(lookups.answer(lookup, QStringLiteral("第4集$http://h/4.mp4$peer")));
    EXPECT_EQ(navigations(),
              QStringList{QStringLiteral("navigate 1 kxpeer://peer&&&http%3A//h/4.mp4&&&%u4E2D&&&第4集&&&12&&&0&&&3")});
    EXPECT_EQ(host.log, QStringList{QStringLiteral("list %u4E2D 12 0 3")});

    // "1": both error texts.
    handlers->beforeNavigate(1, QStringLiteral("kxbovod://12-0-3-T"));
    EXPECT_TRUE(view.balloons.isEmpty());
    lookups.answer(lookup, QStringLiteral("1"));
    EXPECT_EQ(view.texts.value("zhun"), QStringLiteral("读取数据出错，请重试"));
    EXPECT_EQ(view.balloons, QStringList{QStringLiteral("读取数据出错，请返回重试！")});
    EXPECT_EQ(state.nextEpisodeState, kNoNextEpisode);
}

TEST_F(PaneHandlersTest, ASecondByNumberClickReplacesTheWaitingLookupAndLateRepliesAreDropped) {
    const QString first = kBase + QStringLiteral("h.php?id=12&v=0&v1=3");
    const QString second = kBase + QStringLiteral("h.php?id=13&v=1&v1=0");
    handlers->beforeNavigate(1, QStringLiteral("kxbovod://12-0-3-A"));
    handlers->beforeNavigate(1, QStringLiteral("kxbovod://13-1-0-B"));
    EXPECT_EQ(lookups.cancelled, QStringList{first});
    EXPECT_EQ(lookups.waiting(), QStringList{second});
    EXPECT_FALSE(lookups.answer(first, QStringLiteral("E$http://h/a.mp4$peer")));
    lookups.answer(second, QStringLiteral("E1$http://h/b.mp4$peer"));
    EXPECT_EQ(navigations().filter(QStringLiteral("navigate 1 ")),
              QStringList{QStringLiteral("navigate 1 kxpeer://peer&&&http%3A//h/b.mp4&&&B&&&E1&&&13&&&1&&&0")});

    // Another item started while the lookup waited: its reply plays nothing
    // and says nothing.
    view.log.clear();
    handlers->beforeNavigate(1, QStringLiteral("kxbovod://12-0-3-A"));
    handlers->beforeNavigate(1, QStringLiteral("kxpeer://peer&&&http%3A//h/x.mp4&&&X&&&E&&&7&&&0&&&0&&&n&&&1"));
    const QStringList before = view.log;
    const QString key = state.currentItemKey;
    ASSERT_TRUE(lookups.answer(first, QStringLiteral("1")));
    EXPECT_EQ(view.log, before);
    EXPECT_EQ(state.currentItemKey, key);
    EXPECT_EQ(state.nextEpisodeState, kNothing);
    EXPECT_TRUE(view.balloons.isEmpty());

    // Closing drops a lookup still waiting.
    handlers->beforeNavigate(1, QStringLiteral("kxbovod://12-0-3-A"));
    handlers->cancelLookup();
    EXPECT_TRUE(lookups.waiting().isEmpty());
}

TEST_F(PaneHandlersTest, MediaLinkPlaysRecordsPingsAndReloadsTheListOnlyWhenAsked) {
    session.setNextEpisode(QStringLiteral("kxpeer://old"));
    handlers->beforeNavigate(1, QStringLiteral("kxpeer://peer&&&http%3A//h/4.mp4&&&%u4E2D&&&E4&&&12&&&0&&&3&&&n&&&1"));
    EXPECT_EQ(player.url, QStringLiteral("http://h/4.mp4"));
    EXPECT_TRUE(player.calls.contains(QStringLiteral("Play")));
    EXPECT_EQ(state.playAreaMode, kPlayAreaPlayer);
    EXPECT_EQ(state.currentItemKey, QStringLiteral("12-0-3-%u4E2D"));
    EXPECT_EQ(state.currentItemReference, QStringLiteral("12"));
    EXPECT_EQ(state.nextEpisodeState, kNothing);
    EXPECT_EQ(view.texts.value("bo_name"), QStringLiteral("中-E4"));
    EXPECT_EQ(state.currentEpisodeName, QStringLiteral("E4"));
    EXPECT_TRUE(navigations().isEmpty()) << "F7 \"n\" leaves the episode list";
    EXPECT_TRUE(raw("date.dat").startsWith("12|%u4E2D|E4|http%3A//h/4.mp4|0|3|0\r\n"));
    EXPECT_TRUE(host.log.contains(QStringLiteral("ping")));
    EXPECT_EQ(view.log.filter(QStringLiteral("npc")), (QStringList{"npc 9", "npc 11"}));

    handlers->beforeNavigate(1, QStringLiteral("kxpeer://peer&&&http%3A//h/a.mp4&&&T&&&E&&&5&&&1&&&2&&&0"));
    EXPECT_EQ(navigations(), QStringList{QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?5-1-2-T-0")});

    // No title: plays, pings, but no history line and no list.
    const QByteArray before = raw("date.dat");
    host.log.clear();
    handlers->beforeNavigate(1, QStringLiteral("kxpeer://peer&&&http%3A//h/b.mp4&&&&&&E&&&6&&&0&&&0&&&0"));
    EXPECT_EQ(player.url, QStringLiteral("http://h/b.mp4"));
    EXPECT_EQ(raw("date.dat"), before);
    EXPECT_EQ(navigations().size(), 1);
    EXPECT_TRUE(host.log.contains(QStringLiteral("ping")));

    // A web kind plays on the web playback page and stops the tick.
    handlers->beforeNavigate(1, QStringLiteral("kxpeer://html5&&&http%3A//h/x.webm&&&T&&&E&&&7&&&1&&&0"));
    EXPECT_EQ(state.playAreaMode, kPlayAreaWeb);
    EXPECT_EQ(navigations().last(), QStringLiteral("navigate 2 ") + kBase + QStringLiteral("play.htm?html5$$$http%3A//h/x.webm"));
    EXPECT_EQ(state.currentItemReference, kNothing);
    EXPECT_FALSE(view.timers.value(PlaybackTimer::Status));
}

TEST_F(PaneHandlersTest, EndOfPlayGoesOnOnlyWhenAskedTo) {
    const QString signal = kBase + QStringLiteral("play-ended.htm");
    session.startNetworkItem(QStringLiteral("12-1-3-T"), QString(), kNothing);
    view.timers[PlaybackTimer::Status] = false;
    settings.write(QStringLiteral("S_q"), QStringLiteral("s_bo"), QStringLiteral("1"));
    EXPECT_TRUE(handlers->beforeNavigate(2, signal));
    EXPECT_TRUE(navigations().isEmpty());
    EXPECT_TRUE(view.timers.value(PlaybackTimer::Status));

    settings.write(QStringLiteral("S_q"), QStringLiteral("s_bo"), QStringLiteral("2"));
    session.setNextEpisode(kLookupFailed);
    handlers->beforeNavigate(2, signal + QStringLiteral("?x"));
    EXPECT_EQ(navigations().last(), QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?12-1-3-T-14"));
    session.setNextEpisode(QStringLiteral("kxpeer://peer&&&n"));
    handlers->beforeNavigate(2, signal);
    EXPECT_EQ(navigations().last(), QStringLiteral("navigate 1 kxpeer://peer&&&n"));
    session.setNextEpisode(kNoNextEpisode);
    handlers->beforeNavigate(2, signal);
    EXPECT_EQ(navigations().size(), 2);
    // Other addresses load as usual.
    EXPECT_FALSE(handlers->beforeNavigate(2, kBase + QStringLiteral("play.htm?x")));
}

TEST_F(PaneHandlersTest, HistoryOpenOfAMissingLocalFileSaysSoAndRemovesIt) {
    host.localList = true;
    const QString gone = dir.filePath(QStringLiteral("gone.mp4"));
    const QString here = dir.filePath(QStringLiteral("here|1.mp4"));
    write("here|1.mp4", "x");
    history.addLocalPlay(QStringLiteral("gone.mp4"), gone, 5);
    history.addLocalPlay(QStringLiteral("here|1.mp4"), here, 42);
    // The local list hands the link to the network-task list's handler.
    EXPECT_TRUE(handlers->beforeNavigate(4, QStringLiteral("open://2")));
    EXPECT_EQ(navigations(), QStringList{QStringLiteral("navigate 3 open://2")});
    EXPECT_TRUE(handlers->beforeNavigate(3, QStringLiteral("open://2")));
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("提示：") + gone + QStringLiteral("不存在!")});
    EXPECT_FALSE(raw("date_f.dat").contains("gone.mp4"));

    handlers->beforeNavigate(3, QStringLiteral("open://1/"));
    EXPECT_EQ(player.url, here);
    EXPECT_EQ(state.resumePosition, 42);
    EXPECT_EQ(state.playSource, kSourceLocal);
    EXPECT_EQ(state.currentItemReference, here);

    // A line that does not exist plays nothing.
    player.calls.clear();
    handlers->beforeNavigate(3, QStringLiteral("open://9"));
    EXPECT_TRUE(player.calls.isEmpty());
}

TEST_F(PaneHandlersTest, LinksOnlyActInTheirOwnPanes) {
    EXPECT_TRUE(handlers->beforeNavigate(11, QStringLiteral("kxtvs://3")));
    EXPECT_EQ(state.playAreaMode, kPlayAreaTv);
    EXPECT_EQ(navigations(), QStringList{QStringLiteral("navigate 10 ") + kBase + QStringLiteral("tv/kxbotv.htm?3")});
    EXPECT_TRUE(view.visible.value("gtv"));

    // A media link in the TV list or a history link in the catalog is
    // cancelled and does nothing.
    view.log.clear();
    player.calls.clear();
    EXPECT_TRUE(handlers->beforeNavigate(11, QStringLiteral("kxpeer://peer&&&a&&&T&&&E&&&1&&&0&&&0")));
    EXPECT_TRUE(handlers->beforeNavigate(1, QStringLiteral("delk://1")));
    EXPECT_TRUE(handlers->beforeNavigate(6, QStringLiteral("kxbovod://1-0-0-T")));
    EXPECT_TRUE(player.calls.isEmpty());
    EXPECT_TRUE(view.log.isEmpty());
    EXPECT_FALSE(handlers->beforeNavigate(1, kBase + QStringLiteral("v/1.htm")));

    // The episode list hands its links to the catalog pane.
    EXPECT_TRUE(handlers->beforeNavigate(5, QStringLiteral("kxbovod://1-0-0-T")));
    EXPECT_EQ(navigations(), QStringList{QStringLiteral("navigate 1 kxbovod://1-0-0-T")});
}

TEST_F(PaneHandlersTest, BarsAndLineBreaksInLinkFieldsKeepEachHistoryLineWhole) {
    const QString hash = QStringLiteral("0123456789abcdef0123456789abcdef01234567");
    const QString a = QStringLiteral("peer%3A//100%7C") + hash + QStringLiteral("%7Ca.mp4%7C");
    const QString b = QStringLiteral("peer%3A//100%7C") + hash + QStringLiteral("%7Cb.mp4%7C");
    handlers->beforeNavigate(1, QStringLiteral("kxpeer://peer&&&") + a + QStringLiteral("&&&Old&&&E1&&&5&&&0&&&0&&&n"));
    handlers->beforeNavigate(1, QStringLiteral("kxpeer://peer&&&") + b +
                                    QStringLiteral("&&&A|B\r\nC%u4E2D&&&E\n2|y&&&7&&&0&&&2&&&n"));
    history.updateNetworkTaskPosition(7, 33);
    QStringList entries;
    for (const QByteArray &line : raw("date.dat").split('\n'))
        if (line.contains('|'))
            entries << QString::fromUtf8(line.trimmed());
    ASSERT_EQ(entries.size(), 2) << raw("date.dat").toStdString();
    for (const QString &e : entries)
        EXPECT_EQ(e.split(u'|').size(), 7) << e.toStdString();
    EXPECT_EQ(entries.first(), QStringLiteral("7|A%7CB%0D%0AC%u4E2D|E%0A2%7Cy|") + b + QStringLiteral("|0|2|33"));
    const QString page = readTextFile(dir.filePath(QStringLiteral("c.htm"))).value_or(QString());
    EXPECT_EQ(page.count(QStringLiteral("href=open://")), 2);
    EXPECT_TRUE(page.contains(QStringLiteral("href=open://1>·A|B\r\nC中</a>"))) << page.toStdString();

    // Each row opens its own entry, with its whole texts.
    handlers->beforeNavigate(3, QStringLiteral("open://1"));
    EXPECT_EQ(player.url, unescapeText(b));
    EXPECT_EQ(view.texts.value("bo_name"), QStringLiteral("A|B\r\nC中-E\n2|y"));
    EXPECT_EQ(state.currentEpisodeName, QStringLiteral("E\n2|y"));
    EXPECT_EQ(state.resumePosition, 33);
    handlers->beforeNavigate(3, QStringLiteral("open://2"));
    EXPECT_EQ(player.url, unescapeText(a));
    EXPECT_EQ(state.currentItemReference, QStringLiteral("5"));
}

TEST_F(PaneHandlersTest, ATitleWithADashKeepsTheEpisodeListsFieldsInPlace) {
    handlers->beforeNavigate(1, QStringLiteral("kxpeer://peer&&&http%3A//h/4.mp4&&&Spider-Man&&&E4&&&12&&&1&&&3&&&0"));
    EXPECT_EQ(state.currentItemKey, QStringLiteral("12-1-3-Spider-Man"));
    EXPECT_EQ(navigations().last(), QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?12-1-3-Spider%2DMan-0"));

    // At the end the list clicks the next episode, not one named by the title.
    settings.write(QStringLiteral("S_q"), QStringLiteral("s_bo"), QStringLiteral("2"));
    session.setNextEpisode(kLookupFailed);
    handlers->beforeNavigate(2, kBase + QStringLiteral("play-ended.htm"));
    EXPECT_EQ(navigations().last(), QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?12-1-3-Spider%2DMan-14"));
    EXPECT_EQ(parsePageParameters(navigations().last().section(u'?', 1)).autoclick, QStringLiteral("14"));

    // Reopened from the history: the list opens on it, and a web-played
    // entry has its own episode clicked.
    write("date.dat", "12|Spider-Man|E4|peer%3A//100%7C0123456789abcdef0123456789abcdef01234567%7Ca.mp4%7C|1|3|0\r\n"
                      "13|Spider-Man|E4|http%3A//h/4.webm|1|3|0\r\n");
    handlers->beforeNavigate(3, QStringLiteral("open://1"));
    EXPECT_EQ(navigations().last(), QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?12-1-3-Spider%2DMan-0"));
    EXPECT_EQ(state.currentItemKey, QStringLiteral("12-1-3-Spider-Man"));
    handlers->beforeNavigate(3, QStringLiteral("open://2"));
    EXPECT_EQ(navigations().last(), QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?13-1-3-Spider%2DMan-13"));
}

TEST_F(PaneHandlersTest, APageOrANetworkHistoryLineNamingAnythingButANetworkAddressPlaysAndRecordsNothing) {
    session.setPlayAreaMode(kPlayAreaPlayer);
    player.url = QStringLiteral("http://h/playing.mp4");
    const QByteArray before = raw("date.dat");
    for (const char *address : {"av%3A//lavfi%3Asine%2Cametadata%3Dmode%3Dprint%3Afile%3D/tmp/x", "file%3A///etc/passwd",
                                "/home/u/a.mp4", "lavfi%3A//anullsrc", "fd%3A//0"}) {
        EXPECT_TRUE(handlers->beforeNavigate(
            1, QStringLiteral("kxpeer://peer&&&%1&&&T&&&E&&&12&&&0&&&3&&&0").arg(QString::fromLatin1(address))));
        EXPECT_EQ(player.url, QStringLiteral("http://h/playing.mp4")) << address;
        EXPECT_EQ(view.texts.value("zhun"), kRefusedAddressText);
    }
    EXPECT_TRUE(player.calls.isEmpty()) << player.calls.join(u',').toStdString();
    EXPECT_EQ(state.playAreaMode, kPlayAreaPlayer) << "the item playing goes on";
    EXPECT_EQ(raw("date.dat"), before);
    EXPECT_FALSE(host.log.contains(QStringLiteral("ping")));

    // A network-task line naming a local file (a page's link once took it).
    write("date.dat", "12|T|E|%2Fhome%2Fu%2Fpeer.mp4|0|3|0\r\n13|T|E|av%3A//lavfi%3Apeer|0|3|0\r\n");
    handlers->beforeNavigate(3, QStringLiteral("open://1"));
    handlers->beforeNavigate(3, QStringLiteral("open://2"));
    EXPECT_TRUE(player.calls.isEmpty());

    // The local-play list holds the user's own files; not the engine's protocols.
    host.localList = true;
    write("date_f.dat", "x|av://lavfi:testsrc|0\r\n");
    handlers->beforeNavigate(3, QStringLiteral("open://1"));
    EXPECT_TRUE(player.calls.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
