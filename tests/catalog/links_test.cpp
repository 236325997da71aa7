#include "catalog/links.h"

#include "catalog/escape.h"

#include <gtest/gtest.h>

using namespace vantoli;

TEST(LinkRecognition, FollowsTheHandlersOrder) {
    EXPECT_EQ(recognizeLink(QStringLiteral("kxbovod://1-0-2-a")), LinkKind::ByNumber);
    EXPECT_EQ(recognizeLink(QStringLiteral("kxpeer://peer&&&a")), LinkKind::Media);
    // Both schemes: the by-number test comes first.
    EXPECT_EQ(recognizeLink(QStringLiteral("kxpeer://x kxbovod://1")), LinkKind::ByNumber);
    // The two media schemes match anywhere in the address, the others only as prefix.
    EXPECT_EQ(recognizeLink(QStringLiteral("about:blankkxpeer://q")), LinkKind::Media);
    EXPECT_EQ(recognizeLink(QStringLiteral("kxtvs://cctv1")), LinkKind::Tv);
    EXPECT_EQ(recognizeLink(QStringLiteral(" kxtvs://cctv1")), LinkKind::None);
    EXPECT_EQ(recognizeLink(QStringLiteral("delk://7/")), LinkKind::HistoryDelete);
    EXPECT_EQ(recognizeLink(QStringLiteral("open://7")), LinkKind::HistoryOpen);
    EXPECT_EQ(recognizeLink(QStringLiteral("http://open://7")), LinkKind::None);
    EXPECT_EQ(recognizeLink(QString()), LinkKind::None);
}

TEST(MediaLink, DecodesNineFieldsAndDropsTheBrowsersSlash) {
    const MediaLink l = decodeMediaLink(
        QStringLiteral("kxpeer://peer&&&http%3A//h/a.mp4&&&%u4E2D&&&ep%203&&&12&&&0&&&3&&&n&&&1/"));
    EXPECT_EQ(l.kind, QStringLiteral("peer"));
    EXPECT_TRUE(l.isPlayerKind());
    EXPECT_EQ(l.address, QStringLiteral("http%3A//h/a.mp4"));
    EXPECT_EQ(l.title, QStringLiteral("%u4E2D"));
    EXPECT_EQ(l.episodeName, QStringLiteral("ep%203"));
    EXPECT_EQ(l.videoId, 12);
    EXPECT_EQ(l.source, QStringLiteral("0"));
    EXPECT_EQ(l.episode, QStringLiteral("3"));
    EXPECT_EQ(l.listRefresh, QStringLiteral("n"));
    EXPECT_EQ(l.flag, QStringLiteral("1"));
    EXPECT_FALSE(l.wantsListRefresh());
}

TEST(MediaLink, MissingFieldsReadEmptyOrZero) {
    const MediaLink seven = decodeMediaLink(QStringLiteral("kxpeer://web&&&a&&&t&&&e&&&5&&&1&&&2/"));
    EXPECT_EQ(seven.episode, QStringLiteral("2"));
    EXPECT_TRUE(seven.listRefresh.isEmpty());
    EXPECT_FALSE(seven.wantsListRefresh());
    EXPECT_FALSE(seven.isPlayerKind());

    const MediaLink eight = decodeMediaLink(QStringLiteral("kxpeer://peer&&&a&&&t&&&e&&&5&&&1&&&2&&&0"));
    EXPECT_TRUE(eight.wantsListRefresh());

    const MediaLink junk = decodeMediaLink(QStringLiteral("kxpeer://"));
    EXPECT_TRUE(junk.kind.isEmpty());
    EXPECT_TRUE(junk.address.isEmpty());
    EXPECT_EQ(junk.videoId, 0);

    EXPECT_EQ(decodeMediaLink(QStringLiteral("kxpeer://q&&&a&&&t&&&e&&&12x")).videoId, 0);
    EXPECT_EQ(decodeMediaLink(QStringLiteral("kxpeer://q&&&a&&&t&&&e&&&99999999999")).videoId, 0);
    // Only one trailing slash is dropped.
    EXPECT_EQ(decodeMediaLink(QStringLiteral("kxpeer://q&&&a//")).address, QStringLiteral("a/"));
}

