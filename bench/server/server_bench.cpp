// Requests per second for the episode lookup and for a range request on a
// media file, against an in-process server on 127.0.0.1.
//
//   server_bench [seconds per case, default 5] [client threads, default 4]

#include "catalog.h"
#include "content_server.h"

#include <httplib.h>

#include <QTemporaryDir>

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
    const size_t chunk = 256 * 1024;
    const Result range = run(port, threads, seconds, [&](httplib::Client &c, std::mt19937 &rng) {
        const size_t at = (rng() % (mediaSize / chunk)) * chunk;
        const auto r = c.Get("/media/clip.mp4", {{"Range", "bytes=" + std::to_string(at) + "-" +
                                                                std::to_string(at + chunk - 1)}});
        return r && r->status == 206 && r->body.size() == chunk;
    });

    server.stop();
    serving.join();
    std::printf("clients: %d, %.0f s per case, %u hardware threads\n", threads, seconds,
                std::thread::hardware_concurrency());
    std::printf("h.php lookup:             %8.0f requests/s (%ld failed)\n", lookup.perSecond, lookup.failures);
    std::printf("media range (256 KiB):    %8.0f requests/s, %.0f MiB/s (%ld failed)\n", range.perSecond,
                range.perSecond * chunk / (1024.0 * 1024.0), range.failures);
    return lookup.failures + range.failures == 0 ? 0 : 1;
}
