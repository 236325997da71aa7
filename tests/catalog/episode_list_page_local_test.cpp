// The t.htm that DangJ writes, opened in a real web pane the way the episode
// list pane opens it: the list, the cut names and the autoclick, whose media
// link must reach the pane's before-navigate handler exactly.

#include "catalog/episode_list.h"

#include "catalog/escape.h"
#include "catalog/links.h"
#include "platform/web_pane.h"
#include "support/fake_playback_view.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

using namespace vantoli;
using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 20000;

const QString kTitle = QStringLiteral("星河旅人");
const QString kLongName = QStringLiteral("第一集：很长很长的一个名字"); // 13 characters
const QString kAddress = QStringLiteral("http://127.0.0.1:9/a/%1.mp4");

class Body : public CatalogBodyReader {
public:
    QString body;
    void readCatalogBody(std::function<void(const QString &)> done) override { done(body); }
};

QString episode(const QString &name, const QString &address, const QString &kind) {
    return escapeText(name) + u'$' + address + u'$' + kind;
}

class EpisodeListLocalPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString data = escapeText(QStringLiteral("高清")) + QStringLiteral("$$") +
                             episode(kLongName, kAddress.arg(u"01"), u"peer"_s) + u'#' +
                             episode(u"第2集"_s, kAddress.arg(u"02"), u"peer"_s) + QStringLiteral("$$$") +
                             escapeText(QStringLiteral("网页")) + QStringLiteral("$$") +
                             episode(u"第1集"_s, kAddress.arg(u"w1"), u"web"_s) + u'#' +
                             episode(u"第2集"_s, kAddress.arg(u"w2"), u"web"_s);
        catalog.body = QStringLiteral("<h1>星河旅人</h1>\n<script>var VideoInfoList=\"") + data +
                       QStringLiteral("\";</script>");
        pane.resize(240, 400);
        pane.show();
        pane.setBeforeNavigateHandler([this](WebPane &, WebNavigation &n) {
            if (isProgramLink(n.address)) {
                links << n.address;
                n.cancel = true;
            }
        });
        QObject::connect(&pane, &WebPane::documentComplete, [this](const QString &) { ++documents; });
    }

    // DangJ, then the pane opened at the address it chose with the autoclick
    // part replaced; returns what the page shows.
    QJsonObject open(const QString &autoclick) {
        view.log.clear();
        list.DangJ(escapeText(kTitle), 12, 1, 0);
        if (view.log.size() != 1 || !view.log.first().startsWith(u"navigate 5 /"_s)) {
            ADD_FAILURE() << view.log.join(u'|').toStdString();
            return {};
        }
        QString address = view.log.first().mid(QStringLiteral("navigate 5 ").size());
        EXPECT_TRUE(address.endsWith(u"-0"_s));
        address.chop(1);
        address += autoclick;
        links.clear();
        const int before = documents;
        pane.navigate(address);
        if (!QTest::qWaitFor([&] { return documents > before; }, kWaitMs)) {
            ADD_FAILURE() << "t.htm did not load";
            return {};
        }
        QTest::qWait(300); // the page's height timer and a click's report
        QVariant result;
        bool done = false;
        pane.view()->page()->runJavaScript(QStringLiteral(R"((function(){
            var r={};
            var c=document.querySelector('.item.cur'); r.current=c?c.id:'';
            r.loading=document.getElementById('loading').style.display;
            r.headers=[];var hs=document.querySelectorAll('.src');
            for(var i=0;i<hs.length;i++)r.headers.push(hs[i].textContent);
            r.open='';for(var t=0;t<hs.length;t++){var m=document.getElementById('m'+t);
              if(m&&m.style.display=='block')r.open=m.id;}
            r.texts={};var as=document.querySelectorAll('a');
            for(var k=0;k<as.length;k++)r.texts[as[k].id]=as[k].textContent;
            return JSON.stringify(r);})())"),
                                           [&](const QVariant &v) {
                                               result = v;
                                               done = true;
                                           });
        if (!QTest::qWaitFor([&] { return done; }, kWaitMs))
            ADD_FAILURE() << "page script did not answer";
        return QJsonDocument::fromJson(result.toString().toUtf8()).object();
    }

    QTemporaryDir dir;
    Body catalog;
    FakePlaybackView view;
    EpisodeList list{catalog, view, dir.path(), QStringLiteral("http://127.0.0.1:9/")};
    WebPane pane;
    QStringList links;
    int documents = 0;
};

} // namespace

