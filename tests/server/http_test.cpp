// The server over real sockets on 127.0.0.1: every path, ranges, malformed
// requests, pings, and serving while media streams.

#include "catalog.h"
#include "content_server.h"

#include "app/machine_id.h"
#include "catalog/escape.h"
#include "catalog/links.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace vantoli;
using namespace vantoli::server;
namespace fs = std::filesystem;

namespace {

std::string patternBytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = char((i * 7 + i / 251) & 0xff);
    return s;
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        data_ = tmp_.path().toStdString();
        fs::create_directories(data_ + "/media/v");
        fs::create_directories(data_ + "/lib");
        media_ = patternBytes(3 * 1024 * 1024 + 17);
        std::ofstream(data_ + "/media/v/ep 1.mp4", std::ios::binary) << media_;
        std::ofstream(data_ + "/media/v/ch.webm", std::ios::binary) << "webm";
        std::ofstream(data_ + "/secret.txt") << "secret";
        std::ofstream(data_ + "/lib/wen.txt", std::ios::binary) << "0====0====0====0====0====1.0";
        std::ofstream(data_ + "/lib/gun.txt", std::ios::binary) << "\xb9\xab\xb8\xe6||*$$$"; // GBK bytes

        CatalogStore store;
        ASSERT_TRUE(store.open(data_, true));
        Title s;
        s.name = QStringLiteral("测试剧");
        s.series = true;
        s.sources = {{QStringLiteral("高清"),
                      {{QStringLiteral("第1集"), QStringLiteral("v/ep 1.mp4"), kPlayerKind},
                       {QStringLiteral("第2集"), QStringLiteral("v/ep 1.mp4"), kPlayerKind}}},
                     {QStringLiteral("网页"), {{QStringLiteral("第1集"), QStringLiteral("v/ch.webm"), kWebKind}}}};
        ASSERT_EQ(store.addTitle(s), 1);
        ASSERT_EQ(store.addChannel({0, QStringLiteral("一台"), QStringLiteral("v/ch.webm"), QString()}), 1);
        start();
    }

    void start() {
        ServerOptions o;
        o.dataDir = data_;
        o.port = 0;
        o.log = [this](const std::string &line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        };
        server_ = std::make_unique<ContentServer>(o);
        ASSERT_TRUE(server_->start()) << server_->error();
        thread_ = std::thread([this] { server_->run(); });
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
        client_->set_read_timeout(10);
    }

    void TearDown() override {
        if (server_)
            server_->stop();
        if (thread_.joinable())
            thread_.join();
    }

    httplib::Result get(const std::string &path, httplib::Headers headers = {}) {
        return client_->Get(path, headers);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(server_->port()) + "/"; }

    QTemporaryDir tmp_;
    std::string data_;
    std::string media_;
    std::unique_ptr<ContentServer> server_;
    std::thread thread_;
    std::unique_ptr<httplib::Client> client_;
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

QString text(const httplib::Result &r) {
    return QString::fromStdString(r->body);
}

} // namespace

TEST_F(ServerTest, EveryPathAnswers) {
    struct Case {
        const char *path;
        int status;
        const char *type;
    };
    const Case cases[] = {
        {"/", 200, "text/html; charset=utf-8"},
        {"/v/1.htm", 200, "text/html; charset=utf-8"},
        {"/pp.htm?1-0-0-x-0", 200, "text/html; charset=utf-8"},
        {"/play.htm?html5$$$http%3A//127.0.0.1/media/v/ch.webm", 200, "text/html; charset=utf-8"},
        {"/play-ended.htm", 200, "text/html; charset=utf-8"},
        {"/tv/list.htm", 200, "text/html; charset=utf-8"},
        {"/tv/ad.htm", 200, "text/html; charset=utf-8"},
        {"/tv/kxbotv.htm?ch=1", 200, "text/html; charset=utf-8"},
        {"/js/ads/bo.html", 200, "text/html; charset=utf-8"},
        {"/js/ads/jingcai.html", 200, "text/html; charset=utf-8"},
        {"/js/ads/peerad.html", 200, "text/html; charset=utf-8"},
        {"/js/ads/tui.html", 200, "text/html; charset=utf-8"},
        {"/notice/1.htm", 200, "text/html; charset=utf-8"},
        {"/lib/wen.txt", 200, "text/plain; charset=utf-8"},
        {"/lib/gun.txt", 200, "text/plain"}, // not UTF-8: no charset claimed
        {"/lib/tan.txt", 404, nullptr},
        {"/update/update.exe", 404, nullptr},
        {"/h.php?id=1&v=0&v1=0", 200, "text/plain; charset=utf-8"},
        {"/media/v/ch.webm", 200, "video/webm"},
        {"/stat/summary.json", 200, "application/json"},
        {"/v/2.htm", 404, nullptr},
        {"/tv/kxbotv.htm?ch=9", 404, nullptr},
        {"/js/ads/other.html", 404, nullptr},
        {"/nothing", 404, nullptr},
    };
    for (const Case &c : cases) {
        const auto r = get(c.path);
        ASSERT_TRUE(r) << c.path;
        EXPECT_EQ(r->status, c.status) << c.path;
        if (c.type) {
            EXPECT_EQ(r->get_header_value("Content-Type"), c.type) << c.path;
        }
    }
    EXPECT_EQ(get("/lib/wen.txt")->body, "0====0====0====0====0====1.0");

    fs::create_directories(data_ + "/update");
    std::ofstream(data_ + "/update/update.exe", std::ios::binary) << "MZ";
    EXPECT_EQ(get("/update/update.exe")->body, "MZ");

    // One log line per request. Lines are written after each reply, from
    // the worker threads, so they may lag the replies a little.
    const size_t requests = std::size(cases) + 2;
    auto logged = [&] {
        std::lock_guard lock(logMutex_);
        return log_;
    };
    for (int i = 0; i < 100 && logged().size() < requests; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::vector<std::string> lines = logged();
    EXPECT_EQ(lines.size(), requests);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string &l) { return l.find(" 127.0.0.1 GET / 200") != std::string::npos; }),
              1);
}

