// The episode list page's script in a real browser engine: the list it
// builds, the media links it writes, highlighting, and the autoclick.

#include "catalog.h"
#include "content_server.h"
#include "web_text.h"

#include "catalog/escape.h"
#include "catalog/links.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <thread>

using namespace vantoli;
using namespace vantoli::server;
using namespace Qt::StringLiterals;

namespace {

const QString kLongName = QStringLiteral("第一集：很长很长的一个名字-上");

class EpisodeListPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tmp_ = new QTemporaryDir;
        const std::string data = tmp_->path().toStdString();
        CatalogStore store;
        ASSERT_TRUE(store.open(data, true));
        Title t;
        t.name = QStringLiteral("星河-旅人");
        t.series = true;
        t.sources = {{QStringLiteral("高清"),
                      {{kLongName, QStringLiteral("a/01.mp4"), kPlayerKind},
                       {QStringLiteral("第2集"), QStringLiteral("a/02.mp4"), kPlayerKind}}},
                     {QStringLiteral("网页"),
                      {{QStringLiteral("第1集"), QStringLiteral("a/01.webm"), kWebKind},
                       {QStringLiteral("第2集"), QStringLiteral("a/02.webm"), kWebKind},
                       {QStringLiteral("第3集"), QStringLiteral("a/03.webm"), kWebKind}}}};
        ASSERT_EQ(store.addTitle(t), 1);
        ServerOptions o;
        o.dataDir = data;
        o.port = 0;
        server_ = new ContentServer(o);
        ASSERT_TRUE(server_->start());
        thread_ = new std::thread([] { server_->run(); });
    }
    static void TearDownTestSuite() {
        server_->stop();
        thread_->join();
        delete thread_;
        delete server_;
        delete tmp_;
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_->port()); }

    // Loads pp.htm with the query and returns what the page shows, with
    // every link click recorded (and cancelled) instead of followed.
    QJsonObject load(const QString &query) {
        QWebEngineProfile profile;
        QWebEnginePage page(&profile);
        QWebEngineScript spy;
        spy.setInjectionPoint(QWebEngineScript::DocumentCreation);
        spy.setWorldId(QWebEngineScript::MainWorld);
        spy.setSourceCode(QStringLiteral(
            "window.__clicked=[];document.addEventListener('click',function(e){"
            "var a=e.target.closest('a');if(a){window.__clicked.push(a.getAttribute('href'));"
            "e.preventDefault();}},true);"));
        page.scripts().insert(spy);
        QEventLoop loop;
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        QObject::connect(&page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
        // QUrl would rewrite the "%u" sequences of an escaped title as
        // "%25u"; the page is opened from script so it gets the query as
        // written, as a link in a page would.
        page.load(QUrl(base() + QStringLiteral("play-ended.htm")));
        loop.exec();
        page.runJavaScript(QStringLiteral("location.href='%1pp.htm?%2';").arg(base(), query));
        loop.exec();
        // Let the 100 ms height timer run once.
        QTimer::singleShot(250, &loop, &QEventLoop::quit);
        loop.exec();
        QJsonObject result;
        page.runJavaScript(QStringLiteral(R"((function(){
            var r={};
            r.clicked=window.__clicked;
            var c=document.querySelector('.item.cur'); r.current=c?c.id:'';
            r.loading=document.getElementById('loading').style.display;
            r.headers=[];var hs=document.querySelectorAll('.src');
            for(var i=0;i<hs.length;i++)r.headers.push(hs[i].textContent);
            r.open=[];for(var t=0;t<hs.length;t++){var m=document.getElementById('m'+t);
              if(m&&m.style.display=='block')r.open.push(m.id);}
            r.links={};var as=document.querySelectorAll('a');
            for(var k=0;k<as.length;k++)r.links[as[k].id]={href:as[k].getAttribute('href'),text:as[k].textContent};
            r.sources=document.getElementById('h').value;
            r.text=document.getElementById('playlist').textContent;
            return JSON.stringify(r);})())"),
                           [&](const QVariant &v) {
                               result = QJsonDocument::fromJson(v.toString().toUtf8()).object();
                               loop.quit();
                           });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        return result;
    }

    static QTemporaryDir *tmp_;
    static ContentServer *server_;
    static std::thread *thread_;
};