TEST_F(EpisodeListLocalPage, ShowsTheListAndPlaysOnlyWhatTheAutoclickNames) {
    // Autoclick "0": the list, the current episode highlighted, nothing played.
    const QJsonObject shown = open(u"0"_s);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown[u"loading"_s].toString(), u"none"_s);
    EXPECT_EQ(shown[u"headers"_s].toVariant().toStringList(), (QStringList{u"高清播放"_s, u"网页播放"_s}));
    EXPECT_EQ(shown[u"open"_s].toString(), u"m1"_s);
    EXPECT_EQ(shown[u"current"_s].toString(), u"t10"_s);
    const QJsonObject texts = shown[u"texts"_s].toObject();
    EXPECT_EQ(texts[u"c00"_s].toString(), kLongName.left(12));
    EXPECT_EQ(texts[u"c11"_s].toString(), u"第2集"_s);
    EXPECT_TRUE(links.isEmpty()) << links.join(u'|').toStdString();

    // Autoclick of an existing episode: exactly its nine-field media link.
    const QJsonObject clicked = open(u"01"_s);
    ASSERT_FALSE(clicked.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !links.isEmpty(); }, kWaitMs));
    QTest::qWait(200);
    EXPECT_EQ(links, QStringList{buildListPageMediaLink(u"peer"_s, kAddress.arg(u"02"), kTitle, u"第2集"_s,
                                                        12, 0, 1)});
    EXPECT_EQ(clicked[u"current"_s].toString(), u"t01"_s);

    // The long name's link carries all of it.
    links.clear();
    pane.view()->page()->runJavaScript(u"document.getElementById('c00').click()"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !links.isEmpty(); }, kWaitMs));
    EXPECT_EQ(unescapeText(decodeMediaLink(links.first()).episodeName), kLongName);

    // Past the end of the source: the list shows, nothing plays.
    const QJsonObject past = open(u"12"_s);
    ASSERT_FALSE(past.isEmpty());
    EXPECT_EQ(past[u"current"_s].toString(), u"t10"_s);
    EXPECT_EQ(past[u"texts"_s].toObject().size(), 4);
    EXPECT_TRUE(links.isEmpty()) << links.join(u'|').toStdString();
}

TEST_F(EpisodeListLocalPage, DataThatWouldCloseTheScriptIsShownAsText) {
    // The names hold what would end t.htm's script element and start one of
    // their own; the page still runs and shows them as they are.
    catalog.body = QStringLiteral("<script>var VideoInfoList=\"S$$A</script><script>document.title='x'</script>$") +
                   kAddress.arg(u"01") + QStringLiteral("$peer#B<!--\u2028&$") + kAddress.arg(u"02") +
                   QStringLiteral("$peer\";</script>");
    const QJsonObject shown = open(u"0"_s);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown[u"loading"_s].toString(), u"none"_s);
    EXPECT_EQ(shown[u"headers"_s].toVariant().toStringList(), QStringList{u"S播放"_s});
    const QJsonObject texts = shown[u"texts"_s].toObject();
    EXPECT_EQ(texts[u"c00"_s].toString(), u"A</script><s"_s);
    EXPECT_EQ(texts[u"c01"_s].toString(), u"B<!--\u2028&"_s);
    QVariant title;
    bool done = false;
    pane.view()->page()->runJavaScript(u"document.title"_s, [&](const QVariant &v) {
        title = v;
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, kWaitMs));
    EXPECT_NE(title.toString(), u"x"_s);
}

int main(int argc, char **argv) {
    prepareWebEngineStart();
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
