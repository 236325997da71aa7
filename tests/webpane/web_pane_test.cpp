// Real web panes: link capture, the events and the document commands.

#include "platform/web_pane.h"

#include <QApplication>
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
        pane.navigate(path);
        ASSERT_TRUE(waitForDocument(rec));
        rec = Recorder{rec.navigations.mid(0, 0), {}, {}, {}, {}, false};
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
    "kxqvod://qvod&&&qvod%3A//123%7CABC%7C%u4E2D.rmvb%7C&&&%u4E2D%u6587&&&%u7B2C1%u96C6&&&12&&&0&&&3&&&n&&&1");
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
    EXPECT_FALSE(rec.events.contains(QStringLiteral("error")));
    EXPECT_EQ(evaluate(pane, QStringLiteral("window.stay")).toString(), QStringLiteral("here"));
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
