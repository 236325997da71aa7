// Reply and page formats the program relies on, checked without a socket.

#include "content_server.h"
#include "pages.h"
#include "stats.h"
#include "web_text.h"

#include "app/machine_id.h"
#include "app/text_util.h"
#include "catalog/escape.h"
#include "catalog/links.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

using namespace vantoli;
using namespace vantoli::server;

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8260/");

Catalog sampleCatalog() {
    Catalog c;
    Title s;
    s.id = 7;
    s.name = QStringLiteral("星河-旅人");
    s.series = true;
    s.sources = {
        {QStringLiteral("高清"),
         {{QStringLiteral("第1集"), QStringLiteral("demo/a b/01.mp4"), kPlayerKind},
          {QStringLiteral("a$b#c;\"<x>"), QStringLiteral("demo/02$#.mp4"), kPlayerKind}}},
        {QStringLiteral("网页"), {{QStringLiteral("第1集"), QStringLiteral("https://cdn/x.webm?a=1&b=$"), kWebKind}}},
    };
    c.titles.append(s);
    Title f;
    f.id = 9;
    f.name = QStringLiteral("<script>alert(1)</script>");
    f.sources = {{QStringLiteral("源"), {{QStringLiteral("正片"), QStringLiteral("f.mp4"), kPlayerKind}}}};
    c.titles.append(f);
    c.channels.append({3, QStringLiteral("频道"), QStringLiteral("c.webm"), QString()});
    return c;
}

} // namespace