TEST(MediaLink, BuildsEveryProducersForm) {
    EXPECT_EQ(buildLookupMediaLink(QStringLiteral("peer"), QStringLiteral("http://h/第1集.mp4"),
                                   QStringLiteral("%u4E2D"), QStringLiteral("第1集"), 12,
                                   QStringLiteral("0"), QStringLiteral("3")),
              QStringLiteral("kxpeer://peer&&&http%3A//h/%u7B2C1%u96C6.mp4&&&%u4E2D&&&第1集&&&12&&&0&&&3"));
    EXPECT_EQ(buildListPageMediaLink(QStringLiteral("web"), QStringLiteral("a b"), QStringLiteral("中"),
                                     QStringLiteral("e"), 4, 1, 2),
              QStringLiteral("kxpeer://web&&&a%20b&&&%u4E2D&&&e&&&4&&&1&&&2&&&n&&&1"));
    MediaLink cont;
    cont.kind = QStringLiteral("peer");
    cont.address = QStringLiteral("x");
    cont.title = QStringLiteral("t");
    cont.episodeName = QStringLiteral("n");
    cont.videoId = 3;
    cont.source = QStringLiteral("0");
    cont.episode = QStringLiteral("4");
    cont.listRefresh = QStringLiteral("0");
    const QString eight = buildMediaLink(cont);
    EXPECT_EQ(eight, QStringLiteral("kxpeer://peer&&&x&&&t&&&n&&&3&&&0&&&4&&&0"));
    const MediaLink back = decodeMediaLink(eight + u'/');
    EXPECT_EQ(back.episode, QStringLiteral("4"));
    EXPECT_TRUE(back.wantsListRefresh());
}

TEST(ByNumberLink, DecodesAndCutsTheTitleAtAHyphen) {
    const ByNumberLink l = decodeByNumberLink(QStringLiteral("kxbovod://12-0-3-%u4E2D-ab/"));
    EXPECT_EQ(l.videoId, 12);
    EXPECT_EQ(l.source, QStringLiteral("0"));
    EXPECT_EQ(l.episode, QStringLiteral("3"));
    EXPECT_EQ(l.title, QStringLiteral("%u4E2D"));

    const ByNumberLink trailing = decodeByNumberLink(QStringLiteral("kxbovod://7-1-2-title/"));
    EXPECT_EQ(trailing.title, QStringLiteral("title"));

    const ByNumberLink junk = decodeByNumberLink(QStringLiteral("kxbovod://abc"));
    EXPECT_EQ(junk.videoId, 0);
    EXPECT_TRUE(junk.source.isEmpty());
    EXPECT_TRUE(junk.title.isEmpty());

    EXPECT_EQ(buildByNumberLink(12, 0, 3, QStringLiteral("%u4E2D")),
              QStringLiteral("kxbovod://12-0-3-%u4E2D"));
}

TEST(TvAndHistoryLinks, Decode) {
    EXPECT_EQ(decodeTvLink(QStringLiteral("kxtvs://ch=1/")), QStringLiteral("ch=1/"));
    EXPECT_EQ(buildTvLink(QStringLiteral("3")), QStringLiteral("kxtvs://3"));
    EXPECT_EQ(decodeHistoryDeleteLink(QStringLiteral("delk://7")), 7);
    EXPECT_EQ(decodeHistoryDeleteLink(QStringLiteral("delk://7/")), 7);
    EXPECT_EQ(decodeHistoryOpenLink(QStringLiteral("open://7")), 7);
    EXPECT_EQ(decodeHistoryOpenLink(QStringLiteral("open://7/")), 7);
    EXPECT_EQ(decodeHistoryOpenLink(QStringLiteral("open://x")), 0);
    EXPECT_EQ(decodeHistoryDeleteLink(QStringLiteral("delk://")), 0);
    EXPECT_EQ(buildHistoryOpenLink(3), QStringLiteral("open://3"));
    EXPECT_EQ(buildHistoryDeleteLink(3), QStringLiteral("delk://3"));
}

TEST(PageParameters, AutoclickIsAPlainConcatenation) {
    EXPECT_EQ(autoclickValue(1, 12), QStringLiteral("112"));
    EXPECT_EQ(autoclickValue(11, 2), QStringLiteral("112"));
    const QString q = buildPageParameters(12, QStringLiteral("1"), QStringLiteral("3"),
                                          QStringLiteral("%u4E2D"), autoclickValue(1, 4));
    EXPECT_EQ(q, QStringLiteral("12-1-3-%u4E2D-14"));
    const PageParameters p = parsePageParameters(u'?' + q);
    EXPECT_EQ(p.videoId, QStringLiteral("12"));
    EXPECT_EQ(p.source, QStringLiteral("1"));
    EXPECT_EQ(p.episode, QStringLiteral("3"));
    EXPECT_EQ(p.title, QStringLiteral("%u4E2D"));
    EXPECT_EQ(p.autoclick, QStringLiteral("14"));
    // A title with "-" shifts the autoclick part.
    EXPECT_EQ(parsePageParameters(QStringLiteral("1-0-0-a-b-0")).autoclick, QStringLiteral("b"));
    EXPECT_TRUE(parsePageParameters(QString()).autoclick.isEmpty());
}