TEST_F(ServerTest, LinksOnThePagesLeadToAnswers) {
    const QString home = text(get("/"));
    const QString link = buildByNumberLink(1, 0, 1, escapeText(QStringLiteral("测试剧")));
    ASSERT_TRUE(home.contains(link));
    const ByNumberLink b = decodeByNumberLink(link);
    const auto reply = get("/h.php?id=" + std::to_string(b.videoId) + "&v=" + b.source.toStdString() +
                           "&v1=" + b.episode.toStdString());
    const auto parsed = parseEpisodeLookupReply(text(reply));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->episodeName, QStringLiteral("第2集"));
    // The address is on this server, uses the host the client asked for,
    // and plays.
    const std::string address = parsed->address.toStdString();
    ASSERT_EQ(address.rfind(base(), 0), 0u) << address;
    const auto media = get("/" + address.substr(base().size()));
    ASSERT_TRUE(media);
    EXPECT_EQ(media->status, 200);
    EXPECT_EQ(media->body, media_);

    // The channel list's links open a channel page.
    const QString tv = text(get("/tv/list.htm"));
    const qsizetype at = tv.indexOf(QStringLiteral("kxtvs://"));
    ASSERT_GE(at, 0);
    const QString r = decodeTvLink(tv.mid(at, tv.indexOf(u'"', at) - at));
    EXPECT_EQ(get("/tv/kxbotv.htm?" + r.toStdString())->status, 200);
}

TEST_F(ServerTest, MalformedLookupsAnswerOne) {
    for (const char *q : {"/h.php", "/h.php?id=1", "/h.php?id=1&v=0", "/h.php?id=a&v=0&v1=0",
                          "/h.php?id=1&v=0&v1=9", "/h.php?id=1&v=0&v1=-1", "/h.php?id=1&v=0&v1=0&v1=1",
                          "/h.php?id=%00&v=0&v1=0", "/h.php?id=1%27%20OR%201=1&v=0&v1=0",
                          "/h.php?id=1&v=0&v1=99999999999999999999"}) {
        const auto r = get(q);
        ASSERT_TRUE(r) << q;
        EXPECT_EQ(r->status, 200) << q;
        EXPECT_EQ(r->body, "1") << q;
    }
    EXPECT_EQ(get("/pp.htm?x-y")->status, 404);
    EXPECT_EQ(get("/play.htm?html5$$$javascript:alert(1)")->status, 400);
}

TEST_F(ServerTest, RangeRequestsServeTheRightBytes) {
    auto range = [&](const std::string &spec) { return get("/media/v/ep%201.mp4", {{"Range", spec}}); };
    const std::string size = std::to_string(media_.size());

    auto r = range("bytes=1000-1999");
    EXPECT_EQ(r->status, 206);
    EXPECT_EQ(r->body, media_.substr(1000, 1000));
    EXPECT_EQ(r->get_header_value("Content-Range"), "bytes 1000-1999/" + size);

    r = range("bytes=-100");
    EXPECT_EQ(r->status, 206);
    EXPECT_EQ(r->body, media_.substr(media_.size() - 100));

    r = range("bytes=3000000-");
    EXPECT_EQ(r->status, 206);
    EXPECT_EQ(r->body, media_.substr(3000000));

    r = range("bytes=" + size + "-");
    EXPECT_EQ(r->status, 416);
    EXPECT_EQ(r->get_header_value("Content-Range"), "bytes */" + size);
    EXPECT_EQ(range("bytes=9-3")->status, 416);
    EXPECT_EQ(range("bytes=x")->status, 416);

    // Several ranges: the whole file.
    r = range("bytes=0-1,5-9");
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->body.size(), media_.size());

    r = get("/media/v/ep%201.mp4");
    EXPECT_EQ(r->get_header_value("Accept-Ranges"), "bytes");
    EXPECT_EQ(r->body, media_);
}

