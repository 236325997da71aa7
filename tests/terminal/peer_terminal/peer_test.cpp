// Peer items end to end on loopback: the content server with its torrents,
// opentracker, and terminals on distinct 127.0.0.x addresses. A second
// viewer gets its pieces from the first; without a tracker the web seed
// serves; a torrent that does not match its address is refused; the
// session keeps discovery off and opens no socket outside 127.0.0.0/8; a
// viewer whose other viewer holds the item takes little from the web seed;
// the upload cap holds for viewers on loopback.

#include "catalog.h"
#include "content_server.h"
#include "torrents.h"

#include "terminal/peer_terminal/terminal_paths.h"
#include "terminal/peer_terminal/terminal_service.h"
#include "terminal/peer_terminal/torrent_session.h"

#include "origin.h"
#include "web_seed.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <httplib.h>

#include <libtorrent/bdecode.hpp>
#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/hex.hpp>
#include <libtorrent/settings_pack.hpp>
#include <libtorrent/torrent_info.hpp>
#include <libtorrent/hasher.hpp>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <cstring>
#include <atomic>
#include <thread>

using namespace vantoli;
using namespace vantoli::terminal;
namespace lt = libtorrent;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

int freeTcpPort(const char *address) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &a.sin_addr);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

// Lines of a /proc/.../net table: local and remote address, state, inode.
struct SocketLine {
    std::string local, remote;
    int state = 0;
    unsigned long inode = 0;
};
std::vector<SocketLine> socketTable(const std::string &path) {
    std::vector<SocketLine> out;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line); // the heading
    while (std::getline(in, line)) {
        std::istringstream s(line);
        SocketLine l;
        std::string slot, st, queues, timer, retr, uid, timeout;
        s >> slot >> l.local >> l.remote >> st >> queues >> timer >> retr >> uid >> timeout >> l.inode;
        l.state = std::stoi(st, nullptr, 16);
        out.push_back(l);
    }
    return out;
}
// The address part of "0100007F:1F90" (IPv4) or a 32-digit IPv6 one, as text.
std::string addressOf(const std::string &field) {
    const std::string hex = field.substr(0, field.find(':'));
    char text[INET6_ADDRSTRLEN] = {};
    if (hex.size() == 8) {
        in_addr a{};
        a.s_addr = std::uint32_t(std::stoul(hex, nullptr, 16));
        ::inet_ntop(AF_INET, &a, text, sizeof text);
    } else {
        in6_addr a{};
        for (int word = 0; word < 4; ++word) {
            const std::uint32_t w = std::uint32_t(std::stoul(hex.substr(std::size_t(word) * 8, 8), nullptr, 16));
            std::memcpy(&a.s6_addr[word * 4], &w, 4);
        }
        ::inet_ntop(AF_INET6, &a, text, sizeof text);
    }
    return text;
}
int portOf(const std::string &field) {
    return std::stoi(field.substr(field.find(':') + 1), nullptr, 16);
}
bool isLoopbackOrUnset(const std::string &address) {
    return address.rfind("127.", 0) == 0 || address.rfind("::ffff:127.", 0) == 0 || address == "0.0.0.0";
}

// opentracker on 127.0.0.1 only, serving the whitelist of a data folder.
class Tracker {
public:
    explicit Tracker(const std::string &torrentsDir) {
        port_ = freeTcpPort("127.0.0.1");
        // It reads its whitelist after dropping to an unprivileged user.
        fs::permissions(torrentsDir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.setWorkingDirectory(QString::fromStdString(torrentsDir));
        // Started by a shell that ends it by its pid when its input closes:
        // when the test ends it, or when the test dies in any way (the
        // tracker itself drops to another user and would outlive it).
        const QString port = QString::number(port_);
        process_.start(QStringLiteral("/bin/sh"),
                       {"-c", "opentracker \"$@\" & t=$!; echo $t; read -r _; kill $t; wait $t", "sh", "-d",
                        QString::fromStdString(torrentsDir), "-w", "whitelist.txt", "-i", "127.0.0.1", "-p", port,
                        "-P", port});
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(5000))
            trackerPid_ = process_.readLine().trimmed().toInt();
    }
    ~Tracker() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000))
            process_.kill(); // the shell, ours
    }
    int pid() const { return trackerPid_; }
    // Listening sockets of the port in the tables: true when there is at
    // least one and every one is on 127.0.0.1.
    bool listensOnLoopbackOnly() const {
        for (int i = 0; i < 200; ++i) {
            int found = 0;
            bool elsewhere = false;
            for (const char *table : {"/proc/net/tcp", "/proc/net/udp", "/proc/net/tcp6", "/proc/net/udp6"}) {
                for (const auto &l : socketTable(table)) {
                    if (portOf(l.local) != port_ || !(l.state == 0x0A || l.state == 0x07))
                        continue;
                    ++found;
                    elsewhere |= addressOf(l.local) != "127.0.0.1";
                }
            }
            if (found >= 2)
                return !elsewhere;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::string announce() const { return "http://127.0.0.1:" + std::to_string(port_) + "/announce"; }
    bool running() const { return trackerPid_ > 0 && ::kill(trackerPid_, 0) == 0; }

private:
    int port_ = 0;
    int trackerPid_ = 0;
    QProcess process_;
};

std::string get(int port, const std::string &target, int *status = nullptr, const std::string &range = {}) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(15);
    httplib::Headers headers;
    if (!range.empty())
        headers.emplace("Range", range);
    const auto r = c.Get(target, headers);
    if (status)
        *status = r ? r->status : 0;
    return r ? r->body : std::string();
}

