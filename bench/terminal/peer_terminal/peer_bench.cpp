// Peer items on loopback: N viewers (terminals on 127.0.0.20 and up) start
// one item within a few seconds of each other and read it to the end at a
// player's pace; the web seed (the content server's HTTP layer behind a
// relay that counts what it sends, 8 MB/s per connection) and opentracker
// serve them. Reports what the web seed sent as a multiple of the item's
// size (plain http: N by construction) and how far a viewer fell behind
// its pace at most; the time to the first 2 MiB with the web seed as the only source,
// against plain http through the terminal, and a seek to 80 % of an item
// not yet downloaded; the memory of the PeerTerminal program while it
// serves one stream to a player and two other viewers.
//
//   peer_bench [SIZE_MIB=64] [RUNS=3] [PACE_MIB_S=4] [VIEWERS=2,5,10] [PARTS=share,first,memory]

#include "origin.h"
#include "web_seed.h"

#include "terminal/peer_terminal/terminal_paths.h"
#include "terminal/peer_terminal/terminal_service.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <libtorrent/bencode.hpp>
#include <libtorrent/create_torrent.hpp>
#include <libtorrent/hasher.hpp>
#include <libtorrent/hex.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace vantoli;
using namespace vantoli::terminal;
namespace lt = libtorrent;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// The item, its torrent's info dictionary and hash.
struct BenchItem {
    std::string bytes;
    std::vector<char> info;
    std::string hash;
};

BenchItem makeItem(std::size_t size) {
    BenchItem item;
    item.bytes = test::patternBytes(size, 5);
    lt::file_storage fs;
    fs.add_file("film.mp4", std::int64_t(size));
    lt::create_torrent ct(fs, 0, lt::create_torrent::v1_only);
    for (int i = 0; i < ct.num_pieces(); ++i) {
        const std::size_t at = std::size_t(i) * std::size_t(ct.piece_length());
        const std::size_t n = std::min<std::size_t>(std::size_t(ct.piece_length()), size - at);
        ct.set_hash(lt::piece_index_t(i), lt::hasher(item.bytes.data() + at, int(n)).final());
    }
    ct.set_priv(true);
    const lt::entry e = ct.generate();
    lt::bencode(std::back_inserter(item.info), e["info"]);
    item.hash = lt::aux::to_hex(lt::hasher(item.info).final());
    return item;
}

std::string torrentFile(const BenchItem &item, const std::string &tracker, const std::string &seed) {
    const auto str = [](const std::string &s) { return std::to_string(s.size()) + ':' + s; };
    return "d8:announce" + str(tracker) + "4:info" + std::string(item.info.begin(), item.info.end()) + "8:url-list" +
           str(seed) + "e";
}

// opentracker on 127.0.0.1, ended with its shell when this ends.
class Tracker {
public:
    Tracker(const QString &folder, const std::string &hash) : port_(freePort()) {
        QFile list(QDir(folder).filePath("whitelist.txt"));
        list.open(QIODevice::WriteOnly);
        list.write(QByteArray::fromStdString(hash + "\n"));
        list.close();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                          QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
        QFile::setPermissions(list.fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
        process_.setWorkingDirectory(folder);
        const QString port = QString::number(port_);
        process_.start("/bin/sh", {"-c", "opentracker \"$@\" 2>/dev/null & t=$!; read -r _; kill $t; wait $t 2>/dev/null",
                                   "sh", "-d", folder, "-w", "whitelist.txt", "-i", "127.0.0.1", "-p", port, "-P", port});
        process_.waitForStarted();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Tracker() {
        process_.closeWriteChannel();
        process_.waitForFinished(5000);
    }
    std::string announce() const { return "http://127.0.0.1:" + std::to_string(port_) + "/announce"; }

private:
    int port_;
    QProcess process_;
};

std::string peerAddress(const BenchItem &item) {
    return "peer://" + std::to_string(item.bytes.size()) + "|" + item.hash + "|film.mp4|";
}

std::string enc(const std::string &s) {
    return QUrl::toPercentEncoding(QString::fromStdString(s)).toStdString();
}

// Reads target from `port` at `pace` bytes a second; false when the bytes
// differ. *late: the most seconds its reading fell behind the pace (what a
// player without a buffer of its own would have stalled, all told).
bool playThrough(int port, const std::string &target, const std::string &expect, double pace, double *late) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(120);
    std::size_t got = 0;
    bool same = true;
    *late = 0;
    const auto start = Clock::now();
    const auto res = c.Get(target, [&](const char *data, std::size_t n) {
        same &= expect.compare(got, n, data, n) == 0;
        const double now = secondsSince(start);
        *late = std::max(*late, now - double(got) / pace);
        got += n;
        const double due = double(got) / pace;
        if (due > now)
            std::this_thread::sleep_for(std::chrono::duration<double>(due - now));
        return true;
    });
    return res && got == expect.size() && same;
}

// Seconds to the first `bytes` of target from offset.
double firstBytes(int port, const std::string &target, std::size_t offset, std::size_t bytes) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(60);
    const auto start = Clock::now();
    const auto res = c.Get(target, {{"Range", "bytes=" + std::to_string(offset) + "-" + std::to_string(offset + bytes - 1)}});
    return res && res->body.size() == bytes ? secondsSince(start) : -1;
}

