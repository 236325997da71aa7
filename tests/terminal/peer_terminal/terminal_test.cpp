// The transfer program over real loopback sockets: the reference content
// server and a flaky origin of the test's own on one side, HTTP clients
// playing the player's part on the other.

#include "origin.h"

#include "catalog.h"
#include "content_server.h"
#include "terminal/peer_terminal/cache_names.h"
#include "terminal/peer_terminal/terminal_service.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/resource.h>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace vantoli;
using namespace vantoli::terminal;
using vantoli::test::Origin;
using vantoli::test::patternBytes;

namespace {

std::string readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

std::string query(const std::string &path, const std::string &url) {
    return path + "?url=" + QUrl::toPercentEncoding(QString::fromStdString(url)).toStdString();
}

// Equality of two byte strings, reported by size and first difference.
::testing::AssertionResult sameBytes(const std::string &a, const std::string &b) {
    if (a == b)
        return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size() << ", first difference at "
                                         << i;
}

bool waitUntil(const std::function<bool()> &pred, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        cache_ = dir_.filePath("cache");
    }
    TerminalConfig config(std::int64_t limit = std::int64_t(1) << 30) const {
        TerminalConfig c;
        c.cacheFolder = cache_;
        c.cacheLimitBytes = limit;
        c.prefetchBytes = 256 * 1024;
        c.readTimeoutSeconds = 5;
        c.connectTimeoutSeconds = 2;
        c.freeMarginBytes = 0;
        return c;
    }
    void startTerminal(std::int64_t limit = std::int64_t(1) << 30) { startTerminal(config(limit)); }
    void startTerminal(const TerminalConfig &c) {
        service_ = std::make_unique<TerminalService>(c);
        ASSERT_TRUE(service_->start());
        client_ = std::make_unique<httplib::Client>("127.0.0.1", service_->port());
        client_->set_read_timeout(20);
    }
    std::string play(const std::string &url) {
        auto res = client_->Get(query("/play", url));
        return res && res->status == 200 ? res->body : "<failed>";
    }
    QJsonObject status(const std::string &url) {
        auto res = client_->Get(query("/status", url));
        return res ? QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object() : QJsonObject{};
    }
    QString cached(const QString &name) const { return QDir(cache_).filePath(name); }

    QTemporaryDir dir_;
    QString cache_;
    std::unique_ptr<TerminalService> service_;
    std::unique_ptr<httplib::Client> client_;
};

} // namespace

TEST(CacheNames, ItemNamesAreSafeFileNames) {
    EXPECT_EQ(safeItemName("http://h/media/v/ep%201.mp4?x=1"), "ep 1.mp4");
    EXPECT_FALSE(safeItemName("http://h/a/%2E%2E%2Fetc%2Fpasswd").contains(u'/')); // no way out of the folder
    EXPECT_EQ(safeItemName("http://h/a%5C..%5Cb"), "a_.._b");
    EXPECT_EQ(safeItemName("http://h/.hidden"), "hidden");
    EXPECT_EQ(safeItemName("http://h/"), "item");
    EXPECT_EQ(safeItemName("http://h/a%0Ab%01c"), "a_b_c");
    EXPECT_EQ(safeItemName("http://h/%E5%89%A7%E9%9B%86.mp4"), QStringLiteral("剧集.mp4"));
    // A right-to-left override makes "film\u202Egpj.exe" read as "filmexe.jpg";
    // invisible marks (zero width, tag characters) go too.
    EXPECT_EQ(safeItemName("http://h/film%E2%80%AEgpj.exe"), "filmgpj.exe");
    EXPECT_EQ(safeItemName("http://h/a%E2%80%8Bb%F3%A0%80%81.mp4"), "ab.mp4");
    const QString longName = safeItemName("http://h/" + QString(100, QChar(0x5267)));
    EXPECT_LE(longName.toUtf8().size(), 150);
    EXPECT_FALSE(longName.isEmpty());

    QStringList taken{"ep.mp4", "ep (2).mp4"};
    EXPECT_EQ(uniqueName("ep.mp4", [&](const QString &n) { return taken.contains(n); }), "ep (3).mp4");
    EXPECT_EQ(uniqueName("noext", [](const QString &n) { return n == "noext"; }), "noext (2)");
}