std::string query(const QString &value) {
    return QUrl::toPercentEncoding(value).toStdString();
}

class PeerTest : public ::testing::Test {
protected:
    // A film of one source and one episode whose media is `file` under
    // media/; returns its title id (0 when the catalog would not take it).
    int addFilm(const QString &name, const QString &file) {
        server::CatalogStore store;
        if (!store.open(dataDir_, true))
            return 0;
        server::Title t;
        t.name = name;
        t.sources = {{QStringLiteral("高清"), {{QStringLiteral("正片"), file, server::kPlayerKind}}}};
        return store.addTitle(t);
    }

    void SetUp() override {
        ASSERT_TRUE(data_.isValid());
        dataDir_ = data_.path().toStdString();
        fs::permissions(dataDir_, fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
        fs::create_directories(dataDir_ + "/media/v");
        media_ = test::patternBytes(6 * 1024 * 1024 + 4321, 3);
        std::ofstream(dataDir_ + "/media/v/film one.mp4", std::ios::binary) << media_;
        ASSERT_EQ(addFilm(QStringLiteral("片"), QStringLiteral("v/film one.mp4")), 1);
        ASSERT_EQ(server::makeTorrents(dataDir_, nullptr, nullptr), "");
        const auto torrents = server::listTorrents(dataDir_);
        ASSERT_EQ(torrents.size(), 1u);
        address_ = server::peerAddress(torrents[0].entry);
        hash_ = torrents[0].entry.infoHash;
    }
    void TearDown() override {
        terminals_.clear();
        stopServer();
    }

    void startServer(const std::string &tracker) {
        server::ServerOptions o;
        o.dataDir = dataDir_;
        o.port = 0;
        o.tracker = tracker;
        server_ = std::make_unique<server::ContentServer>(o);
        ASSERT_TRUE(server_->start()) << server_->error();
        serverThread_ = std::thread([this] { server_->run(); });
    }
    void stopServer() {
        if (server_)
            server_->stop();
        if (serverThread_.joinable())
            serverThread_.join();
        server_.reset();
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_->port()); }

    // A terminal whose session is on `address`.
    TerminalService &terminal(const std::string &address, int listenPort = 0,
                              std::int64_t cacheLimit = std::int64_t(4) << 30) {
        caches_.push_back(std::make_unique<QTemporaryDir>());
        TerminalConfig c;
        c.cacheFolder = caches_.back()->path();
        c.peer.address = address;
        c.peer.listenPort = listenPort;
        c.cacheLimitBytes = cacheLimit;
        terminals_.push_back(std::make_unique<TerminalService>(c));
        EXPECT_TRUE(terminals_.back()->start(0));
        return *terminals_.back();
    }
    std::string playTarget(const QString &server) const {
        return "/play?url=" + query(address_) + "&server=" + query(server);
    }
    QString cacheOf(std::size_t i) const { return caches_[i]->path(); }

    QTemporaryDir data_;
    std::string dataDir_;
    std::string media_;
    QString address_;
    std::string hash_;
    std::unique_ptr<server::ContentServer> server_;
    std::thread serverThread_;
    std::vector<std::unique_ptr<QTemporaryDir>> caches_;
    std::vector<std::unique_ptr<TerminalService>> terminals_;
};