// Proportional and resident memory of a process, KiB.
std::pair<long, long> memoryOf(qint64 pid) {
    long pss = 0, rss = 0;
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (rollup.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : rollup.readAll().split('\n')) {
            if (line.startsWith("Pss:"))
                pss = line.mid(4).trimmed().split(' ').value(0).toLong();
            else if (line.startsWith("Rss:"))
                rss = line.mid(4).trimmed().split(' ').value(0).toLong();
        }
    }
    return {pss, rss};
}

struct Setup {
    QTemporaryDir dir;
    test::Origin origin; // the torrent file
    std::unique_ptr<test::WebSeed> seed;
    std::unique_ptr<Tracker> tracker;
    std::string target;
    std::string torrent;

    Setup(const BenchItem &item, bool withTracker) {
        seed = std::make_unique<test::WebSeed>(QDir(dir.path()).filePath("film.mp4").toStdString(), item.bytes,
                                                8 * 1000 * 1000);
        std::string announce = "http://127.0.0.1:9/announce";
        if (withTracker) {
            tracker = std::make_unique<Tracker>(dir.path(), item.hash);
            announce = tracker->announce();
        }
        torrent = torrentFile(item, announce, seed->url());
        origin.add("/torrent/" + item.hash + ".torrent", torrent);
        target = "/play?url=" + enc(peerAddress(item)) + "&server=" + enc(origin.url("/"));
    }
    std::unique_ptr<TerminalService> viewer(const QString &name, const std::string &address) {
        TerminalConfig c;
        c.cacheFolder = QDir(dir.path()).filePath(name);
        c.peer.address = address;
        auto t = std::make_unique<TerminalService>(c);
        t->start(0);
        return t;
    }
};

} // namespace

