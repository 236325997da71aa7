// Real web panes: link capture, the events and the document commands.

#include "platform/web_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

using namespace vantoli;

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

constexpr int kLoadMs = 20000;

// Everything a pane reports, in order.
struct Recorder {
    QStringList navigations;
    QStringList events;
    QStringList menus;
    QStringList newWindows;
    QList<int> errorCodes;
    bool cancelAll = true;

    void attach(WebPane &pane) {
        pane.setBeforeNavigateHandler([this](WebPane &, WebNavigation &n) {
            navigations << n.address;
            if (cancelAll || isProgramLink(n.address))
                n.cancel = true;
        });
        pane.setNewWindowHandler([this](WebPane &, WebNewWindow &w) {
            newWindows << w.address;
            w.cancel = true;
        });
        QObject::connect(&pane, &WebPane::downloadBegin, [this] { events << QStringLiteral("begin"); });
        QObject::connect(&pane, &WebPane::downloadComplete, [this] { events << QStringLiteral("complete"); });
        QObject::connect(&pane, &WebPane::documentComplete,
                         [this](const QString &) { events << QStringLiteral("document"); });
        QObject::connect(&pane, &WebPane::navigateError, [this](const QString &, int code) {
            events << QStringLiteral("error");
            errorCodes << code;
        });
        QObject::connect(&pane, &WebPane::contextMenu,
                         [this](const QString &link, const QPoint &) { menus << link; });
    }
};

QVariant evaluate(WebPane &pane, const QString &script) {
    QVariant result;
    bool done = false;
    pane.view()->page()->runJavaScript(script, [&](const QVariant &v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, kLoadMs))
        ADD_FAILURE() << "script did not return: " << script.toStdString();
    return result;
}

bool waitForDocument(Recorder &rec, int count = 1) {
    return QTest::qWaitFor([&] { return rec.events.count(QStringLiteral("document")) >= count; }, kLoadMs);
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

class WebPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        pane.resize(640, 400);
        pane.show();
        rec.attach(pane);
    }

    // Loads a page and forgets what its load reported.
    void load(const QString &path) {
        rec.cancelAll = false;
        rec.events.clear();
        pane.navigate(path);
        ASSERT_TRUE(waitForDocument(rec));
        rec.navigations.clear();
        rec.events.clear();
        rec.errorCodes.clear();
    }

    bool waitForNavigations(int count) {
        return QTest::qWaitFor([&] { return rec.navigations.size() >= count; }, kLoadMs);
    }

    // Clicks the centre of an element with the real mouse.
    void mouseClick(const QString &id, Qt::MouseButton button = Qt::LeftButton) {
        const QVariantList box =
            evaluate(pane, QStringLiteral("(function(){var r=document.getElementById('%1').getBoundingClientRect();"
                                          "return [r.left+r.width/2, r.top+r.height/2];})()")
                               .arg(id))
                .toList();
        ASSERT_EQ(box.size(), 2);
        const QPoint at(qRound(box[0].toDouble()), qRound(box[1].toDouble()));
        QWidget *target = pane.view()->focusProxy();
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, button, Qt::NoModifier, at);
    }

    QTemporaryDir dir;
    WebPane pane;
    Recorder rec;
};

const QString kMediaLink = QStringLiteral(
    "kxpeer://peer&&&peer%3A//123%7CABC%7C%u4E2D.rmvb%7C&&&%u4E2D%u6587&&&%u7B2C1%u96C6&&&12&&&0&&&3&&&n&&&1");
const QString kByNumberLink = QStringLiteral("kxbovod://12-0-3-%u4E2D-ab/");
const QString kOpenLink = QStringLiteral("open://7");

QByteArray linkPage() {
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
                          "<script>window.stay = 'here';</script>"
                          "<p><a id=\"open\" href=\"%1\">open</a></p>"
                          "<p><a id=\"media\" href=\"%2\">media</a></p>"
                          "<p><a id=\"bynum\" href=\"%3\"><b id=\"inner\">by number</b></a></p>"
                          "<p id=\"plain\">plain text</p>"
                          "</body></html>")
        .arg(kOpenLink, kMediaLink.toHtmlEscaped(), kByNumberLink)
        .toUtf8();
}

} // namespace