// A torrent of `files` (name, size) with made-up piece hashes.
QByteArray makeTorrent(const std::vector<std::pair<std::string, std::int64_t>> &files, bool isPrivate,
                       std::string *hash) {
    lt::file_storage fsto;
    for (const auto &[name, size] : files)
        fsto.add_file(files.size() > 1 ? "dir/" + name : name, size);
    lt::create_torrent ct(fsto, 16 * 1024, lt::create_torrent::v1_only);
    for (int i = 0; i < ct.num_pieces(); ++i)
        ct.set_hash(lt::piece_index_t(i), lt::sha1_hash(std::string(20, char('a' + i % 20)).c_str()));
    ct.set_priv(isPrivate);
    ct.add_url_seed("http://127.0.0.1:9/x.mp4");
    const lt::entry e = ct.generate();
    std::vector<char> out;
    lt::bencode(std::back_inserter(out), e);
    std::vector<char> info;
    lt::bencode(std::back_inserter(info), e["info"]);
    *hash = lt::aux::to_hex(lt::hasher(info).final());
    return QByteArray(out.data(), qsizetype(out.size()));
}

} // namespace

TEST(PeerSessionSettings, DiscoveryIsOffAndOnlyTheOneAddressIsUsed) {
    PeerSettings s;
    s.address = "127.0.0.7";
    s.uploadRateLimit = 100 * 1024;
    TorrentSession session(s);
    // What the running session holds, not only what it was given.
    const lt::settings_pack p = session.currentSettings();
    EXPECT_FALSE(p.get_bool(lt::settings_pack::enable_dht));
    EXPECT_FALSE(p.get_bool(lt::settings_pack::enable_lsd));
    EXPECT_FALSE(p.get_bool(lt::settings_pack::enable_upnp));
    EXPECT_FALSE(p.get_bool(lt::settings_pack::enable_natpmp));
    EXPECT_FALSE(p.get_bool(lt::settings_pack::enable_incoming_utp));
    EXPECT_FALSE(p.get_bool(lt::settings_pack::enable_outgoing_utp));
    EXPECT_EQ(p.get_str(lt::settings_pack::dht_bootstrap_nodes), "");
    EXPECT_EQ(p.get_str(lt::settings_pack::listen_interfaces), "127.0.0.7:0");
    EXPECT_EQ(p.get_str(lt::settings_pack::outgoing_interfaces), "127.0.0.7");
    EXPECT_EQ(p.get_int(lt::settings_pack::upload_rate_limit), 100 * 1024);
    for (int i = 0; i < 100 && session.listenPort() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GT(session.listenPort(), 0);
}

TEST(PeerAddressAndTorrent, OnlyATorrentThatMatchesItsAddressIsTaken) {
    EXPECT_FALSE(parsePeerAddress(QStringLiteral("peer://10|abc|x.mp4|")));
    EXPECT_FALSE(parsePeerAddress(QStringLiteral("peer://10|") + QString(64, u'a') + QStringLiteral("|x.mp4|")));
    EXPECT_FALSE(parsePeerAddress(QStringLiteral("peer://10|") + QString(40, u'a') + QStringLiteral("|../x|")));
    EXPECT_FALSE(parsePeerAddress(QStringLiteral("peer://0|") + QString(40, u'a') + QStringLiteral("|x.mp4|")));
    const auto upper = parsePeerAddress(QStringLiteral("peer://10|") + QString(40, u'A') + QStringLiteral("|x.mp4|"));
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->infoHash, std::string(40, 'a'));

    std::string hash, otherHash, error;
    const QByteArray good = makeTorrent({{"film.mp4", 100000}}, true, &hash);
    const QByteArray other = makeTorrent({{"film.mp4", 100001}}, true, &otherHash);
    const auto ok = checkTorrent(good, {100000, hash, QStringLiteral("film.mp4")}, &error);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(ok->webSeeds, std::vector<std::string>{"http://127.0.0.1:9/x.mp4"});
    EXPECT_TRUE(ok->info->web_seeds().empty()); // the session adds it when it needs it

    EXPECT_FALSE(checkTorrent(other, {100000, hash, QStringLiteral("film.mp4")}, &error)) << "another hash";
    EXPECT_FALSE(checkTorrent(good, {100001, hash, QStringLiteral("film.mp4")}, &error)) << "another size";
    std::string publicHash, twoHash;
    const QByteArray open = makeTorrent({{"film.mp4", 100000}}, false, &publicHash);
    EXPECT_FALSE(checkTorrent(open, {100000, publicHash, QStringLiteral("film.mp4")}, &error));
    EXPECT_NE(error.find("private"), std::string::npos) << error;
    const QByteArray two = makeTorrent({{"a.mp4", 50000}, {"b.mp4", 50000}}, true, &twoHash);
    EXPECT_FALSE(checkTorrent(two, {100000, twoHash, QStringLiteral("dir")}, &error));
    EXPECT_FALSE(checkTorrent(good.left(good.size() - 3), {100000, hash, QStringLiteral("film.mp4")}, &error));
}

