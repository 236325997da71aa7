// Requests per second for the episode lookup and for a range request on a
// media file, and how the server fares under two attacks (huge header blocks,
// slow headers), against an in-process server on 127.0.0.1.
//
//   server_bench [seconds per case, default 5] [client threads, default 4]

#include "catalog.h"
#include "content_server.h"

#include <httplib.h>

#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

using namespace vantoli::server;

namespace {

struct Result {
    double perSecond = 0;
    long failures = 0;
};

Result run(int port, int threads, double seconds,
           const std::function<bool(httplib::Client &, std::mt19937 &)> &request) {
    std::atomic<long> done{0}, failed{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            httplib::Client c("127.0.0.1", port);
            c.set_keep_alive(true);
            c.set_tcp_nodelay(true);
            std::mt19937 rng{unsigned(t)};
            while (!stop) {
                if (request(c, rng))
                    ++done;
                else
                    ++failed;
            }
        });
    }
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto &th : pool)
        th.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {double(done) / elapsed, failed};
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Resident memory of this process (client and server), in MiB.
double residentMiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// `clients` connections each send a header block of `bytes` at full speed,
// then read whatever reply comes.
void headerFlood(int port, int clients, size_t bytes) {
    std::vector<std::thread> pool;
    for (int c = 0; c < clients; ++c) {
        pool.emplace_back([port, bytes] {
            const int fd = connectTo(port);
            if (fd < 0)
                return;
            timeval tv{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
            std::string head = "GET / HTTP/1.1\r\nHost: x\r\n";
            ::send(fd, head.data(), head.size(), MSG_NOSIGNAL);
            const std::string line = "X-Fill: " + std::string(1000, 'a') + "\r\n";
            std::string block;
            while (block.size() < 256 * 1024)
                block += line;
            for (size_t sent = 0; sent < bytes; sent += block.size())
                if (::send(fd, block.data(), block.size(), MSG_NOSIGNAL) <= 0)
                    break;
            ::send(fd, "\r\n", 2, MSG_NOSIGNAL);
            char buf[4096];
            while (::recv(fd, buf, sizeof buf, 0) > 0) {
            }
            ::close(fd);
        });
    }
    for (auto &t : pool)
        t.join();
}

// Milliseconds a fresh connection waits for the lookup while `slow`
// connections trickle their headers one byte a second; -1 when no answer
// came within 15 s.
double slowHeaderDelay(int port, int slow) {
    std::vector<int> fds;
    for (int i = 0; i < slow; ++i) {
        const int fd = connectTo(port);
        if (fd >= 0) {
            ::send(fd, "GET /h.php?id=1&v=0&v1=0 HTTP/1.1\r\n", 35, MSG_NOSIGNAL);
            fds.push_back(fd);
        }
    }
    std::atomic<bool> stop{false};
    std::thread trickle([&] {
        while (!stop) {
            for (int fd : fds)
                ::send(fd, "X", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            for (int i = 0; i < 10 && !stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    double worst = 0;
    for (int i = 0; i < 5 && worst >= 0; ++i) {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(15);
        c.set_connection_timeout(15);
        const auto t0 = std::chrono::steady_clock::now();
        const auto r = c.Get("/h.php?id=1&v=0&v1=0");
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        worst = r && r->status == 200 ? std::max(worst, ms) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    stop = true;
    trickle.join();
    for (int fd : fds)
        ::close(fd);
    return worst;
}

} // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    const int threads = argc > 2 ? std::atoi(argv[2]) : 4;

    QTemporaryDir tmp;
    const std::string data = tmp.path().toStdString();
    std::filesystem::create_directories(data + "/media");
    const size_t mediaSize = 32 * 1024 * 1024;
    {
        std::ofstream out(data + "/media/clip.mp4", std::ios::binary);
        std::string block(1 << 20, 'x');
        for (size_t i = 0; i < mediaSize / block.size(); ++i)
            out << block;
    }
    {
        CatalogStore store;
        if (!store.open(data, true))
            return 1;
        for (int i = 0; i < 50; ++i) {
            Title t;
            t.name = QStringLiteral("剧集 %1").arg(i);
            t.series = true;
            Source s{QStringLiteral("高清"), {}};
            for (int e = 0; e < 40; ++e)
                s.episodes.append({QStringLiteral("第%1集").arg(e + 1), QStringLiteral("clip.mp4"), kPlayerKind});
            t.sources.append(s);
            store.addTitle(t);
        }
    }
    ServerOptions o;
    o.dataDir = data;
    o.port = 0;
    ContentServer server(o);
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", server.error().c_str());
        return 1;
    }
    std::thread serving([&] { server.run(); });
    const int port = server.port();

    const Result lookup = run(port, threads, seconds, [](httplib::Client &c, std::mt19937 &rng) {
        const std::string q = "/h.php?id=" + std::to_string(rng() % 50 + 1) + "&v=0&v1=" + std::to_string(rng() % 40);
        const auto r = c.Get(q);
        return r && r->status == 200 && r->body != "1";
    });
    const size_t chunk = 64 * 1024;
    const Result range = run(port, threads, seconds, [&](httplib::Client &c, std::mt19937 &rng) {
        const size_t at = (rng() % (mediaSize / chunk)) * chunk;
        const auto r = c.Get("/media/clip.mp4", {{"Range", "bytes=" + std::to_string(at) + "-" +
                                                                std::to_string(at + chunk - 1)}});
        return r && r->status == 206 && r->body.size() == chunk;
    });

    const double before = residentMiB();
    for (int round = 0; round < 5; ++round)
        headerFlood(port, 4, 64u << 20);
    const double afterFlood = residentMiB();
    const double delay = slowHeaderDelay(port, 200);

    server.stop();
    serving.join();
    std::printf("clients: %d, %.0f s per case, %u hardware threads\n", threads, seconds,
                std::thread::hardware_concurrency());
    std::printf("h.php lookup:             %8.0f requests/s (%ld failed)\n", lookup.perSecond, lookup.failures);
    std::printf("media range (64 KiB):     %8.0f requests/s, %.0f MiB/s (%ld failed)\n", range.perSecond,
                range.perSecond * chunk / (1024.0 * 1024.0), range.failures);
    std::printf("memory, 20 x 64 MiB header blocks (4 at a time): %.0f MiB -> %.0f MiB\n", before, afterFlood);
    if (delay < 0)
        std::printf("lookup beside 200 slow-header connections: no answer within 15 s\n");
    else
        std::printf("lookup beside 200 slow-header connections: %.0f ms\n", delay);
    return lookup.failures + range.failures == 0 ? 0 : 1;
}