int main(int argc, char **argv) {
    const std::size_t size = std::size_t(argc > 1 ? std::atoi(argv[1]) : 64) << 20;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const double pace = double(argc > 3 ? std::atof(argv[3]) : 4) * 1024 * 1024;
    std::vector<int> counts = {2, 5, 10};
    if (argc > 4) {
        counts.clear();
        for (const QString &n : QString::fromLatin1(argv[4]).split(u',', Qt::SkipEmptyParts))
            if (n.toInt() > 0)
                counts.push_back(n.toInt());
    }
    const QString parts = argc > 5 ? QString::fromLatin1(argv[5]) : QStringLiteral("share,first,memory");
    const BenchItem item = makeItem(size);
    std::printf("item %zu MiB, viewers read at %.1f MiB/s, web seed 8 MB/s per connection, %d runs\n", size >> 20,
                pace / 1048576, runs);

    for (const int n : parts.contains("share") ? counts : std::vector<int>{}) {
        std::vector<double> ratios, lates;
        for (int run = 0; run < runs; ++run) {
            Setup setup(item, true);
            std::vector<std::unique_ptr<TerminalService>> viewers;
            for (int i = 0; i < n; ++i)
                viewers.push_back(setup.viewer(QStringLiteral("viewer%1").arg(i), "127.0.0." + std::to_string(20 + i)));
            std::vector<std::thread> players;
            std::atomic<int> failed{0};
            std::vector<double> late(std::size_t(n), 0);
            for (int i = 0; i < n; ++i) {
                players.emplace_back([&, i] {
                    // Starts spread over the first few seconds.
                    std::this_thread::sleep_for(std::chrono::milliseconds(i * 4000 / n));
                    if (!playThrough(viewers[std::size_t(i)]->port(), setup.target, item.bytes, pace,
                                     &late[std::size_t(i)]))
                        ++failed;
                });
            }
            for (auto &t : players)
                t.join();
            ratios.push_back(double(setup.seed->bytesSent) / double(size));
            lates.push_back(*std::max_element(late.begin(), late.end()));
            std::printf("  %2d viewers, run %d: web seed sent %.2fx the item; a viewer fell %.2f s behind at most%s\n",
                        n, run + 1, ratios.back(), lates.back(), failed ? " (a viewer failed)" : "");
            std::fflush(stdout);
        }
        std::printf("%2d viewers: median %.2fx (plain http: %dx), falling behind at most %.2f s (median)\n", n,
                    median(ratios), n, median(lates));
    }

    // First bytes with the web seed as the only source, against plain http
    // through the terminal; a seek to 80 % of an item not yet downloaded.
    if (parts.contains("first")) {
        std::vector<double> peerFirst, httpFirst, seek;
        for (int run = 0; run < std::max(runs, 3); ++run) {
            Setup setup(item, false);
            auto peer = setup.viewer("a", "127.0.0.40");
            peerFirst.push_back(firstBytes(peer->port(), setup.target, 0, 2 << 20));
            auto http = setup.viewer("b", "127.0.0.41");
            httpFirst.push_back(firstBytes(http->port(), "/play?url=" + enc(setup.seed->url()), 0, 2 << 20));
            auto seeker = setup.viewer("c", "127.0.0.42");
            seek.push_back(firstBytes(seeker->port(), setup.target, size * 8 / 10, 1 << 20));
            std::printf("  run %d: first 2 MiB %.3f s (peer) %.3f s (http), seek %.3f s\n", run + 1, peerFirst.back(),
                        httpFirst.back(), seek.back());
            std::fflush(stdout);
        }
        std::printf("first 2 MiB: peer item, web seed only %.3f s; plain http through the terminal %.3f s (medians)\n",
                    median(peerFirst), median(httpFirst));
        std::printf("seek to 80 %% of an item not yet downloaded, first 1 MiB: %.3f s (median)\n", median(seek));
    }

    // The PeerTerminal program serving one stream to a player and two
    // viewers that start after it: its memory while they play.
    if (parts.contains("memory")) {
        Setup setup(item, true);
        QTemporaryDir runtime, player, home;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile cfg(QDir(player.path()).filePath("PeerCfg.ini"));
        cfg.open(QIODevice::WriteOnly);
        cfg.write("[NBPEERTERMINAL]\r\ndefaultsavepath=" + QFile::encodeName(QDir(home.path()).filePath("cache/")) +
                  "\r\nlistenaddress=127.0.0.50\r\n");
        cfg.close();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", QDir(home.path()).filePath(".config"));
        env.remove("XDG_VIDEOS_DIR");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(PEER_TERMINAL_BINARY), {"--player-folder", player.path()});
        program.waitForStarted(5000);
        PortFile port;
        for (int i = 0; i < 500 && port.port == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            port = readPortFile(QDir(runtime.path()).filePath("vantoli-PeerTerminal.port"));
        }
        const auto idle = memoryOf(program.processId());
        std::atomic<bool> done{false};
        std::vector<std::pair<long, long>> samples;
        std::thread sampler([&] {
            while (!done) {
                samples.push_back(memoryOf(program.processId()));
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        std::vector<std::unique_ptr<TerminalService>> peers;
        peers.push_back(setup.viewer("p1", "127.0.0.51"));
        peers.push_back(setup.viewer("p2", "127.0.0.52"));
        std::vector<std::thread> players;
        double late[3] = {};
        bool ok[3] = {};
        players.emplace_back([&] {
            ok[0] = playThrough(port.port, setup.target.substr(0, 6) + "t=" + port.token.toStdString() + "&" +
                                               setup.target.substr(6),
                                item.bytes, pace, &late[0]);
        });
        for (int i = 0; i < 2; ++i) {
            players.emplace_back([&, i] {
                std::this_thread::sleep_for(std::chrono::seconds(2 + i));
                ok[i + 1] = playThrough(peers[std::size_t(i)]->port(), setup.target, item.bytes, pace, &late[i + 1]);
            });
        }
        for (auto &t : players)
            t.join();
        done = true;
        sampler.join();
        const std::string uploaded = [&] {
            httplib::Client c("127.0.0.1", port.port);
            const auto r = c.Get("/status?t=" + port.token.toStdString() + "&url=" + enc(peerAddress(item)));
            return r ? r->body : std::string();
        }();
        program.terminate();
        program.waitForFinished(10000);
        long peakPss = 0, peakRss = 0;
        std::vector<double> pss;
        for (const auto &[p, r] : samples) {
            peakPss = std::max(peakPss, p);
            peakRss = std::max(peakRss, r);
            pss.push_back(double(p));
        }
        std::printf("PeerTerminal serving a player and two viewers: PSS median %.1f MiB, peak %.1f MiB; RSS peak %.1f "
                    "MiB (idle before: PSS %.1f MiB)%s; web seed sent %.2fx\n",
                    median(pss) / 1024, double(peakPss) / 1024, double(peakRss) / 1024, double(idle.first) / 1024,
                    ok[0] && ok[1] && ok[2] ? "" : " (a reader failed)", double(setup.seed->bytesSent) / double(size));
        std::printf("  its status at the end: %s\n", uploaded.c_str());
    }
    return 0;
}