TEST_F(PeerTest, ASecondViewerGetsThePiecesFromTheFirst) {
    Tracker tracker(dataDir_ + "/torrents");
    ASSERT_TRUE(tracker.listensOnLoopbackOnly());
    startServer(tracker.announce());
    TerminalService &first = terminal("127.0.0.2");

    // The first viewer seeks to 80 % at once and gets verified bytes there.
    const std::int64_t at = std::int64_t(media_.size()) * 8 / 10;
    int status = 0;
    const auto t0 = Clock::now();
    std::string body = get(first.port(), playTarget(base()), &status,
                           "bytes=" + std::to_string(at) + "-" + std::to_string(at + 65535));
    EXPECT_EQ(status, 206);
    EXPECT_EQ(body, media_.substr(std::size_t(at), 65536));
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
    body = get(first.port(), playTarget(base()), &status);
    ASSERT_EQ(status, 200);
    ASSERT_TRUE(body == media_);
    const std::string status1 = get(first.port(), "/status?url=" + query(address_));
    EXPECT_NE(status1.find("\"state\":\"complete\""), std::string::npos) << status1;

    // The torrent as the server gives it, from somewhere else: after this
    // the content server and its web seed are gone.
    const std::string torrent = get(server_->port(), "/torrent/" + hash_ + ".torrent");
    ASSERT_FALSE(torrent.empty());
    test::Origin origin;
    origin.add("/torrent/" + hash_ + ".torrent", torrent);
    stopServer();

    TerminalService &second = terminal("127.0.0.3");
    body = get(second.port(), playTarget(QString::fromStdString(origin.url("/"))), &status);
    ASSERT_EQ(status, 200);
    EXPECT_TRUE(body == media_) << "bytes differ";
    const std::string status2 = get(second.port(), "/status?url=" + query(address_));
    EXPECT_NE(status2.find("\"state\":\"complete\""), std::string::npos) << status2;
    // The file in the second cache is the item, under the address's name.
    QFile file(QDir(cacheOf(1)).filePath(QStringLiteral("film one.mp4")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().toStdString() == media_);
    // The first viewer uploaded to the second.
    EXPECT_TRUE(tracker.running());
}

TEST_F(PeerTest, WithoutTrackerOrSessionTheWebSeedServes) {
    // A tracker that is not there: the web seed alone serves the item.
    startServer("http://127.0.0.1:" + std::to_string(freeTcpPort("127.0.0.1")) + "/announce");
    TerminalService &lonely = terminal("127.0.0.4");
    int status = 0;
    std::string body = get(lonely.port(), playTarget(base()), &status);
    ASSERT_EQ(status, 200);
    EXPECT_TRUE(body == media_);
    const std::string st = get(lonely.port(), "/status?url=" + query(address_));
    EXPECT_NE(st.find("\"state\":\"complete\""), std::string::npos) << st;

    // A session that cannot listen (its port is taken): plain http from the
    // web seed, as an http item of its own.
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.5", &a.sin_addr);
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    socklen_t len = sizeof a;
    ::getsockname(taken, reinterpret_cast<sockaddr *>(&a), &len);
    TerminalService &blocked = terminal("127.0.0.5", ntohs(a.sin_port));
    body = get(blocked.port(), playTarget(base()), &status, "bytes=100-199");
    EXPECT_EQ(status, 206);
    EXPECT_EQ(body, media_.substr(100, 100));
    const std::string webSeed = base().toStdString() + "media/v/film%20one.mp4";
    const std::string plain = get(blocked.port(), "/status?url=" + query(QString::fromStdString(webSeed)));
    EXPECT_EQ(plain.find("unknown"), std::string::npos) << plain;
    ::close(taken);

    // An item larger than the whole cache: the session would store all of
    // it, so the web seed serves it as an http item, stored up to the limit.
    TerminalService &small = terminal("127.0.0.7", 0, 1 << 20);
    body = get(small.port(), playTarget(base()), &status);
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(body == media_);
    const std::string webSeedStatus = get(small.port(), "/status?url=" + query(QString::fromStdString(webSeed)));
    EXPECT_NE(webSeedStatus.find("\"bytes\":1048576"), std::string::npos) << webSeedStatus;
    const QStringList files = QDir(cacheOf(2)).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{QStringLiteral("film one.mp4")});
    EXPECT_EQ(QFileInfo(QDir(cacheOf(2)).filePath(QStringLiteral("film one.mp4"))).size(), 1 << 20);

    // No torrent and no web seed known: the player is told so.
    TerminalService &nothing = terminal("127.0.0.6");
    get(nothing.port(), playTarget(QStringLiteral("http://127.0.0.1:9/")), &status);
    EXPECT_EQ(status, 502);
}