TEST(ItemKey, TheTitleIsTheWholeRestOfTheKey) {
    const auto k = splitItemKey(QStringLiteral("12-1-3-Spider-Man-2"));
    ASSERT_TRUE(k);
    EXPECT_EQ(k->id, QStringLiteral("12"));
    EXPECT_EQ(k->source, QStringLiteral("1"));
    EXPECT_EQ(k->episode, QStringLiteral("3"));
    EXPECT_EQ(k->title, QStringLiteral("Spider-Man-2"));
    EXPECT_EQ(k->fields, 4);
    EXPECT_EQ(buildItemKey(k->id, k->source, k->episode, k->title), QStringLiteral("12-1-3-Spider-Man-2"));
    EXPECT_EQ(splitItemKey(QStringLiteral("12-1-3-"))->fields, 4);
    EXPECT_EQ(splitItemKey(QStringLiteral("12-1"))->fields, 2);
    EXPECT_FALSE(splitItemKey(QStringLiteral("0")));

    // In the episode list page's query its "-" is written %2D.
    const QString q = buildPageParameters(12, QStringLiteral("1"), QStringLiteral("3"), k->title, QStringLiteral("14"));
    EXPECT_EQ(q, QStringLiteral("12-1-3-Spider%2DMan%2D2-14"));
    EXPECT_EQ(parsePageParameters(q).autoclick, QStringLiteral("14"));
    EXPECT_EQ(unescapeText(parsePageParameters(q).title), QStringLiteral("Spider-Man-2"));
}

TEST(EpisodeLookup, BuildsTheAddressAndParsesReplies) {
    EXPECT_EQ(episodeLookupUrl(QStringLiteral("http://127.0.0.1:8260/"), 12, QStringLiteral("0"),
                               QStringLiteral("3")),
              QStringLiteral("http://127.0.0.1:8260/h.php?id=12&v=0&v1=3"));
    EXPECT_FALSE(parseEpisodeLookupReply(QStringLiteral("1")));
    EXPECT_FALSE(parseEpisodeLookupReply(QString()));
    EXPECT_FALSE(parseEpisodeLookupReply(QStringLiteral("<html>error</html>")));
    const auto r = parseEpisodeLookupReply(QStringLiteral("第2集$http://h/2.mp4$peer$extra\r\n"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->episodeName, QStringLiteral("第2集"));
    EXPECT_EQ(r->address, QStringLiteral("http://h/2.mp4"));
    EXPECT_EQ(r->kind, QStringLiteral("peer"));
    // Exactly three parts: the line end belongs to no field.
    const auto three = parseEpisodeLookupReply(QStringLiteral("第3集$http://h/3.mp4$peer\r\n"));
    ASSERT_TRUE(three);
    EXPECT_EQ(three->kind, QStringLiteral("peer"));
    EXPECT_EQ(three->address, QStringLiteral("http://h/3.mp4"));
    const auto partial = parseEpisodeLookupReply(QStringLiteral("name$"));
    ASSERT_TRUE(partial);
    EXPECT_TRUE(partial->kind.isEmpty());
    EXPECT_EQ(formatEpisodeLookupReply(*r), QStringLiteral("第2集$http://h/2.mp4$peer"));
}

TEST(ServerAddresses, AreBuiltFromTheBase) {
    const QString base = QStringLiteral("http://127.0.0.1:8260/");
    EXPECT_EQ(episodeListPageUrl(base, QStringLiteral("1-0-0-t-0")),
              QStringLiteral("http://127.0.0.1:8260/pp.htm?1-0-0-t-0"));
    EXPECT_EQ(webPlaybackUrl(base, QStringLiteral("web"), QStringLiteral("a%20b")),
              QStringLiteral("http://127.0.0.1:8260/play.htm?web$$$a%20b"));
    EXPECT_EQ(tvChannelUrl(base, QStringLiteral("3")), QStringLiteral("http://127.0.0.1:8260/tv/kxbotv.htm?3"));
    EXPECT_EQ(playEndedUrl(base), QStringLiteral("http://127.0.0.1:8260/play-ended.htm"));
}
