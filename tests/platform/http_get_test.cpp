// HttpGet against a real HTTP server on the loopback interface: encodings,
// failures, slow and silent servers, and what may run during the wait.

#include "platform/http_get.h"

#include "platform/ansi_codec.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QTcpServer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vantoli {
namespace {

using namespace std::chrono_literals;

const QString kChinese = QString::fromUtf8("片名：第一集 «café»");

class HttpServer {
public:
    HttpServer() {
        server_.Get("/utf8", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(kChinese.toStdString(), "text/plain; Charset=\"UTF-8\"");
        });
        server_.Get("/gb", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(encodeAnsi(QString::fromUtf8("第二集")).toStdString(), "text/plain");
        });
        server_.Get("/latin1-declared", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(encodeAnsi(QString::fromUtf8("第三集")).toStdString(), "text/html; charset=iso-8859-1");
        });
        server_.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("no such page", "text/plain; charset=utf-8");
        });
        server_.Get("/slow", [this](const httplib::Request &, httplib::Response &res) {
            for (int i = 0; i < 40 && !stopping_; ++i)
                std::this_thread::sleep_for(10ms);
            res.set_content("slow reply", "text/plain; charset=utf-8");
        });
        server_.Get("/big", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(std::string(1024 * 1024 + 1, 'x'), "text/plain");
        });
        server_.Get("/big-chunked", [](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink &sink) {
                if (offset >= 2 * 1024 * 1024) {
                    sink.done();
                    return true;
                }
                const std::string chunk(64 * 1024, 'y');
                return sink.write(chunk.data(), chunk.size());
            });
        });
        server_.Get("/redirect", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("/utf8", 302);
        });
        server_.Get("/loop", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("/loop", 302);
        });
        server_.Get("/to-file", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("file:///etc/hostname", 302);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        // Bound already: connections wait in the backlog until the loop runs.
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }

    ~HttpServer() {
        stopping_ = true;
        server_.stop();
        thread_.join();
    }

    QString url(const char *path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path); }

private:
    httplib::Server server_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int port_ = 0;
};

class HttpGetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new HttpServer; }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    static HttpServer *server;
};
HttpServer *HttpGetTest::server = nullptr;

TEST_F(HttpGetTest, DecodesByDeclaredCharset) {
    auto http = makeHttpGet(3000);
    EXPECT_EQ(http->get(server->url("/utf8")), kChinese);
    // No charset, or one that is not UTF-8: the program's GB18030 text.
    EXPECT_EQ(http->get(server->url("/gb")), QString::fromUtf8("第二集"));
    EXPECT_EQ(http->get(server->url("/latin1-declared")), QString::fromUtf8("第三集"));
    EXPECT_FALSE(http->busy());
}

TEST_F(HttpGetTest, FailuresGiveEmptyReply) {
    auto http = makeHttpGet(3000);
    EXPECT_EQ(http->get(server->url("/missing")), QString());
    EXPECT_EQ(http->get(server->url("/big")), QString());
    EXPECT_EQ(http->get(server->url("/big-chunked")), QString());
    EXPECT_EQ(http->get(QStringLiteral("not a url")), QString());
    EXPECT_EQ(http->get(QStringLiteral("file:///etc/hostname")), QString());

    // A port that was just free: connection refused.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(http->get(QStringLiteral("http://127.0.0.1:%1/x").arg(port)), QString());
    EXPECT_LT(clock.elapsed(), 2000);

    // The layer still works after all of these.
    EXPECT_EQ(http->get(server->url("/utf8")), kChinese);
}

TEST_F(HttpGetTest, FollowsOnlyFewHttpRedirects) {
    auto http = makeHttpGet(3000);
    EXPECT_EQ(http->get(server->url("/redirect")), kChinese);
    EXPECT_EQ(http->get(server->url("/loop")), QString());
    EXPECT_EQ(http->get(server->url("/to-file")), QString());
}