TEST_F(PeerTest, AForgedTorrentIsRefusedAndLeavesNoFile) {
    test::Origin origin;
    const QString forgedServer = QString::fromStdString(origin.url("/"));
    const auto address = parsePeerAddress(address_);
    ASSERT_TRUE(address);
    std::string otherHash;
    // Each is served as the address's torrent.
    const std::vector<QByteArray> forged = {
        makeTorrent({{"film one.mp4", address->size}}, true, &otherHash),      // another info-hash
        makeTorrent({{"film one.mp4", address->size}}, false, &otherHash),     // not private
        makeTorrent({{"a.mp4", 1000}, {"b.mp4", address->size - 1000}}, true, &otherHash), // two files
    };
    TerminalService &t = terminal("127.0.0.8");
    for (const QByteArray &bytes : forged) {
        origin.add("/torrent/" + hash_ + ".torrent", bytes.toStdString());
        int status = 0;
        const std::string body = get(t.port(), playTarget(forgedServer), &status);
        EXPECT_EQ(status, 502);
        EXPECT_NE(body.find("refused"), std::string::npos) << body;
    }
    // An address whose size is not the torrent's: the real torrent is refused.
    startServer("http://127.0.0.1:9/announce");
    const QString wrongSize = QStringLiteral("peer://%1|%2|film one.mp4|").arg(address->size + 1).arg(QString::fromStdString(hash_));
    int status = 0;
    get(t.port(), "/play?url=" + query(wrongSize) + "&server=" + query(base()), &status);
    EXPECT_EQ(status, 502);
    EXPECT_TRUE(QDir(cacheOf(0)).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << QDir(cacheOf(0)).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString();
}

TEST_F(PeerTest, TheProgramOpensNoSocketOutsideLoopback) {
    Tracker tracker(dataDir_ + "/torrents");
    ASSERT_TRUE(tracker.listensOnLoopbackOnly());
    startServer(tracker.announce());
    QTemporaryDir runtime, player, home;
    QFile cfg(QDir(player.path()).filePath("PeerCfg.ini"));
    ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
    cfg.write("[NBPEERTERMINAL]\r\ndefaultsavepath=" + QFile::encodeName(QDir(home.path()).filePath("cache/")) +
              "\r\nlistenaddress=127.0.0.9\r\n");
    cfg.close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("HOME", home.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(PEER_TERMINAL_BINARY), {"--player-folder", player.path()});
    ASSERT_TRUE(p.waitForStarted(5000));
    PortFile port;
    for (int i = 0; i < 500 && port.port == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        port = readPortFile(QDir(runtime.path()).filePath("vantoli-PeerTerminal.port"));
    }
    ASSERT_GT(port.port, 0);
    // A viewer for it to talk to.
    TerminalService &other = terminal("127.0.0.10");
    int status = 0;
    ASSERT_EQ(get(other.port(), playTarget(base()), &status), media_);

    // Play while another thread looks at the program's sockets.
    const std::string pid = std::to_string(p.processId());
    std::set<std::string> seen;
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            std::set<unsigned long> inodes;
            for (const auto &e : fs::directory_iterator("/proc/" + pid + "/fd", fs::directory_options::skip_permission_denied)) {
                std::error_code ec;
                const std::string target = fs::read_symlink(e.path(), ec).string();
                if (!ec && target.rfind("socket:[", 0) == 0)
                    inodes.insert(std::stoul(target.substr(8)));
            }
            for (const char *table : {"tcp", "udp", "tcp6", "udp6"}) {
                for (const auto &l : socketTable("/proc/" + pid + "/net/" + table)) {
                    if (inodes.count(l.inode))
                        seen.insert(std::string(table) + " " + addressOf(l.local) + " " + addressOf(l.remote));
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const std::string target = "/play?t=" + port.token.toStdString() + "&url=" + query(address_) + "&server=" + query(base());
    const std::string body = get(port.port, target, &status);
    done = true;
    watcher.join();
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(body == media_);
    ::kill(pid_t(p.processId()), SIGTERM);
    EXPECT_TRUE(p.waitForFinished(10000));

    ASSERT_FALSE(seen.empty());
    bool sessionListens = false;
    for (const std::string &s : seen) {
        std::istringstream in(s);
        std::string table, local, remote;
        in >> table >> local >> remote;
        EXPECT_TRUE(isLoopbackOrUnset(local) && local != "0.0.0.0") << s;
        EXPECT_TRUE(isLoopbackOrUnset(remote)) << s;
        sessionListens |= local == "127.0.0.9";
    }
    EXPECT_TRUE(sessionListens);
}

TEST_F(PeerTest, ACompleteItemIsServedFromTheCacheAfterARestartWhileItIsStillOurs) {
    startServer("http://127.0.0.1:9/announce");
    int status = 0;
    ASSERT_TRUE(get(terminal("127.0.0.12").port(), playTarget(base()), &status) == media_);
    terminals_.clear(); // ends the session; the record keeps the file as it left it
    const QString torrentsGone = QStringLiteral("http://127.0.0.1:9/");
    stopServer();

    TerminalConfig c;
    c.cacheFolder = cacheOf(0);
    c.peer.address = "127.0.0.12";
    {
        TerminalService again(c);
        ASSERT_TRUE(again.start(0));
        const std::string body = get(again.port(), playTarget(torrentsGone), &status, "bytes=1000-1999");
        EXPECT_EQ(status, 206);
        EXPECT_EQ(body, media_.substr(1000, 1000));
    }

    // The user's own file took the name: neither served nor touched.
    const QString path = QDir(cacheOf(0)).filePath(QStringLiteral("film one.mp4"));
    ASSERT_TRUE(QFile::remove(path));
    {
        QFile mine(path);
        ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
        mine.write(QByteArray(qsizetype(media_.size()), 'u'));
    }
    {
        TerminalService again(c);
        ASSERT_TRUE(again.start(0));
        get(again.port(), playTarget(torrentsGone), &status);
        EXPECT_EQ(status, 502);
    }
    QFile mine(path);
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), QByteArray(qsizetype(media_.size()), 'u'));
}

TEST_F(PeerTest, CachedItemsAreSeededAgainAfterARestart) {
    Tracker tracker(dataDir_ + "/torrents");
    ASSERT_TRUE(tracker.listensOnLoopbackOnly());
    startServer(tracker.announce());
    int status = 0;
    ASSERT_TRUE(get(terminal("127.0.0.13").port(), playTarget(base()), &status) == media_);
    terminals_.clear();

    TerminalConfig c;
    c.cacheFolder = cacheOf(0);
    c.peer.address = "127.0.0.13";
    TerminalService again(c);
    ASSERT_TRUE(again.start(0));
    // Nobody plays it: it is back in the session by itself, checked whole.
    const auto seeded = [&] {
        const TorrentSession *session = again.torrentSession(); // made by the first peer item
        return session && session->status(hash_).complete;
    };
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (!seeded() && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(seeded());

    const std::string torrent = get(server_->port(), "/torrent/" + hash_ + ".torrent");
    test::Origin origin;
    origin.add("/torrent/" + hash_ + ".torrent", torrent);
    stopServer();
    const std::string body = get(terminal("127.0.0.14").port(), playTarget(QString::fromStdString(origin.url("/"))), &status);
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(body == media_);
}

TEST_F(PeerTest, TheUploadCapHoldsForViewersOnTheSameNetwork) {
    Tracker tracker(dataDir_ + "/torrents");
    ASSERT_TRUE(tracker.listensOnLoopbackOnly());
    startServer(tracker.announce());
    // A seeder capped at 2 MiB/s; loopback peers are in libtorrent's local
    // class, which a plain cap leaves unlimited.
    caches_.push_back(std::make_unique<QTemporaryDir>());
    TerminalConfig c;
    c.cacheFolder = caches_.back()->path();
    c.peer.address = "127.0.0.15";
    c.peer.uploadRateLimit = 2 << 20;
    terminals_.push_back(std::make_unique<TerminalService>(c));
    ASSERT_TRUE(terminals_.back()->start(0));
    int status = 0;
    ASSERT_TRUE(get(terminals_.back()->port(), playTarget(base()), &status) == media_);

    // Only the seeder has it now.
    const std::string torrent = get(server_->port(), "/torrent/" + hash_ + ".torrent");
    test::Origin origin;
    origin.add("/torrent/" + hash_ + ".torrent", torrent);
    stopServer();
    TerminalService &second = terminal("127.0.0.16");
    const auto t0 = Clock::now();
    const std::string body = get(second.port(), playTarget(QString::fromStdString(origin.url("/"))), &status);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(body == media_);
    // About 6 MiB at 2 MiB/s (the cap's first second may go faster).
    EXPECT_GT(seconds, 1.8) << "the cap did not hold";
}

TEST_F(PeerTest, AViewerWhoseOtherViewerHoldsTheItemTakesLittleFromTheWebSeed) {
    // An item large enough that what the web seed is asked for before the
    // tracker answers (requests go out at loopback speed) stays a small part.
    const std::string big = test::patternBytes(32 << 20, 9);
    std::ofstream(dataDir_ + "/media/v/film two.mp4", std::ios::binary) << big;
    ASSERT_GT(addFilm(QStringLiteral("片二"), QStringLiteral("v/film two.mp4")), 0);
    ASSERT_EQ(server::makeTorrents(dataDir_, nullptr, nullptr), "");
    QString address;
    for (const auto &torrent : server::listTorrents(dataDir_)) {
        if (torrent.entry.path == QStringLiteral("v/film two.mp4"))
            address = server::peerAddress(torrent.entry);
    }
    ASSERT_FALSE(address.isEmpty());
    Tracker tracker(dataDir_ + "/torrents");
    ASSERT_TRUE(tracker.listensOnLoopbackOnly());
    startServer(tracker.announce());
    // Its web seed at 16 MB/s, as a content server far away would be: not
    // faster than the tracker's answer on a loaded machine. The torrent is
    // the server's with that web seed (the info-hash does not change).
    test::WebSeed seed((QDir(data_.path()).filePath("seed.mp4")).toStdString(), big, 16 * 1000 * 1000);
    const std::string hash = parsePeerAddress(address)->infoHash;
    const std::string served = get(server_->port(), "/torrent/" + hash + ".torrent");
    lt::error_code ec;
    const lt::bdecode_node node = lt::bdecode(lt::span<char const>(served.data(), long(served.size())), ec);
    ASSERT_FALSE(ec);
    lt::entry torrent;
    torrent = node;
    torrent["url-list"] = seed.url();
    std::string torrentBytes;
    lt::bencode(std::back_inserter(torrentBytes), torrent);
    test::Origin origin;
    origin.add("/torrent/" + hash + ".torrent", torrentBytes);
    const std::string target = "/play?url=" + query(address) + "&server=" + query(QString::fromStdString(origin.url("/")));
    int status = 0;
    ASSERT_TRUE(get(terminal("127.0.0.17").port(), target, &status) == big);
    EXPECT_GE(seed.bytesSent, std::int64_t(big.size())); // alone, from the web seed

    // The second viewer is named the first one, which holds every piece:
    // the web seed sends it no more than before the tracker's answer.
    // It is read at a player's pace (16 MB/s), not as fast as it comes: a
    // reader that is always short of bytes ahead gets the web seed too,
    // should the other viewer be slow (as on a loaded machine).
    seed.bytesSent = 0;
    httplib::Client player("127.0.0.1", terminal("127.0.0.18").port());
    player.set_read_timeout(30);
    std::string body;
    const auto start = Clock::now();
    const auto played = player.Get(target, [&](const char *data, std::size_t n) {
        body.append(data, n);
        std::this_thread::sleep_until(start + std::chrono::microseconds(std::int64_t(body.size()) / 16));
        return true;
    });
    ASSERT_TRUE(played);
    EXPECT_EQ(played->status, 200);
    EXPECT_TRUE(body == big);
    EXPECT_LT(seed.bytesSent, std::int64_t(big.size()) / 4);
}
