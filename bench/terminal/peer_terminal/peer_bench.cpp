// Peer items on loopback: N viewers (terminals on 127.0.0.20 and up) start
// one item within a few seconds of each other and read it to the end at a
// player's pace; the web seed (the content server's media URL, here an
// origin that counts what it sends, 8 MB/s per connection) and
// opentracker serve them. Reports what the web seed sent as a multiple of
// the item's size (plain http: N by construction), the time to the first
// 2 MiB with the web seed as the only source, against plain http through
// the terminal, and a seek to 80 % of an item not yet downloaded.
//
//   peer_bench [SIZE_MIB=64] [RUNS=3] [PACE_MIB_S=4] [VIEWERS=2,5,10]

#include "origin.h"

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

// Reads target from `port` at `pace` bytes a second; false when the bytes differ.
bool playThrough(int port, const std::string &target, const std::string &expect, double pace) {
    httplib::Client c("127.0.0.1", port);
    c.set_read_timeout(120);
    std::size_t got = 0;
    bool same = true;
    const auto start = Clock::now();
    const auto res = c.Get(target, [&](const char *data, std::size_t n) {
        same &= expect.compare(got, n, data, n) == 0;
        got += n;
        const double due = double(got) / pace;
        const double now = secondsSince(start);
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

} // namespace

int main(int argc, char **argv) {
    const std::size_t size = std::size_t(argc > 1 ? std::atoi(argv[1]) : 64) << 20;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const double pace = double(argc > 3 ? std::atof(argv[3]) : 4) * 1024 * 1024;
    std::vector<int> counts = {2, 5, 10};
    if (argc > 4) {
        counts.clear();
        for (const QString &n : QString::fromLatin1(argv[4]).split(u','))
            counts.push_back(n.toInt());
    }
    const BenchItem item = makeItem(size);
    std::printf("item %zu MiB, viewers read at %.1f MiB/s, web seed 8 MB/s per connection, %d runs\n", size >> 20,
                pace / 1048576, runs);

    for (const int n : counts) {
        std::vector<double> ratios;
        for (int run = 0; run < runs; ++run) {
            QTemporaryDir dir;
            test::Origin origin;
            origin.rate = 8 * 1000 * 1000;
            Tracker tracker(dir.path(), item.hash);
            origin.add("/media/film.mp4", item.bytes);
            origin.add("/torrent/" + item.hash + ".torrent",
                       torrentFile(item, tracker.announce(), origin.url("/media/film.mp4")));
            std::vector<std::unique_ptr<TerminalService>> viewers;
            for (int i = 0; i < n; ++i) {
                TerminalConfig c;
                c.cacheFolder = QDir(dir.path()).filePath(QStringLiteral("viewer%1").arg(i));
                c.peer.address = "127.0.0." + std::to_string(20 + i);
                viewers.push_back(std::make_unique<TerminalService>(c));
                viewers.back()->start(0);
            }
            const std::string target = "/play?url=" + enc(peerAddress(item)) + "&server=" + enc(origin.url("/"));
            std::vector<std::thread> players;
            std::atomic<int> failed{0};
            for (int i = 0; i < n; ++i) {
                players.emplace_back([&, i] {
                    // Starts spread over the first few seconds.
                    std::this_thread::sleep_for(std::chrono::milliseconds(i * 4000 / n));
                    if (!playThrough(viewers[std::size_t(i)]->port(), target, item.bytes, pace))
                        ++failed;
                });
            }
            for (auto &t : players)
                t.join();
            const auto torrentBytes = std::int64_t(torrentFile(item, tracker.announce(), origin.url("/media/film.mp4")).size()) * n;
            ratios.push_back(double(origin.bytesSent - torrentBytes) / double(size));
            std::printf("  %2d viewers, run %d: web seed sent %.2fx the item%s\n", n, run + 1, ratios.back(),
                        failed ? " (a viewer failed)" : "");
            std::fflush(stdout);
        }
        std::printf("%2d viewers: median %.2fx (plain http: %dx)\n", n, median(ratios), n);
    }

    // First bytes with the web seed as the only source, against plain http
    // through the terminal; a seek to 80 % of an item not yet downloaded.
    std::vector<double> peerFirst, httpFirst, seek;
    for (int run = 0; run < std::max(runs, 3); ++run) {
        QTemporaryDir dir;
        test::Origin origin;
        origin.rate = 8 * 1000 * 1000;
        origin.add("/media/film.mp4", item.bytes);
        origin.add("/torrent/" + item.hash + ".torrent",
                   torrentFile(item, "http://127.0.0.1:9/announce", origin.url("/media/film.mp4")));
        TerminalConfig c;
        c.cacheFolder = QDir(dir.path()).filePath("a");
        c.peer.address = "127.0.0.40";
        TerminalService peer(c);
        peer.start(0);
        const std::string target = "/play?url=" + enc(peerAddress(item)) + "&server=" + enc(origin.url("/"));
        peerFirst.push_back(firstBytes(peer.port(), target, 0, 2 << 20));
        c.cacheFolder = QDir(dir.path()).filePath("b");
        c.peer.address = "127.0.0.41";
        TerminalService http(c);
        http.start(0);
        httpFirst.push_back(firstBytes(http.port(), "/play?url=" + enc(origin.url("/media/film.mp4")), 0, 2 << 20));
        c.cacheFolder = QDir(dir.path()).filePath("c");
        c.peer.address = "127.0.0.42";
        TerminalService seeker(c);
        seeker.start(0);
        seek.push_back(firstBytes(seeker.port(), target, size * 8 / 10, 1 << 20));
        std::printf("  run %d: first 2 MiB %.3f s (peer) %.3f s (http), seek %.3f s\n", run + 1, peerFirst.back(),
                    httpFirst.back(), seek.back());
    }
    std::printf("first 2 MiB: peer item, web seed only %.3f s; plain http through the terminal %.3f s (medians)\n",
                median(peerFirst), median(httpFirst));
    std::printf("seek to 80 %% of an item not yet downloaded, first 1 MiB: %.3f s (median)\n", median(seek));
    return 0;
}