QTemporaryDir *EpisodeListPage::tmp_ = nullptr;
ContentServer *EpisodeListPage::server_ = nullptr;
std::thread *EpisodeListPage::thread_ = nullptr;

QString linksHref(const QJsonObject &r, const QString &id) {
    return r[u"links"_s].toObject()[id].toObject()[u"href"_s].toString();
}

} // namespace

TEST_F(EpisodeListPage, ListsSourcesAndHighlightsTheCurrentEpisode) {
    const QString title = linkTitle(QStringLiteral("星河-旅人"));
    const QJsonObject r = load(QStringLiteral("1-1-2-") + title + QStringLiteral("-0"));
    ASSERT_FALSE(r.isEmpty());
    EXPECT_EQ(r[u"loading"_s].toString(), QStringLiteral("none"));
    EXPECT_EQ(r[u"sources"_s].toString(), QStringLiteral("2"));
    EXPECT_EQ(r[u"headers"_s].toVariant().toStringList(),
              (QStringList{QStringLiteral("高清播放"), QStringLiteral("网页播放")}));
    EXPECT_EQ(r[u"open"_s].toVariant().toStringList(), QStringList{QStringLiteral("m1")});
    EXPECT_EQ(r[u"current"_s].toString(), QStringLiteral("t12"));
    EXPECT_TRUE(r[u"clicked"_s].toArray().isEmpty());

    // Nine-field media links; the title keeps its "-" encoded.
    const QString web = linksHref(r, QStringLiteral("c12"));
    EXPECT_EQ(web, buildListPageMediaLink(kWebKind, base() + QStringLiteral("media/a/03.webm"),
                                          QStringLiteral("星河-旅人"), QStringLiteral("第3集"), 1, 1, 2)
                       .replace(escapeText(QStringLiteral("星河-旅人")), title));
    const MediaLink m = decodeMediaLink(web);
    EXPECT_EQ(unescapeText(m.title), QStringLiteral("星河-旅人"));
    EXPECT_EQ(m.listRefresh, QStringLiteral("n"));

    // A long name is cut to 12 characters on screen; the link has all of it.
    const QJsonObject first = r[u"links"_s].toObject()[u"c00"_s].toObject();
    EXPECT_EQ(first[u"text"_s].toString(), kLongName.left(12));
    EXPECT_EQ(unescapeText(decodeMediaLink(first[u"href"_s].toString()).episodeName), kLongName);
}

TEST_F(EpisodeListPage, AutoclickPlaysTheNamedEpisodeOnly) {
    const QJsonObject r = load(QStringLiteral("1-1-0-x-11"));
    ASSERT_FALSE(r.isEmpty());
    EXPECT_EQ(r[u"clicked"_s].toVariant().toStringList(), QStringList{linksHref(r, QStringLiteral("c11"))});
    EXPECT_EQ(r[u"current"_s].toString(), QStringLiteral("t11")); // the click highlights it

    // An episode past the end: the list shows, nothing plays.
    const QJsonObject past = load(QStringLiteral("1-1-0-x-15"));
    EXPECT_TRUE(past[u"clicked"_s].toArray().isEmpty());
    EXPECT_EQ(past[u"current"_s].toString(), QStringLiteral("t10"));
}

TEST_F(EpisodeListPage, UnknownTitleShowsAnEmptyList) {
    const QJsonObject r = load(QStringLiteral("42-0-0-x-00"));
    ASSERT_FALSE(r.isEmpty());
    EXPECT_TRUE(r[u"links"_s].toObject().isEmpty());
    EXPECT_EQ(r[u"text"_s].toString(), QStringLiteral("暂无剧集"));
    EXPECT_EQ(r[u"loading"_s].toString(), QStringLiteral("none"));
}

// The web engine's own page teardown trips AddressSanitizer's sized-delete
// check inside the engine library; that check is off for this executable.
extern "C" const char *__asan_default_options() {
    return "new_delete_type_mismatch=0";
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