TEST(CacheNames, OriginRepliesAndAddressesAreCheckedStrictly) {
    const auto r = parseContentRange("bytes 10-19/100");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->first, 10);
    EXPECT_EQ(r->last, 19);
    EXPECT_EQ(r->total, 100);
    EXPECT_EQ(parseContentRange("bytes 0-9/*")->total, -1);
    for (const char *bad : {"bytes 10-5/100", "bytes 0-100/100", "items 0-1/2", "bytes -1-2/3", "bytes 0-1/x",
                            "bytes 0-99999999999999999999/1", ""})
        EXPECT_FALSE(parseContentRange(bad)) << bad;

    EXPECT_TRUE(isFetchableUrl("http://127.0.0.1:8/a"));
    EXPECT_TRUE(isFetchableUrl("HTTPS://example.org/a"));
    for (const char *bad : {"file:///etc/passwd", "ftp://h/a", "http:///nohost", "kxpeer://1", "/local/path", ""})
        EXPECT_FALSE(isFetchableUrl(bad)) << bad;
}

TEST(CacheNames, StateFilesRoundTripAndHostileOnesAreRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath(stateFileName("ep.mp4"));
    ItemState s{"http://h/ep.mp4", "ep.mp4", 1000, 400, 1234, "video/mp4", "\"e\"", {64769, (1ull << 62) + 1, 400, 1733650000123456789}};
    ASSERT_TRUE(writeItemState(path, s));
    const auto back = readItemState(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->url, s.url);
    EXPECT_EQ(back->have, 400);
    EXPECT_EQ(back->total, 1000);
    EXPECT_EQ(back->validator, s.validator);
    EXPECT_EQ(back->file, s.file); // inode numbers beyond a double's precision survive

    for (const QByteArray &bad : {QByteArray(R"({"url":"http://h/a","name":"../x","have":0})"),
                                  QByteArray(R"({"url":"file:///a","name":"a","have":0})"),
                                  QByteArray(R"({"url":"http://h/a","name":"a","have":9,"total":5})"),
                                  QByteArray("not json")}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bad);
        f.close();
        EXPECT_FALSE(readItemState(path)) << bad.constData();
    }
}

// Against the reference content server: the item lands in the cache folder
// under its own name, and a second play is served from there.
TEST_F(TerminalTest, DownloadsFromTheContentServerIntoTheCacheFolderUnderItsName) {
    namespace fs = std::filesystem;
    const std::string data = dir_.filePath("data").toStdString();
    fs::create_directories(data + "/media/v");
    const std::string media = patternBytes(3 * 1024 * 1024 + 17);
    std::ofstream(data + "/media/v/ep 1.mp4", std::ios::binary) << media;
    server::CatalogStore store;
    ASSERT_TRUE(store.open(data, true));
    server::ServerOptions o;
    o.dataDir = data;
    o.port = 0;
    server::ContentServer content(o);
    ASSERT_TRUE(content.start()) << content.error();
    std::thread serverThread([&] { content.run(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(content.port()) + "/media/v/ep%201.mp4";

    startTerminal();
    EXPECT_TRUE(sameBytes(play(url), media));
    ASSERT_TRUE(waitUntil([&] { return status(url)["state"].toString() == "complete"; }, 5000));
    EXPECT_TRUE(sameBytes(readFile(cached("ep 1.mp4")), media));
    EXPECT_EQ(status(url)["progress"].toInt(), 1000);
    EXPECT_EQ(status(url)["file"].toString(), "ep 1.mp4");

    // A range read of the cached item, and the origin is not asked again.
    const int fetches = service_->originFetches();
    auto part = client_->Get(query("/play", url), {{"Range", "bytes=1000-1999"}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_TRUE(sameBytes(part->body, media.substr(1000, 1000)));
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 1000-1999/" + std::to_string(media.size()));
    EXPECT_EQ(service_->originFetches(), fetches);

    service_->stop();
    content.stop();
    serverThread.join();
}

// A slow origin: the start is served while the rest still arrives, a read
// past the download is fetched from the origin directly, and progress and
// speed are reported meanwhile.
TEST_F(TerminalTest, ServesWhileArrivingAndReadsAheadFromTheOrigin) {
    Origin origin;
    const std::string body = patternBytes(2 * 1024 * 1024);
    origin.add("/slow.mp4", body);
    origin.rate = 400 * 1024;
    startTerminal();
    const std::string url = origin.url("/slow.mp4");

    auto head = client_->Get(query("/play", url), {{"Range", "bytes=0-65535"}});
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 206);
    EXPECT_TRUE(sameBytes(head->body, body.substr(0, 65536)));
    const QJsonObject during = status(url);
    EXPECT_EQ(during["state"].toString(), "downloading");
    EXPECT_LT(during["progress"].toInt(), 1000);

    const auto t0 = std::chrono::steady_clock::now();
    auto tail = client_->Get(query("/play", url), {{"Range", "bytes=2000000-"}});
    const auto took = std::chrono::steady_clock::now() - t0;
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->status, 206);
    EXPECT_TRUE(sameBytes(tail->body, body.substr(2000000)));
    // Far quicker than waiting for the download to get there (about 5 s).
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    const auto asked = origin.ranges("/slow.mp4");
    EXPECT_NE(std::find(asked.begin(), asked.end(), "bytes=2000000-" + std::to_string(body.size() - 1)), asked.end());

    ASSERT_TRUE(waitUntil([&] { return status(url)["speed"].toInt() > 0; }, 3000));
    EXPECT_TRUE(sameBytes(play(url), body)); // waits for the download, then has it all
    ASSERT_TRUE(waitUntil([&] { return status(url)["state"].toString() == "complete"; }, 5000));
    EXPECT_TRUE(sameBytes(readFile(cached("slow.mp4")), body));
}

TEST_F(TerminalTest, TwoPlayersOfOneItemShareOneDownload) {
    Origin origin;
    const std::string body = patternBytes(1024 * 1024, 3);
    origin.add("/shared.mp4", body);
    origin.rate = 1024 * 1024;
    startTerminal();
    const std::string url = origin.url("/shared.mp4");
    std::string a, b;
    std::thread first([&] {
        httplib::Client c("127.0.0.1", service_->port());
        c.set_read_timeout(20);
        auto r = c.Get(query("/play", url));
        a = r ? r->body : "";
    });
    std::thread second([&] {
        httplib::Client c("127.0.0.1", service_->port());
        c.set_read_timeout(20);
        auto r = c.Get(query("/play", url));
        b = r ? r->body : "";
    });
    first.join();
    second.join();
    EXPECT_TRUE(sameBytes(a, body));
    EXPECT_TRUE(sameBytes(b, body));
    EXPECT_EQ(origin.ranges("/shared.mp4").size(), 1u);
}

// Downloaded films are deleted from the folder by hand or by the history
// commands; the next play fetches the item again instead of failing.
TEST_F(TerminalTest, AnItemWhoseFileWasDeletedIsFetchedAgain) {
    Origin origin;
    const std::string body = patternBytes(300 * 1024, 6);
    origin.add("/gone.mp4", body);
    startTerminal();
    const std::string url = origin.url("/gone.mp4");
    EXPECT_TRUE(sameBytes(play(url), body));
    ASSERT_TRUE(waitUntil([&] { return status(url)["state"].toString() == "complete"; }, 3000));
    ASSERT_TRUE(QFile::remove(cached("gone.mp4")));
    EXPECT_TRUE(sameBytes(play(url), body));
    ASSERT_TRUE(waitUntil([&] { return status(url)["state"].toString() == "complete"; }, 3000));
    EXPECT_TRUE(sameBytes(readFile(cached("gone.mp4")), body));

}

// A file that took the name of one of ours (the user's own film, or ours
// changed behind our back) is never deleted or written: eviction passes it
// by, and the item is fetched again under a free name. Also after a restart.
TEST_F(TerminalTest, AFileThatTookTheNameOfACachedOneIsNeverTouched) {
    Origin origin;
    const std::size_t size = 4 * 1024 * 1024;
    for (const char *name : {"/film.mp4", "/b.mp4", "/c.mp4"})
        origin.add(name, patternBytes(size, name[1]));
    startTerminal(std::int64_t(9) << 20); // room for two
    const std::string film = origin.url("/film.mp4");
    ASSERT_EQ(play(film).size(), size);
    ASSERT_TRUE(waitUntil([&] { return status(film)["state"].toString() == "complete"; }, 5000));

    // The user moves a film of their own into the folder under that name.
    const std::string own = "the user's own film";
    {
        QFile f(dir_.filePath("own.mp4"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(own.data(), qint64(own.size()));
    }
    ASSERT_TRUE(QFile::remove(cached("film.mp4")));
    ASSERT_TRUE(QFile::rename(dir_.filePath("own.mp4"), cached("film.mp4")));

    // Two newer items push the oldest, "film.mp4", out of the cache.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(play(origin.url("/b.mp4")).size(), size);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(play(origin.url("/c.mp4")).size(), size);
    ASSERT_TRUE(waitUntil([&] { return status(origin.url("/c.mp4"))["state"].toString() == "complete"; }, 5000));
    EXPECT_EQ(readFile(cached("film.mp4")), own);
    EXPECT_FALSE(QFileInfo::exists(cached(stateFileName("film.mp4"))));

    // Playing the item again fetches it beside the user's file.
    EXPECT_TRUE(sameBytes(play(film), patternBytes(size, 'f')));
    EXPECT_EQ(readFile(cached("film.mp4")), own);
    EXPECT_EQ(status(film)["file"].toString(), "film (2).mp4");

    // Cut short in place, after a restart: not resumed into, not deleted.
    service_->stop();
    QFile::resize(cached("film (2).mp4"), 1000);
    startTerminal(std::int64_t(9) << 20);
    EXPECT_TRUE(sameBytes(play(film), patternBytes(size, 'f')));
    EXPECT_EQ(QFileInfo(cached("film (2).mp4")).size(), 1000);
    EXPECT_EQ(status(film)["file"].toString(), "film (3).mp4");
    EXPECT_EQ(readFile(cached("film.mp4")), own);
}

TEST_F(TerminalTest, DifferentItemsWithOneNameGetFilesOfTheirOwn) {
    Origin origin;
    origin.add("/a/ep.mp4", patternBytes(1000, 1));
    origin.add("/b/ep.mp4", patternBytes(1000, 2));
    startTerminal();
    EXPECT_TRUE(sameBytes(play(origin.url("/a/ep.mp4")), patternBytes(1000, 1)));
    EXPECT_TRUE(sameBytes(play(origin.url("/b/ep.mp4")), patternBytes(1000, 2)));
    ASSERT_TRUE(waitUntil([&] { return status(origin.url("/b/ep.mp4"))["state"].toString() == "complete"; }, 3000));
    EXPECT_TRUE(sameBytes(readFile(cached("ep.mp4")), patternBytes(1000, 1)));
    EXPECT_TRUE(sameBytes(readFile(cached("ep (2).mp4")), patternBytes(1000, 2)));
}

// A connection that breaks mid-item is taken up where it stopped, and a
// partial file left by an ended terminal is continued by the next one.
TEST_F(TerminalTest, InterruptedDownloadsResume) {
    Origin origin;
    const std::string body = patternBytes(1536 * 1024, 5);
    origin.add("/cut.mp4", body);
    origin.cutAfter = 300 * 1024;
    startTerminal();
    EXPECT_TRUE(sameBytes(play(origin.url("/cut.mp4")), body));
    const auto cutRanges = origin.ranges("/cut.mp4");
    ASSERT_GE(cutRanges.size(), 2u);
    EXPECT_EQ(cutRanges[0], "");
    EXPECT_EQ(cutRanges[1].rfind("bytes=", 0), 0u);
    EXPECT_NE(cutRanges[1], "bytes=0-");

    // Across a restart: prefetch part of an item slowly, end the terminal.
    origin.add("/later.mp4", body);
    origin.rate = 256 * 1024;
    const std::string url = origin.url("/later.mp4");
    ASSERT_EQ(client_->Get(query("/prefetch", url))->status, 200);
    ASSERT_TRUE(waitUntil([&] { return status(url)["bytes"].toDouble() > 100 * 1024; }, 5000));
    service_->stop();
    const auto partial = std::int64_t(QFileInfo(cached("later.mp4")).size());
    ASSERT_GT(partial, 0);
    ASSERT_LT(partial, std::int64_t(body.size()));

    origin.rate = 0;
    startTerminal();
    EXPECT_TRUE(sameBytes(play(url), body));
    const auto later = origin.ranges("/later.mp4");
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[1], "bytes=" + std::to_string(partial) + "-");
    ASSERT_TRUE(waitUntil([&] { return status(url)["state"].toString() == "complete"; }, 3000));
    EXPECT_TRUE(sameBytes(readFile(cached("later.mp4")), body));
}

// A partial file is only continued while the origin still holds the same
// item; an origin without a length is served whole as it arrives.
TEST_F(TerminalTest, ChangedAndUnsizedItemsAreFetchedWhole) {
    Origin origin;
    const std::string before = patternBytes(1024 * 1024, 8);
    const std::string after = patternBytes(1024 * 1024, 9);
    origin.add("/ep.mp4", before);
    origin.rate = 256 * 1024;
    startTerminal();
    const std::string url = origin.url("/ep.mp4");
    ASSERT_EQ(client_->Get(query("/prefetch", url))->status, 200);
    ASSERT_TRUE(waitUntil([&] { return status(url)["bytes"].toDouble() > 50 * 1024; }, 5000));
    service_->stop();

    origin.add("/ep.mp4", after);
    origin.setTag("\"v2\"");
    origin.rate = 0;
    startTerminal();
    EXPECT_TRUE(sameBytes(play(url), after));
    ASSERT_TRUE(waitUntil([&] { return status(url)["state"].toString() == "complete"; }, 3000));
    EXPECT_TRUE(sameBytes(readFile(cached("ep.mp4")), after));

    const std::string unsized = patternBytes(700 * 1000, 4);
    origin.addUnsized("/live.ts", unsized);
    EXPECT_TRUE(sameBytes(play(origin.url("/live.ts")), unsized));
    ASSERT_TRUE(waitUntil([&] { return status(origin.url("/live.ts"))["state"].toString() == "complete"; }, 3000));
    EXPECT_EQ(status(origin.url("/live.ts"))["total"].toDouble(), double(unsized.size()));
    EXPECT_TRUE(sameBytes(readFile(cached("live.ts")), unsized));
}

TEST_F(TerminalTest, PrefetchFetchesOnlyTheStartUntilPlayed) {
    Origin origin;
    const std::string body = patternBytes(1024 * 1024, 7);
    origin.add("/next.mp4", body);
    startTerminal();
    const std::string url = origin.url("/next.mp4");
    ASSERT_EQ(client_->Get(query("/prefetch", url))->status, 200);
    ASSERT_TRUE(waitUntil([&] { return status(url)["state"].toString() == "paused"; }, 3000));
    const double fetched = status(url)["bytes"].toDouble();
    EXPECT_GE(fetched, 256 * 1024);
    EXPECT_LT(fetched, double(body.size()));
    EXPECT_TRUE(sameBytes(play(url), body));
}

namespace {
// A reader that takes a few bytes of an item and then holds its connection
// without reading on: the item is in use for as long as it lives.
class StalledReader {
public:
    StalledReader(int port, const std::string &target) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int small = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0) {
            const std::string request = "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n";
            ::send(fd_, request.data(), request.size(), 0);
            char buf[512];
            ok_ = ::recv(fd_, buf, sizeof buf, 0) > 0;
        }
    }
    ~StalledReader() { ::close(fd_); }
    bool ok() const { return ok_; }

private:
    int fd_ = -1;
    bool ok_ = false;
};
} // namespace

TEST_F(TerminalTest, SizeLimitEvictsTheLeastRecentlyPlayedButNeverOneInUse) {
    Origin origin;
    const std::size_t size = 8 * 1024 * 1024;
    for (const char *name : {"/a.mp4", "/b.mp4", "/c.mp4", "/d.mp4"})
        origin.add(name, patternBytes(size, name[1]));
    startTerminal(std::int64_t(20) << 20); // room for two and a half
    auto complete = [&](const char *name) {
        return waitUntil([&] { return status(origin.url(name))["state"].toString() == "complete"; }, 10000);
    };
    ASSERT_EQ(play(origin.url("/a.mp4")).size(), size);
    ASSERT_TRUE(complete("/a.mp4"));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    StalledReader inUse(service_->port(), query("/play", origin.url("/b.mp4")));
    ASSERT_TRUE(inUse.ok());
    ASSERT_TRUE(complete("/b.mp4")) << QJsonDocument(status(origin.url("/b.mp4"))).toJson().constData();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(play(origin.url("/c.mp4")).size(), size);
    ASSERT_TRUE(complete("/c.mp4"));
    EXPECT_FALSE(QFileInfo::exists(cached("a.mp4"))); // the oldest went first
    EXPECT_FALSE(QFileInfo::exists(cached(stateFileName("a.mp4"))));
    EXPECT_TRUE(QFileInfo::exists(cached("b.mp4")));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(play(origin.url("/d.mp4")).size(), size);
    ASSERT_TRUE(complete("/d.mp4"));
    // b is older than c but still being read.
    EXPECT_TRUE(QFileInfo::exists(cached("b.mp4")));
    EXPECT_FALSE(QFileInfo::exists(cached("c.mp4")));
    EXPECT_TRUE(QFileInfo::exists(cached("d.mp4")));
    EXPECT_TRUE(sameBytes(readFile(cached("b.mp4")), patternBytes(size, 'b')));
}

TEST_F(TerminalTest, BadRequestsGetErrorsAndNothingIsFetched) {
    Origin origin;
    origin.add("/ok.mp4", patternBytes(1000));
    origin.redirect("/to-file", "file:///etc/passwd");
    origin.redirect("/to-ok", "/ok.mp4");
    startTerminal();
    auto statusOf = [&](const std::string &target, httplib::Headers h = {}) {
        auto r = client_->Get(target, h);
        return r ? r->status : -1;
    };
    EXPECT_EQ(statusOf("/play"), 400);
    EXPECT_EQ(statusOf(query("/play", "file:///etc/passwd")), 400);
    EXPECT_EQ(statusOf(query("/play", "gopher://127.0.0.1/x")), 400);
    EXPECT_EQ(statusOf(query("/prefetch", "not an address")), 400);
    EXPECT_EQ(statusOf(query("/status", "")), 400);
    EXPECT_EQ(statusOf("/nothing-here"), 404);
    EXPECT_EQ(statusOf("/play?url=" + std::string(20000, 'a')), 414);
    EXPECT_EQ(statusOf(query("/play", origin.url("/missing.mp4"))), 502);
    EXPECT_EQ(statusOf(query("/play", origin.url("/to-file"))), 502);
    EXPECT_EQ(statusOf(query("/play", origin.url("/ok.mp4")), {{"Range", "bytes=5000-"}}), 416);
    EXPECT_TRUE(sameBytes(play(origin.url("/to-ok")), patternBytes(1000))); // an http redirect is followed
    auto post = client_->Post(query("/play", origin.url("/ok.mp4")), "x", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_GE(post->status, 400);
    EXPECT_EQ(status(origin.url("/never.mp4"))["state"].toString(), "unknown");
    // No file is left for what failed: only the item played through a redirect.
    EXPECT_EQ(QDir(cache_).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u"|").toStdString(),
              (QStringList{stateFileName("ok.mp4"), stateFileName("to-ok"), "ok.mp4", "to-ok"}.join(u"|").toStdString()));
}

// An origin without a length used to fill the disk for as long as it sent.
TEST_F(TerminalTest, AnItemWithoutALengthIsStoredOnlyUpToTheCacheLimit) {
    Origin origin;
    const std::string body = patternBytes(3 * 1024 * 1024, 2);
    origin.addUnsized("/live.ts", body);
    startTerminal(std::int64_t(1) << 20);
    std::size_t received = 0;
    client_->Get(query("/play", origin.url("/live.ts")), [&](const char *, std::size_t n) {
        received += n;
        return true;
    });
    EXPECT_GE(received, std::size_t(1) << 20); // what was kept reached the player
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LE(QFileInfo(cached("live.ts")).size(), std::int64_t(1) << 20);
    EXPECT_NE(status(origin.url("/live.ts"))["state"].toString(), "downloading");
}

// A full disk: every write fails. The download used to start over at once,
// thousands of origin requests a second with the player waiting forever.
TEST_F(TerminalTest, AFullDiskFailsTheItemAndItsReadersGetTheOrigin) {
    Origin origin;
    const std::string body = patternBytes(2 * 1024 * 1024, 4);
    origin.add("/big.mp4", body);
    startTerminal();

    // Writes past 512 KiB of a file fail as on a full disk (EFBIG here).
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 512 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string got = play(origin.url("/big.mp4"));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const auto asked = origin.ranges("/big.mp4").size();
    const QJsonObject after = status(origin.url("/big.mp4"));
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_TRUE(sameBytes(got, body)); // the rest came from the origin
    EXPECT_LE(asked, 4u);
    EXPECT_EQ(after["state"].toString(), "failed");
    EXPECT_NE(after["error"].toString().indexOf("cannot write"), -1);
    // Played again at once, it is read from the origin without a new download.
    EXPECT_TRUE(sameBytes(play(origin.url("/big.mp4")), body));
    EXPECT_LE(origin.ranges("/big.mp4").size(), asked + 2);
}

// The limit keeps a margin of free space: older items make room, and what
// does not fit is not stored.
TEST_F(TerminalTest, TheCacheLeavesAMarginOfFreeSpace) {
    Origin origin;
    const std::size_t size = 6 * 1024 * 1024;
    origin.add("/old.mp4", patternBytes(size, 1));
    origin.add("/new.mp4", patternBytes(size, 2));
    // A disk of a given size that holds the cache folder and nothing else.
    const QString folder = cache_;
    const auto used = [folder] {
        std::int64_t n = 0;
        for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
            n += f.size();
        return n;
    };
    auto disk = std::make_shared<std::atomic<std::int64_t>>(std::int64_t(1) << 40);
    TerminalConfig c = config();
    c.freeMarginBytes = 4 << 20;
    c.freeBytes = [disk, used] { return std::max<std::int64_t>(*disk - used(), 0); };
    startTerminal(c);
    ASSERT_EQ(play(origin.url("/old.mp4")).size(), size);
    ASSERT_TRUE(waitUntil([&] { return status(origin.url("/old.mp4"))["state"].toString() == "complete"; }, 5000));

    // 5 MiB left: the new item fits only when the old one makes room.
    disk->store(used() + (5 << 20));
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(sameBytes(play(origin.url("/new.mp4")), patternBytes(size, 2)));
    EXPECT_FALSE(QFileInfo::exists(cached("old.mp4")));
    EXPECT_EQ(QFileInfo(cached("new.mp4")).size(), std::int64_t(size));

    // 1 MiB left and nothing to evict: the item is not stored whole.
    service_->stop();
    QFile::remove(cached("new.mp4"));
    QFile::remove(cached(stateFileName("new.mp4")));
    disk->store(used() + (1 << 20));
    startTerminal(c);
    EXPECT_TRUE(sameBytes(play(origin.url("/new.mp4")), patternBytes(size, 2)));
    EXPECT_LT(QFileInfo(cached("new.mp4")).size(), std::int64_t(size));
}