TEST_F(WebPaneTest, ProgramLinksReachTheHandlerAsWrittenAndThePaneStays) {
    const QString page = writeFile(dir, QStringLiteral("links.htm"), linkPage());
    load(page);
    const QString address = pane.currentAddress();

    // Real clicks, a click on an element inside the link, and clicks the
    // page's own script makes.
    mouseClick(QStringLiteral("open"));
    ASSERT_TRUE(waitForNavigations(1));
    mouseClick(QStringLiteral("media"));
    ASSERT_TRUE(waitForNavigations(2));
    mouseClick(QStringLiteral("inner"));
    ASSERT_TRUE(waitForNavigations(3));
    evaluate(pane, QStringLiteral("document.getElementById('media').click()"));
    ASSERT_TRUE(waitForNavigations(4));
    evaluate(pane, QStringLiteral("document.getElementById('inner').click()"));
    ASSERT_TRUE(waitForNavigations(5));
    QTest::qWait(300);

    EXPECT_EQ(rec.navigations,
              (QStringList{kOpenLink, kMediaLink, kByNumberLink, kMediaLink, kByNumberLink}));
    EXPECT_EQ(pane.currentAddress(), address);
    EXPECT_EQ(evaluate(pane, QStringLiteral("window.stay")).toString(), QStringLiteral("here"));
    EXPECT_TRUE(rec.events.isEmpty()) << rec.events.join(u',').toStdString();
}

TEST_F(WebPaneTest, ProgramLinksStayEvenWhenTheHandlerDoesNotCancel) {
    load(writeFile(dir, QStringLiteral("links.htm"), linkPage()));
    rec.cancelAll = false;
    pane.setBeforeNavigateHandler([this](WebPane &, WebNavigation &n) { rec.navigations << n.address; });

    mouseClick(QStringLiteral("open"));
    ASSERT_TRUE(waitForNavigations(1));
    pane.navigate(kByNumberLink);
    ASSERT_TRUE(waitForNavigations(2));
    QTest::qWait(300);
    EXPECT_EQ(rec.navigations, (QStringList{kOpenLink, kByNumberLink}));
    EXPECT_EQ(evaluate(pane, QStringLiteral("window.stay")).toString(), QStringLiteral("here"));
}

TEST_F(WebPaneTest, CancelledNavigationIsNoError) {
    load(writeFile(dir, QStringLiteral("links.htm"), linkPage()));
    const QString other = writeFile(dir, QStringLiteral("other.htm"), "<html><body>other</body></html>");
    rec.cancelAll = true;
    pane.navigate(other);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rec.navigations.isEmpty(); }, kLoadMs));
    QTest::qWait(500);
    EXPECT_TRUE(rec.navigations.first().endsWith(QStringLiteral("other.htm")));
    // No load was started, so nothing ended either.
    EXPECT_TRUE(rec.events.isEmpty()) << rec.events.join(u',').toStdString();
    EXPECT_EQ(evaluate(pane, QStringLiteral("window.stay")).toString(), QStringLiteral("here"));
}

TEST_F(WebPaneTest, LoadEventsAndErrors) {
    // A page loads: begin, complete, document complete.
    rec.cancelAll = false;
    pane.navigate(writeFile(dir, QStringLiteral("a.htm"), "<html><body>a</body></html>"));
    ASSERT_TRUE(waitForDocument(rec));
    EXPECT_EQ(rec.events, (QStringList{QStringLiteral("begin"), QStringLiteral("complete"), QStringLiteral("document")}));

    // Nothing listens on this port: a navigate error with the engine's code.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    rec.events.clear();
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    pane.navigate(refused);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.events.contains(QStringLiteral("error")); }, kLoadMs));
    EXPECT_EQ(rec.events.first(), QStringLiteral("begin"));
    EXPECT_TRUE(rec.events.contains(QStringLiteral("complete")));
    EXPECT_FALSE(rec.events.contains(QStringLiteral("document")));
    EXPECT_LT(rec.errorCodes.value(0), 0);
}

