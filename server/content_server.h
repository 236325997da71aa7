#pragma once
// The HTTP side of the content and statistics server.

#include "catalog.h"
#include "http_server.h"
#include "stats.h"
#include "torrents.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vantoli::server {

struct ServerOptions {
    std::string dataDir;
    std::string bind = "127.0.0.1";
    int port = 8260; // 0: any free port
    // Base URL written into pages and replies; empty: taken from the
    // request's Host header.
    std::string publicBase;
    // Receives one line per request; nullptr logs nothing.
    std::function<void(const std::string &)> log;
    int threads = 2;
    // The whole request head must arrive within this time.
    std::chrono::milliseconds requestDeadline{10000};
    // Behind a reverse proxy on this machine: a request from a loopback
    // address is taken to come from the address in its X-Real-IP header.
    bool behindProxy = false;
    // Pings recorded per client address: a burst, then one per interval.
    int pingBurst = 30;
    std::chrono::milliseconds pingInterval{2000};
    // Newest pings kept in full; older ones live on only in the totals.
    long long keepPings = 100000;
    // Announce URL of the tracker for the media torrents. With one, player
    // episodes whose media has a current torrent are answered with their
    // peer address; without, with the media URL.
    std::string tracker;
};

// Token buckets per client address. Addresses whose bucket is full again
// are forgotten when the table grows, so it stays small.
class RateLimit {
public:
    RateLimit(int burst, std::chrono::milliseconds interval) : burst_(burst), interval_(interval) {}
    // Takes one token for `address` at time `now`; false when there is none.
    bool take(const std::string &address, std::chrono::steady_clock::time_point now);
    std::size_t tracked() const;

private:
    struct Bucket {
        double tokens;
        std::chrono::steady_clock::time_point at;
    };
    double tokensAt(const Bucket &b, std::chrono::steady_clock::time_point now) const;

    int burst_;
    std::chrono::milliseconds interval_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};

// The episode list page template compiled into the server.
QString episodeListTemplate();

class ContentServer {
public:
    explicit ContentServer(ServerOptions options);
    ~ContentServer();

    // Opens the data folder and binds the socket; false with error() set.
    bool start();
    int port() const { return port_; }
    std::string error() const { return error_; }
    // Serves until stop() is called.
    void run();
    void stop();

private:
    std::shared_ptr<const Catalog> catalog();
    std::shared_ptr<const std::unordered_map<std::string, TorrentEntry>> torrents();
    QString baseFor(const http::Request &req) const;
    std::string clientAddress(const http::Request &req) const;
    void routes();
    void serveFile(const http::Request &req, http::Response &res, const std::string &root,
                   const std::string &relative);

    ServerOptions options_;
    std::unique_ptr<http::Server> http_;
    StatsStore stats_;
    RateLimit pingLimit_;
    std::string error_;
    int port_ = 0;
    QString template_;

    std::mutex catalogMutex_;
    std::shared_ptr<const Catalog> catalog_;
    // The current torrents by info-hash, as of the catalog snapshot.
    std::shared_ptr<const std::unordered_map<std::string, TorrentEntry>> torrents_;
    long long catalogStamp_ = -1;
    long long lastCheck_ = 0;
};

struct ByteRange {
    unsigned long long offset = 0;
    unsigned long long length = 0;
};
// The ranges of a Range header value, as (first, last) with the same
// conventions as byteRange; nullopt when it is not a well-formed bytes range
// set.
std::optional<std::vector<std::pair<long long, long long>>> parseRanges(const std::string &value);

// One requested byte range ("first-last", "first-" with last -1, or the
// suffix "-last" with first -1) applied to a file of `size` bytes; nullopt
// when it cannot be satisfied.
std::optional<ByteRange> byteRange(long long first, long long last, unsigned long long size);

// Resolves a "/"-separated relative path under root. Empty when it names
// anything outside root (after following links), is not a regular file, or
// is malformed.
std::string resolveInside(const std::string &root, const std::string &relative);

} // namespace vantoli::server
