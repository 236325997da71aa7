#pragma once
// The HTTP/1.1 layer of the content server: Boost.Beast's parser on Asio's
// event loop, so a connection that is slow to send costs a buffer, never a
// thread.
//
// What it guarantees, whatever a client sends:
// - the whole request head must arrive within `requestDeadline` of the
//   connection's start or of the previous reply; then it is closed;
// - a head over `headerBytes` is answered 431 and the connection closed, so
//   a connection never holds more than about that much;
// - only GET and HEAD are served, and never with a body: Content-Length
//   above 0 or any Transfer-Encoding is answered 400 and the connection
//   closed, so no bytes of a body are ever read as a request;
// - pipelined requests are answered one after another, in order;
// - HEAD gets the headers GET would get and no body;
// - there are no byte ranges here: a handler that serves a file reads the
//   Range header itself, so nothing else can be answered in pieces.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantoli::server::http {

struct ServerCore;

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Request {
    std::string method; // "GET" or "HEAD" for every request a handler sees
    std::string target; // as sent
    std::string path;   // the target up to "?", percent-decoded
    Headers headers;
    std::string remoteAddr;
    // The whole path, then the groups of the route's pattern.
    std::vector<std::string> matches;

    bool isHead() const { return method == "HEAD"; }
    // First value of a header, compared without case; empty when missing.
    std::string header(std::string_view name) const;
};

struct Response {
    int status = 200;
    std::string contentType;
    std::string body;
    Headers headers;

    void setHeader(std::string name, std::string value);
    void setContent(std::string content, std::string type);
    // Sends `length` bytes of the open file `fd` from `offset` instead of
    // body, read in pieces as the client takes them. Takes ownership of fd.
    void setFile(int fd, std::uint64_t offset, std::uint64_t length, std::string type);

    struct FilePart {
        int fd = -1;
        std::uint64_t offset = 0;
        std::uint64_t length = 0;
        ~FilePart();
    };
    std::shared_ptr<FilePart> file;
};

struct Limits {
    std::size_t headerBytes = 64 * 1024;
    std::size_t targetBytes = 8 * 1024;
    std::chrono::milliseconds requestDeadline{10000};
    // For each piece of a reply the client must take.
    std::chrono::milliseconds writeTimeout{30000};
    int maxConnections = 1024;
    int requestsPerConnection = 100;
    int threads = 2;
};

using Handler = std::function<void(const Request &, Response &)>;

class Server {
public:
    explicit Server(Limits limits = {});
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // The path equals `path`.
    void route(std::string path, Handler handler);
    // The whole path matches the regular expression.
    void routeMatching(const std::string &pattern, Handler handler);
    // The path starts with `prefix` and goes on; the rest is matches[1].
    void routePrefix(std::string prefix, Handler handler);
    // Called for every reply of status 400 and above that has no body yet.
    void onError(Handler handler);
    // Called after each reply, with the request as far as it was read.
    void onReply(std::function<void(const Request &, const Response &)> log);
    void setDefaultHeaders(Headers headers);

    // Binds and listens; port 0 takes any free port. False with *error set.
    bool listen(const std::string &address, int port, std::string *error);
    int port() const;
    // Serves until stop(); may be called once.
    void run();
    // Safe from any thread, before or during run().
    void stop();

private:
    std::unique_ptr<ServerCore> core_;
};

} // namespace vantoli::server::http