TEST_F(ServerTest, PathsCannotLeaveTheDataFolder) {
    fs::create_symlink(data_ + "/secret.txt", data_ + "/media/v/link.mp4");
    for (const char *p : {"/media/../secret.txt", "/media/v/../../secret.txt", "/media/%2e%2e/secret.txt",
                          "/media/v/%2E%2E/%2E%2E/secret.txt", "/media/v/link.mp4", "/media//etc/passwd",
                          "/media/v/..%2f..%2fsecret.txt", "/lib/../secret.txt", "/media/v"}) {
        const auto r = get(p);
        ASSERT_TRUE(r) << p;
        EXPECT_EQ(r->status / 100, 4) << p;
        EXPECT_EQ(r->body.find("secret"), std::string::npos) << p;
    }
}

TEST_F(ServerTest, OversizedAndForeignRequestsAreRefused) {
    const auto longUri = get("/h.php?id=" + std::string(20000, '1') + "&v=0&v1=0");
    ASSERT_TRUE(longUri);
    EXPECT_EQ(longUri->status / 100, 4);
    const auto post = client_->Post("/h.php", std::string(100000, 'x'), "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status / 100, 4);
    // Still serving afterwards.
    EXPECT_EQ(get("/h.php?id=1&v=0&v1=0")->status, 200);
}

TEST_F(ServerTest, PingsAreRecordedAndSummarised) {
    const QString enid = statisticsIdentity(QStringLiteral("0"), QStringLiteral("aa-bb-cc-dd-ee-ff"));
    const std::string us = std::to_string(checkNumber(enid));
    const std::string e = enid.toStdString();
    // enid goes into the address as it is, "|" included.
    EXPECT_EQ(get("/stat/tongji.php?enid=" + e + "&us=" + us)->status, 200);
    EXPECT_EQ(get("/stat/tongjidb.php?enid=" + e + "&us=" + us)->status, 200);
    EXPECT_EQ(get("/stat/tongjidb.php?enid=" + e + "&us=" + us)->status, 200);
    const QString other = statisticsIdentity(QStringLiteral("7"), QStringLiteral("2024011201"));
    EXPECT_EQ(get("/stat/tongji.php?enid=" + other.toStdString() + "&us=5")->status, 200);
    for (const std::string &bad : std::vector<std::string>{"/stat/tongji.php", "/stat/tongji.php?enid=" + e,
                                  "/stat/tongji.php?enid=" + e + "&us=x", "/stat/tongji.php?enid=%27;&us=1"})
        EXPECT_EQ(get(bad)->status, 400) << bad;
    EXPECT_EQ(get("/stat/summary.json")->body,
              "{\"starts\":2,\"plays\":2,\"machines\":2,\"unverified\":1}\n");
}

TEST_F(ServerTest, KeepsServingWhileMediaStreams) {
    // A client that reads a media file slowly holds one connection open...
    std::atomic<bool> stop{false};
    std::atomic<size_t> received{0};
    std::thread slow([&] {
        httplib::Client c("127.0.0.1", server_->port());
        c.Get("/media/v/ep%201.mp4", {{"Range", "bytes=0-"}},
              [&](const char *, size_t n) {
                  received += n;
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  return !stop;
              });
    });
    while (received == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // ...while others are answered at once.
    for (int i = 0; i < 20; ++i) {
        httplib::Client c("127.0.0.1", server_->port());
        const auto r = c.Get("/h.php?id=1&v=0&v1=0");
        ASSERT_TRUE(r);
        EXPECT_NE(r->body, "1");
    }
    EXPECT_LT(received.load(), media_.size());
    stop = true;
    slow.join();
}

TEST_F(ServerTest, ImportedTitlesAppearWithoutARestart) {
    EXPECT_EQ(get("/v/2.htm")->status, 404);
    {
        CatalogStore store;
        ASSERT_TRUE(store.open(data_, false));
        Title f;
        f.name = QStringLiteral("新片");
        f.sources = {{QStringLiteral("本地"), {{QStringLiteral("正片"), QStringLiteral("v/ch.webm"), kPlayerKind}}}};
        ASSERT_EQ(store.addTitle(f), 2);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(get("/v/2.htm")->status, 200);
}