TEST_F(HttpGetTest, SilentServerTimesOut) {
    // Accepts connections (the kernel completes them) and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    auto http = makeHttpGet(300);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(http->get(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort())), QString());
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_FALSE(http->busy());
}

TEST_F(HttpGetTest, AbortEndsSlowFetch) {
    auto http = makeHttpGet(5000);
    bool busyInside = false;
    QTimer::singleShot(50, [&] {
        busyInside = http->busy();
        http->abort();
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(http->get(server->url("/slow")), QString());
    EXPECT_LT(clock.elapsed(), 350);
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(http->busy());
    // An abort outside a fetch does not spoil the next one.
    http->abort();
    EXPECT_EQ(http->get(server->url("/slow")), QStringLiteral("slow reply"));
}

class InputRecorder : public QWidget {
public:
    QString seen;

protected:
    void keyPressEvent(QKeyEvent *event) override { seen += event->text(); }
    void mousePressEvent(QMouseEvent *) override { seen += u'M'; }
};

TEST_F(HttpGetTest, TimersRunAndInputWaitsDuringFetch) {
    InputRecorder widget;
    widget.show();
    widget.activateWindow();
    int shortcuts = 0;
    QShortcut shortcut(QKeySequence(Qt::Key_S), &widget);
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++shortcuts; });
    auto key = [](Qt::Key k, const char *text) {
        return new QKeyEvent(QEvent::KeyPress, k, Qt::NoModifier, QString::fromLatin1(text));
    };

    auto http = makeHttpGet(3000);
    int ticks = 0;
    QString seenByTimer = QStringLiteral("timer never ran");
    int shortcutsSeenByTimer = -1;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks == 1) {
            QCoreApplication::postEvent(&widget, key(Qt::Key_A, "a"));
            const QPointF at(5, 5);
            QCoreApplication::postEvent(&widget, new QMouseEvent(QEvent::MouseButtonPress, at, widget.mapToGlobal(at),
                                                                 Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(&widget, key(Qt::Key_B, "b"));
            QCoreApplication::postEvent(&widget, key(Qt::Key_S, "s"));
        }
        seenByTimer = widget.seen;
        shortcutsSeenByTimer = shortcuts;
    });
    tick.start(20);
    EXPECT_EQ(http->get(server->url("/slow")), QStringLiteral("slow reply"));
    tick.stop();
    EXPECT_GE(ticks, 5);
    EXPECT_EQ(seenByTimer, QString());
    EXPECT_EQ(shortcutsSeenByTimer, 0);
    EXPECT_EQ(widget.seen, QString());
    // Delivered afterwards, in the order posted; the key with a shortcut
    // reaches the shortcut.
    QCoreApplication::processEvents();
    EXPECT_EQ(widget.seen, QStringLiteral("aMb"));
    EXPECT_EQ(shortcuts, 1);
}

TEST_F(HttpGetTest, NestedGetIsRefusedAtOnce) {
    auto http = makeHttpGet(3000);
    QString nested = QStringLiteral("not called");
    qint64 nestedMs = -1;
    QTimer::singleShot(30, [&] {
        QElapsedTimer clock;
        clock.start();
        nested = http->get(server->url("/utf8"));
        nestedMs = clock.elapsed();
    });
    EXPECT_EQ(http->get(server->url("/slow")), QStringLiteral("slow reply"));
    EXPECT_EQ(nested, QString());
    EXPECT_GE(nestedMs, 0);
    EXPECT_LT(nestedMs, 100);
}

TEST_F(HttpGetTest, DestroyedDuringFetch) {
    auto http = makeHttpGet(3000);
    HttpGet *raw = http.get();
    QTimer::singleShot(30, [&] { http.reset(); });
    EXPECT_EQ(raw->get(server->url("/slow")), QString());
    EXPECT_EQ(http, nullptr);
}

} // namespace
} // namespace vantoli
