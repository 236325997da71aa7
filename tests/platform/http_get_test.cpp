// The HTTP layer against a real HTTP server on the loopback interface:
// encodings, failures, redirects, slow and silent servers, and fetches that
// are cancelled or outlive their getter.

#include "platform/http_get.h"

#include "platform/ansi_codec.h"
#include "support/waiting_http_get.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMap>
#include <QTcpServer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace vantoli {
namespace {

using namespace std::chrono_literals;

const QString kChinese = QString::fromUtf8("片名：第一集 «café»");

// Every byte value, NUL and invalid UTF-8 included.
QByteArray binaryBody() {
    QByteArray bytes;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 256; ++i)
            bytes += char(i);
    return bytes;
}

void chainStep(const httplib::Request &req, httplib::Response &res, const std::string &prefix) {
    const int left = std::stoi(req.matches[1].str());
    if (left > 0)
        res.set_redirect(prefix + std::to_string(left - 1), 302);
    else
        res.set_content(kChinese.toStdString(), "text/plain; charset=utf-8");
}

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
        // 30 small chunks 20 ms apart: a body that is still coming in.
        server_.Get("/trickle", [this](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("text/plain", [this](size_t offset, httplib::DataSink &sink) {
                if (offset >= 30 || stopping_) {
                    sink.done();
                    return true;
                }
                std::this_thread::sleep_for(20ms);
                return sink.write("z", 1);
            });
        });
        server_.Get("/binary", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(binaryBody().toStdString(), "text/plain; charset=utf-8");
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
        // /chain/N redirects N times, down to /chain/0, the page.
        server_.Get(R"(/chain/(\d+))", [](const httplib::Request &req, httplib::Response &res) {
            chainStep(req, res, "/chain/");
        });
        // The same, each request taking 200 ms.
        server_.Get(R"(/slow-chain/(\d+))", [this](const httplib::Request &req, httplib::Response &res) {
            for (int i = 0; i < 20 && !stopping_; ++i)
                std::this_thread::sleep_for(10ms);
            chainStep(req, res, "/slow-chain/");
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

// Runs the event loop until done() holds or ms passed.
bool spinUntil(const std::function<bool()> &done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST_F(HttpGetTest, DecodesByDeclaredCharset) {
    WaitingHttpGet http(3000);
    EXPECT_EQ(http.get(server->url("/utf8")), kChinese);
    // No charset, or one that is not UTF-8: the program's GB18030 text.
    EXPECT_EQ(http.get(server->url("/gb")), QString::fromUtf8("第二集"));
    EXPECT_EQ(http.get(server->url("/latin1-declared")), QString::fromUtf8("第三集"));
}

TEST_F(HttpGetTest, FailuresGiveEmptyReply) {
    WaitingHttpGet http(3000);
    EXPECT_EQ(http.get(server->url("/missing")), QString());
    EXPECT_EQ(http.get(server->url("/big")), QString());
    EXPECT_EQ(http.get(server->url("/big-chunked")), QString());
    EXPECT_EQ(http.get(QStringLiteral("not a url")), QString());
    EXPECT_EQ(http.get(QStringLiteral("file:///etc/hostname")), QString());

    // A port that was just free: connection refused.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(http.get(QStringLiteral("http://127.0.0.1:%1/x").arg(port)), QString());
    EXPECT_LT(clock.elapsed(), 2000);

    // The layer still works after all of these.
    EXPECT_EQ(http.get(server->url("/utf8")), kChinese);
    EXPECT_EQ(http.handled, 7) << "every failure was a reply";
}

TEST_F(HttpGetTest, FollowsOnlyFewHttpRedirects) {
    WaitingHttpGet http(3000);
    EXPECT_EQ(http.get(server->url("/redirect")), kChinese);
    EXPECT_EQ(http.get(server->url("/chain/5")), kChinese);
    EXPECT_EQ(http.get(server->url("/chain/6")), QString());
    EXPECT_EQ(http.get(server->url("/loop")), QString());
    EXPECT_EQ(http.get(server->url("/to-file")), QString());
}

TEST_F(HttpGetTest, OneTimeOutCoversEveryHop) {
    // Each request (200 ms) is well within the time-out; the five together are not.
    WaitingHttpGet http(600);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(http.get(server->url("/slow-chain/4")), QString());
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(http.get(server->url("/slow-chain/0")), kChinese);
}

class InputRecorder : public QWidget {
public:
    QString seen;

protected:
    void keyPressEvent(QKeyEvent *event) override { seen += event->text(); }
};

TEST_F(HttpGetTest, SilentServerTimesOutWhileNothingIsHeld) {
    QTcpServer silent; // accepts connections (the kernel completes them) and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    InputRecorder widget;
    widget.show();
    auto http = makeAsyncHttpGet(400);
    QElapsedTimer clock;
    clock.start();
    qint64 repliedAt = -1;
    QString reply = QStringLiteral("none");
    http->start(QStringLiteral("http://127.0.0.1:%1/h.php").arg(silent.serverPort()), [&](const QString &body) {
        reply = body;
        repliedAt = clock.elapsed();
    });
    QCoreApplication::postEvent(&widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a")));
    ASSERT_TRUE(spinUntil([&] { return !widget.seen.isEmpty(); }, 100)) << "input waited for the fetch";
    EXPECT_EQ(repliedAt, -1);
    ASSERT_TRUE(spinUntil([&] { return repliedAt >= 0; }, 3000));
    EXPECT_EQ(reply, QString());
    EXPECT_GE(repliedAt, 350);
    EXPECT_LT(repliedAt, 2000);
}

TEST_F(HttpGetTest, RepliesComeLaterSideBySide) {
    auto http = makeAsyncHttpGet(3000);
    QStringList replies;
    auto keep = [&](const QString &body) { replies << body; };
    http->start(server->url("/utf8"), keep);
    http->start(server->url("/missing"), keep);
    http->start(server->url("/redirect"), keep);
    http->start(server->url("/to-file"), keep);
    http->start(server->url("/big"), keep);
    http->start(QStringLiteral("file:///etc/hostname"), keep);
    EXPECT_TRUE(replies.isEmpty()) << "never from inside start()";
    ASSERT_TRUE(spinUntil([&] { return replies.size() == 6; }, 5000));
    replies.sort();
    EXPECT_EQ(replies, (QStringList{"", "", "", "", kChinese, kChinese}));
}

TEST_F(HttpGetTest, BytesComeUndecodedByTheSameRules) {
    auto http = makeAsyncHttpGet(3000);
    QMap<QString, QByteArray> replies;
    for (const char *path : {"/binary", "/gb", "/redirect", "/missing", "/big", "/to-file"}) {
        const QString name = QString::fromLatin1(path);
        http->startBytes(server->url(path), [&replies, name](const QByteArray &body) { replies[name] = body; });
    }
    // Text and bytes fetches side by side on one getter.
    QString text;
    http->start(server->url("/utf8"), [&](const QString &body) { text = body; });
    EXPECT_TRUE(replies.isEmpty()) << "never from inside startBytes()";
    ASSERT_TRUE(spinUntil([&] { return replies.size() == 6 && !text.isEmpty(); }, 5000));
    EXPECT_EQ(replies["/binary"], binaryBody()); // though it says it is UTF-8 text
    EXPECT_EQ(replies["/gb"], encodeAnsi(QString::fromUtf8("第二集")));
    EXPECT_EQ(replies["/redirect"], kChinese.toUtf8());
    EXPECT_EQ(replies["/missing"], QByteArray());
    EXPECT_EQ(replies["/big"], QByteArray());
    EXPECT_EQ(replies["/to-file"], QByteArray());
    EXPECT_EQ(text, kChinese);
}

TEST_F(HttpGetTest, CancelledOrDestroyedNeverReplies) {
    auto http = makeAsyncHttpGet(3000);
    int replies = 0;
    const quint64 slow = http->start(server->url("/slow"), [&](const QString &) { ++replies; });
    const quint64 fast = http->start(server->url("/utf8"), [&](const QString &) { ++replies; });
    EXPECT_NE(slow, fast);
    http->cancel(fast);
    http->cancel(fast); // twice, or unknown: nothing
    http->cancel(12345);
    SingleFetch one(http.get());
    QStringList got;
    one.start(server->url("/gb"), [&](const QString &body) { got << QStringLiteral("first ") + body; });
    one.start(server->url("/utf8"), [&](const QString &body) { got << body; });
    EXPECT_TRUE(one.waiting());
    ASSERT_TRUE(spinUntil([&] { return !one.waiting(); }, 3000));
    EXPECT_EQ(got, QStringList{kChinese});
    // A reply may start the next fetch and end the getter.
    one.start(server->url("/gb"), [&](const QString &) {
        one.start(server->url("/utf8"), [&](const QString &body) {
            got << body;
            http.reset();
        });
    });
    ASSERT_TRUE(spinUntil([&] { return !http; }, 3000));
    EXPECT_EQ(got.size(), 2);
    EXPECT_EQ(replies, 0) << "the slow fetch ended with its getter";
    spinUntil([] { return false; }, 500);
    EXPECT_EQ(replies, 0);
}

TEST_F(HttpGetTest, ARunningFetchCancelledOrOutlivedDeliversNothing) {
    auto http = makeAsyncHttpGet(3000);
    int replies = 0;
    auto count = [&](const QString &) { ++replies; };
    auto countBytes = [&](const QByteArray &) { ++replies; };
    // Cancelled while the server works on the request, and while the body
    // is still coming in.
    const quint64 slow = http->start(server->url("/slow"), count);
    const quint64 trickle = http->startBytes(server->url("/trickle"), countBytes);
    QTimer::singleShot(100, [&] {
        http->cancel(slow);
        http->cancel(trickle);
    });
    spinUntil([] { return false; }, 900); // past both replies
    EXPECT_EQ(replies, 0);
    http->cancel(slow); // ended already: nothing
    QByteArray body;
    http->startBytes(server->url("/trickle"), [&](const QByteArray &b) { body = b; });
    ASSERT_TRUE(spinUntil([&] { return !body.isEmpty(); }, 3000));
    EXPECT_EQ(body, QByteArray(30, 'z'));

    // Destroyed with both kinds running, as an owner does from a timer.
    http->start(server->url("/slow"), count);
    http->startBytes(server->url("/trickle"), countBytes);
    QTimer::singleShot(100, [&] { http.reset(); });
    spinUntil([] { return false; }, 900);
    EXPECT_EQ(http, nullptr);
    EXPECT_EQ(replies, 0);
}

} // namespace
} // namespace vantoli