TEST_F(WebPaneTest, HttpErrorStatusIsANavigateError) {
    // A one-shot server that answers every request with 404.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->readAll();
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
                              "Connection: close\r\n\r\nnot found");
                socket->disconnectFromHost();
            });
        }
    });
    rec.cancelAll = false;
    pane.navigate(QStringLiteral("http://127.0.0.1:%1/missing.htm").arg(server.serverPort()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.events.contains(QStringLiteral("complete")); }, kLoadMs));
    QTest::qWait(200);
    EXPECT_EQ(rec.errorCodes, QList<int>{404}) << rec.events.join(u',').toStdString();
}

TEST_F(WebPaneTest, WriteDocumentIntoAFreshPaneAndReadTheBody) {
    const QString html = QStringLiteral("<html><head><style>body{background:#212121;}</style></head>"
                                        "<body><p id=\"x\">中文 \"quoted\" 'single' \\ </script></p></body></html>");
    pane.writeDocument(html);
    QString body;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        pane.readBodyHtml([&](const QString &text) { body = text; });
        QTest::qWait(100);
        return body.contains(QStringLiteral("中文"));
    }, kLoadMs));
    EXPECT_EQ(body, QStringLiteral("<p id=\"x\">中文 \"quoted\" 'single' \\ </p>"));
    // Writing is no navigation.
    EXPECT_TRUE(rec.navigations.filter(QStringLiteral("data:")).isEmpty());

    // A second write replaces the first.
    pane.writeDocument(QStringLiteral("<html><body>second</body></html>"));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        pane.readBodyHtml([&](const QString &text) { body = text; });
        QTest::qWait(100);
        return body == QStringLiteral("second");
    }, kLoadMs));

    // Navigating to a blank page and writing at once: the write lands in the
    // new page, not in the one being left.
    load(writeFile(dir, QStringLiteral("page.htm"), "<html><body>page</body></html>"));
    pane.navigate(QStringLiteral("about:blank"));
    pane.writeDocument(QStringLiteral("<html><body>third</body></html>"));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        pane.readBodyHtml([&](const QString &text) { body = text; });
        QTest::qWait(100);
        return body == QStringLiteral("third");
    }, kLoadMs));
    QTest::qWait(300);
    EXPECT_EQ(pane.currentAddress(), QStringLiteral("about:blank"));
    pane.readBodyHtml([&](const QString &text) { body = text; });
    QTest::qWait(200);
    EXPECT_EQ(body, QStringLiteral("third"));
}

TEST_F(WebPaneTest, PagesWithoutCharsetAreReadAsGb18030) {
    const QString text = QStringLiteral("中文标题 𠀀");
    QByteArray bytes = "<html><body><p id=\"t\">";
    auto encoder = QStringEncoder("GB18030");
    bytes += encoder.encode(text);
    bytes += "</p></body></html>";
    load(writeFile(dir, QStringLiteral("gbk.htm"), bytes));
    EXPECT_EQ(evaluate(pane, QStringLiteral("document.getElementById('t').textContent")).toString(), text);
}

TEST_F(WebPaneTest, QueryReachesThePageAsWritten) {
    // Escaped titles travel in queries as "%u4E2D"; the page must read them
    // unchanged, and the handler sees the text as given.
    const QString page = writeFile(dir, QStringLiteral("t.htm"), "<html><body>list</body></html>");
    const QString address = page + QStringLiteral("?12-0-3-%u4E2D%20x-0");
    rec.cancelAll = false;
    pane.navigate(address);
    ASSERT_TRUE(waitForDocument(rec));
    EXPECT_EQ(evaluate(pane, QStringLiteral("location.search")).toString(), QStringLiteral("?12-0-3-%u4E2D%20x-0"));
    EXPECT_EQ(rec.navigations, QStringList{address});
    EXPECT_EQ(rec.events, (QStringList{QStringLiteral("begin"), QStringLiteral("complete"), QStringLiteral("document")}));

    // Afterwards the page's own navigations reach the handler again.
    writeFile(dir, QStringLiteral("other.htm"), "<html><body>other</body></html>");
    rec.navigations.clear();
    evaluate(pane, QStringLiteral("location.href = 'other.htm'"));
    ASSERT_TRUE(waitForDocument(rec, 2));
    EXPECT_EQ(rec.navigations.size(), 1);
    EXPECT_TRUE(rec.navigations.value(0).endsWith(QStringLiteral("other.htm")));

    // A cancelled one loads nothing.
    rec.cancelAll = true;
    rec.events.clear();
    pane.navigate(address);
    QTest::qWait(300);
    EXPECT_TRUE(rec.events.isEmpty());
}

