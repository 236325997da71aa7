#pragma once
// The HTTP side of the content and statistics server.

#include "catalog.h"
#include "stats.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

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
    int threads = 24;
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
    QString baseFor(const httplib::Request &req) const;
    void routes();
    void serveFile(const httplib::Request &req, httplib::Response &res, const std::string &root,
                   const std::string &relative);

    ServerOptions options_;
    std::unique_ptr<httplib::Server> http_;
    StatsStore stats_;
    std::string error_;
    int port_ = 0;
    QString template_;

    std::mutex catalogMutex_;
    std::shared_ptr<const Catalog> catalog_;
    long long catalogStamp_ = -1;
    long long lastCheck_ = 0;
};

struct ByteRange {
    unsigned long long offset = 0;
    unsigned long long length = 0;
};
// One requested byte range ("first-last", "first-" with last -1, or the
// suffix "-last" with first -1) applied to a file of `size` bytes; nullopt
// when it cannot be satisfied.
std::optional<ByteRange> byteRange(long long first, long long last, unsigned long long size);

// Resolves a "/"-separated relative path under root. Empty when it names
// anything outside root (after following links), is not a regular file, or
// is malformed.
std::string resolveInside(const std::string &root, const std::string &relative);

} // namespace vantoli::server