TEST(EpisodeLookup, AnswersKnownEpisodesAndOneForEverythingElse) {
    const Catalog c = sampleCatalog();
    const auto reply = parseEpisodeLookupReply(episodeLookup(c, kBase, "7", "0", "0"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->episodeName, QStringLiteral("第1集"));
    EXPECT_EQ(reply->address, kBase + QStringLiteral("media/demo/a%20b/01.mp4"));
    EXPECT_EQ(reply->kind, kPlayerKind);

    // A name holding the reply's separator travels escaped, and the address
    // has its "$" and "#" percent-encoded, so the reply keeps three fields.
    const QString odd = episodeLookup(c, kBase, "7", "0", "1");
    EXPECT_EQ(odd.count(u'$'), 2);
    const auto r2 = parseEpisodeLookupReply(odd);
    ASSERT_TRUE(r2);
    EXPECT_EQ(unescapeText(r2->episodeName), QStringLiteral("a$b#c;\"<x>"));
    EXPECT_EQ(r2->address, kBase + QStringLiteral("media/demo/02%24%23.mp4"));

    const auto web = parseEpisodeLookupReply(episodeLookup(c, kBase, "7", "1", "0"));
    ASSERT_TRUE(web);
    EXPECT_EQ(web->kind, kWebKind);
    EXPECT_FALSE(web->address.contains(u'$'));

    for (const auto &[id, v, v1] : std::vector<std::array<const char *, 3>>{
             {"7", "0", "2"}, {"7", "2", "0"}, {"8", "0", "0"}, {"", "0", "0"}, {"x", "0", "0"},
             {"7", "-1", "0"}, {"7", "0", "1.0"}, {"7", " 0", "0"}, {"99999999999", "0", "0"},
             {"7", "0", "0x1"}})
        EXPECT_EQ(episodeLookup(c, kBase, id, v, v1), QStringLiteral("1")) << id << "/" << v << "/" << v1;
}

TEST(EpisodeData, FollowsTheSeparatorsAndSurvivesTheLocalCopyExtraction) {
    const Catalog c = sampleCatalog();
    const Title &t = *c.findTitle(7);
    const QString data = episodeData(t, kBase);
    const QStringList sources = data.split(QStringLiteral("$$$"));
    ASSERT_EQ(sources.size(), 2);
    EXPECT_TRUE(sources[0].startsWith(QStringLiteral("高清$$")));
    const QStringList eps = sources[0].mid(4).split(u'#');
    ASSERT_EQ(eps.size(), 2);
    EXPECT_EQ(eps[0].split(u'$'), (QStringList{QStringLiteral("第1集"),
                                               kBase + QStringLiteral("media/demo/a%20b/01.mp4"),
                                               QStringLiteral("peer")}));
    EXPECT_EQ(unescapeText(eps[1].split(u'$')[0]), QStringLiteral("a$b#c;\"<x>"));
    const QStringList web = sources[1].split(QStringLiteral("$$"))[1].split(u'$');
    ASSERT_EQ(web.size(), 3);
    EXPECT_EQ(web[2], kWebKind);

    // The program takes the text between "var VideoInfoList=" and the next
    // ";" from the page: it must be exactly the quoted data.
    const QString page = titlePage(t, kBase);
    EXPECT_EQ(extractText(page, QStringLiteral("var VideoInfoList="), QStringLiteral(";"), 2),
              u'"' + data + u'"');
    EXPECT_FALSE(data.contains(u'"') || data.contains(u'\\') || data.contains(u'<'));
}

TEST(Pages, LinksAndTitlesAreWrittenSafely) {
    const Catalog c = sampleCatalog();
    const QString home = homePage(c, kBase);
    EXPECT_FALSE(home.contains(QStringLiteral("<script>alert")));
    EXPECT_TRUE(home.contains(QStringLiteral("&lt;script&gt;")));
    // By-number links carry the escaped title with its "-" encoded, so the
    // title field is not cut short.
    const QString link = buildByNumberLink(7, 0, 1, linkTitle(QStringLiteral("星河-旅人")));
    EXPECT_TRUE(home.contains(link));
    const ByNumberLink decoded = decodeByNumberLink(link + u'/');
    EXPECT_EQ(unescapeText(decoded.title), QStringLiteral("星河-旅人"));
    EXPECT_EQ(decoded.episode, QStringLiteral("1"));
    EXPECT_TRUE(home.contains(QStringLiteral("href=\"http://127.0.0.1:8260/v/7.htm\"")));
    // Page parameters with such a title keep the autoclick part in place.
    const PageParameters p = parsePageParameters(
        buildPageParameters(7, "0", "1", linkTitle(QStringLiteral("a-b/c")), autoclickValue(0, 2)));
    EXPECT_EQ(p.autoclick, QStringLiteral("02"));
    EXPECT_EQ(unescapeText(p.title), QStringLiteral("a-b/c"));

    const QString tv = tvListPage(c, kBase);
    EXPECT_TRUE(tv.contains(QStringLiteral("href=\"kxtvs://ch3\"")));
    EXPECT_EQ(channelForQuery(c, QStringLiteral("ch3")), c.findChannel(3));
    EXPECT_EQ(channelForQuery(c, QStringLiteral("ch=3")), c.findChannel(3));
    EXPECT_EQ(channelForQuery(c, QStringLiteral("3/")), c.findChannel(3));
    EXPECT_EQ(channelForQuery(c, QStringLiteral("ch=4")), nullptr);
    EXPECT_EQ(channelForQuery(c, QStringLiteral("ch=3;x")), nullptr);
    EXPECT_TRUE(channelPage(*c.findChannel(3), kBase).contains(kBase + QStringLiteral("media/c.webm")));

    for (const QString &ad : {stripAdPage(c, kBase), highlightsPage(c, kBase), pausePanelPage(c, kBase)})
        EXPECT_TRUE(ad.contains(QStringLiteral("kxbovod://"))) << ad.toStdString();
    EXPECT_FALSE(recommendationPage(c, kBase).contains(QStringLiteral("<script>alert")));
}

TEST(Pages, EpisodeListPageFillsTheTemplateOnce) {
    const QString tmpl = episodeListTemplate();
    ASSERT_EQ(tmpl.count(QStringLiteral("[ly]")), 1);
    EXPECT_TRUE(tmpl.contains(QStringLiteral("var VideoInfoList=[ly];")));
    // Plain ASCII, so the program's local copy reads the same in any code page.
    for (const QChar ch : tmpl)
        ASSERT_LT(ch.unicode(), 0x80);

    const Catalog c = sampleCatalog();
    bool found = false;
    const QString page = episodeListPage(tmpl, c, QStringLiteral("7-0-1-x-01"), kBase, &found);
    EXPECT_TRUE(found);
    EXPECT_TRUE(page.contains(QStringLiteral("var VideoInfoList=\"") + episodeData(*c.findTitle(7), kBase) +
                              QStringLiteral("\";")));
    episodeListPage(tmpl, c, QStringLiteral("abc-0-0-x-0"), kBase, &found);
    EXPECT_FALSE(found);
    EXPECT_TRUE(episodeListPage(tmpl, c, QString(), kBase, &found).contains(QStringLiteral("VideoInfoList=\"\";")));
}

TEST(Pages, PlayPageOnlyPlaysHttpAddresses) {
    bool ok = false;
    const QString page = playPage(QStringLiteral("html5$$$") + escapeText(QStringLiteral("http://h/a b\".webm")), &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(page.contains(QStringLiteral("src=\"http://h/a b&quot;.webm\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("play-ended.htm")));
    for (const QString &q : {QStringLiteral("html5$$$javascript%3Aalert(1)"), QStringLiteral("html5"),
                            QStringLiteral("$$$data:text/html,x"), QString()}) {
        playPage(q, &ok);
        EXPECT_FALSE(ok) << q.toStdString();
    }
}

TEST(WebText, EncodesForEachContext) {
    EXPECT_EQ(linkTitle(QStringLiteral("a-b/中")), QStringLiteral("a%2Db%2F%u4E2D"));
    EXPECT_EQ(encodePath(QStringLiteral("a b/中#$.mp4")), QStringLiteral("a%20b/%E4%B8%AD%23%24.mp4"));
    EXPECT_EQ(safeUrl(QStringLiteral("http://h/a b?x=1&y=$#;\"")),
              QStringLiteral("http://h/a%20b?x=1&y=%24%23%3B%22"));
    EXPECT_EQ(logField("GET /\x01\xff"), "GET /\\x01\\xFF");
    EXPECT_EQ(fieldText(QStringLiteral("第1集")), QStringLiteral("第1集"));
    EXPECT_EQ(fieldText(QStringLiteral("100%")), QStringLiteral("100%25"));
}

TEST(ByteRanges, AreClampedOrRefused) {
    auto r = [](long long a, long long b, unsigned long long size) {
        const auto x = byteRange(a, b, size);
        return x ? std::make_pair(x->offset, x->length) : std::make_pair(~0ull, ~0ull);
    };
    const auto none = std::make_pair(~0ull, ~0ull);
    EXPECT_EQ(r(0, 99, 1000), std::make_pair(0ull, 100ull));
    EXPECT_EQ(r(900, -1, 1000), std::make_pair(900ull, 100ull));
    EXPECT_EQ(r(900, 5000, 1000), std::make_pair(900ull, 100ull));
    EXPECT_EQ(r(-1, 10, 1000), std::make_pair(990ull, 10ull));
    EXPECT_EQ(r(-1, 5000, 1000), std::make_pair(0ull, 1000ull));
    EXPECT_EQ(r(1000, -1, 1000), none);
    EXPECT_EQ(r(5, 2, 1000), none);
    EXPECT_EQ(r(-1, 0, 1000), none);
    EXPECT_EQ(r(0, -1, 0), none);
}

TEST(ResolveInside, NeverLeavesTheFolder) {
    QTemporaryDir tmp;
    namespace fs = std::filesystem;
    const std::string root = tmp.path().toStdString() + "/media";
    fs::create_directories(root + "/a");
    std::ofstream(root + "/a/x.mp4") << "x";
    std::ofstream(tmp.path().toStdString() + "/secret.db") << "s";
    fs::create_symlink(tmp.path().toStdString() + "/secret.db", root + "/a/link.mp4");
    fs::create_symlink(root + "/a/x.mp4", root + "/inside.mp4");

    EXPECT_EQ(resolveInside(root, "a/x.mp4"), fs::canonical(root + "/a/x.mp4").string());
    EXPECT_FALSE(resolveInside(root, "inside.mp4").empty());
    for (const char *bad : {"../secret.db", "a/../../secret.db", "a/./x.mp4", "/etc/passwd", "a//x.mp4",
                            "a/link.mp4", "a", "a\\x.mp4", "", "missing.mp4"})
        EXPECT_EQ(resolveInside(root, bad), "") << bad;
}

TEST(Pings, RecoverTheIdentityAndCheckTheNumber) {
    const QString enid = statisticsIdentity(QStringLiteral("0"), QStringLiteral("AA-BB-cc-01-02-03"));
    const QString us = QString::number(checkNumber(enid));
    ASSERT_TRUE(isValidPing(enid, us));
    const PingIdentity id = identifyPing(enid, us);
    EXPECT_EQ(id.identity, QStringLiteral("0|aa-bb-cc-01-02-03|1|1.0"));
    EXPECT_TRUE(id.checkOk);
    EXPECT_FALSE(identifyPing(enid, QString::number(checkNumber(enid) + 1)).checkOk);

    EXPECT_FALSE(isValidPing(QString(), us));
    EXPECT_FALSE(isValidPing(enid + u' ', us));
    EXPECT_FALSE(isValidPing(enid, QString()));
    EXPECT_FALSE(isValidPing(enid, QStringLiteral("12x")));
    EXPECT_FALSE(isValidPing(enid, QStringLiteral("99999999999")));
    EXPECT_FALSE(isValidPing(QString(300, u'a'), us));
}