TEST_F(WebPaneTest, LocalPagesShowTheirImageButReadNoOtherFile) {
    // A 1x1 GIF beside the page, as the delete icon beside c.htm.
    writeFile(dir, QStringLiteral("i.gif"),
              QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7"));
    writeFile(dir, QStringLiteral("secret.txt"), "secret");
    writeFile(dir, QStringLiteral("date.dat"), "12|x|y|peer://a|0|0|0\r\n");
    // A loopback server that lets any origin read its answer.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    int requests = 0;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &requests] {
                socket->readAll();
                ++requests;
                socket->write("HTTP/1.1 200 OK\r\nAccess-Control-Allow-Origin: *\r\nContent-Type: text/plain\r\n"
                              "Content-Length: 6\r\nConnection: close\r\n\r\nremote");
                socket->disconnectFromHost();
            });
        }
    });
    const QString remote = QStringLiteral("http://127.0.0.1:%1/data.txt").arg(server.serverPort());
    const QString script = QStringLiteral(R"JS(
var results = {};
function note(name, value) {
  results[name] = value;
  if (Object.keys(results).length == 7) document.title = JSON.stringify(results);
}
function tryXhr(name, url) {
  try {
    var x = new XMLHttpRequest();
    x.onload = function () { note(name, 'read:' + x.responseText); };
    x.onerror = function () { note(name, 'error'); };
    x.open('GET', url);
    x.send();
  } catch (e) { note(name, 'error'); }
}
function tryFetch(name, url) {
  fetch(url).then(function (r) { return r.text(); })
            .then(function (t) { note(name, 'read:' + t); }, function () { note(name, 'error'); });
}
tryXhr('xhrSame', 'secret.txt');
tryXhr('xhrHistory', 'date.dat');
tryFetch('fetchSame', 'secret.txt');
tryFetch('fetchAbsolute', location.href.replace(/[^/]*$/, '') + 'secret.txt');
tryXhr('xhrRemote', '%1');
tryFetch('fetchRemote', '%1');
var frame = document.createElement('iframe');
frame.onload = function () {
  var text = '';
  try { text = frame.contentDocument.body.textContent; } catch (e) {}
  note('frame', text.indexOf('secret') >= 0 ? 'read:' + text : 'error');
};
frame.src = 'secret.txt';
document.body.appendChild(frame);
setTimeout(function () { if (!('frame' in results)) note('frame', 'error'); }, 3000);
)JS").arg(remote);
    load(writeFile(dir, QStringLiteral("c.htm"),
                   QStringLiteral("<html><body><img id=\"i\" src=\"i.gif\"><p id=\"p\">page</p>"
                                  "<script>%1</script></body></html>").arg(script).toUtf8()));
    QString title;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        title = evaluate(pane, QStringLiteral("document.title")).toString();
        return title.startsWith(u'{');
    }, kLoadMs)) << title.toStdString();
    const QVariantMap results = QJsonDocument::fromJson(title.toUtf8()).toVariant().toMap();
    for (const QString &name : {QStringLiteral("xhrSame"), QStringLiteral("xhrHistory"), QStringLiteral("fetchSame"),
                                QStringLiteral("fetchAbsolute"), QStringLiteral("xhrRemote"),
                                QStringLiteral("fetchRemote"), QStringLiteral("frame")})
        EXPECT_EQ(results.value(name).toString(), QStringLiteral("error")) << name.toStdString();
    EXPECT_EQ(requests, 0);

    // The page itself and the image beside it.
    QString body;
    pane.readBodyHtml([&](const QString &text) { body = text; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !body.isEmpty(); }, kLoadMs));
    EXPECT_TRUE(body.contains(QStringLiteral("<p id=\"p\">page</p>")));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return evaluate(pane, QStringLiteral("document.getElementById('i').naturalWidth")).toInt() == 1;
    }, kLoadMs));
}

TEST_F(WebPaneTest, ContextMenuReportsTheRawLinkUnderThePointer) {
    load(writeFile(dir, QStringLiteral("links.htm"), linkPage()));
    mouseClick(QStringLiteral("media"), Qt::RightButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rec.menus.isEmpty(); }, kLoadMs));
    mouseClick(QStringLiteral("plain"), Qt::RightButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rec.menus.size() >= 2; }, kLoadMs));
    EXPECT_EQ(rec.menus, (QStringList{kMediaLink, QString()}));
    EXPECT_TRUE(rec.navigations.isEmpty());
    // The engine's own menu never appears.
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(WebPaneTest, NewWindowIsReportedAndNotOpened) {
    load(writeFile(dir, QStringLiteral("pop.htm"),
                   "<html><body><a id=\"w\" href=\"http://127.0.0.1:9/next.htm\" target=\"_blank\">new</a>"
                   "</body></html>"));
    mouseClick(QStringLiteral("w"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rec.newWindows.isEmpty(); }, kLoadMs));
    EXPECT_EQ(rec.newWindows, QStringList{QStringLiteral("http://127.0.0.1:9/next.htm")});
    EXPECT_TRUE(pane.currentAddress().endsWith(QStringLiteral("pop.htm")));
}

TEST_F(WebPaneTest, SilentPaneShowsNoScriptDialogs) {
    pane.setSilent(true);
    load(writeFile(dir, QStringLiteral("alert.htm"),
                   "<html><body><script>alert('x'); window.answer = confirm('y');"
                   "console.log('noise'); nosuchfunction();</script></body></html>"));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(evaluate(pane, QStringLiteral("window.answer")).toBool(), false);
}

TEST_F(WebPaneTest, CopyTakesTheSelection) {
    load(writeFile(dir, QStringLiteral("sel.htm"), "<html><body><p id=\"p\">copy me</p></body></html>"));
    evaluate(pane, QStringLiteral("getSelection().selectAllChildren(document.getElementById('p'))"));
    QApplication::clipboard()->clear();
    // As after the right click that opens the menu: the pane has the focus.
    pane.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pane));
    pane.view()->setFocus();
    pane.copy();
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::clipboard()->text() == QStringLiteral("copy me"); }, kLoadMs));
}

TEST_F(WebPaneTest, AQueryThatClosesTheStandInsScriptRunsNothing) {
    // A title from a link ends up in the query of a local page; with a "%u"
    // escape in it the pane writes a stand-in page that carries the target in
    // a script element. The title tries to end that element and run its own
    // script in the page's origin, which would go on to another local page.
    const QString page = writeFile(dir, QStringLiteral("t.htm"), "<html><body>list</body></html>");
    writeFile(dir, QStringLiteral("c.htm"), "<html><body>other local page</body></html>");
    const QString address = page + QStringLiteral("?12-0-3-%u4E2D</script><script>location.replace('c.htm')"
                                                  "</script><!--\u2028&-0");
    rec.cancelAll = false;
    pane.navigate(address);
    ASSERT_TRUE(waitForDocument(rec));
    QTest::qWait(500);
    EXPECT_TRUE(evaluate(pane, QStringLiteral("location.pathname")).toString().endsWith(QStringLiteral("/t.htm")));
    EXPECT_EQ(evaluate(pane, QStringLiteral("document.body.textContent")).toString(), QStringLiteral("list"));
    EXPECT_EQ(evaluate(pane, QStringLiteral("decodeURIComponent(location.search.replace(/%u/g, '%25u'))")).toString(),
              QStringLiteral("?12-0-3-%u4E2D</script><script>location.replace('c.htm')</script><!--\u2028&-0"));
    EXPECT_EQ(rec.navigations, QStringList{address});
}

int main(int argc, char **argv) {
    prepareWebEngineStart();
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (at build time) needs no display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
