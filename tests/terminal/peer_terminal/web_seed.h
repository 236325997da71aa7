#pragma once
// A web seed for the peer tests and the benchmark: the content server's own
// HTTP layer serving one file with byte ranges (it answers pipelined
// requests in order, as libtorrent sends them to a web seed; the httplib
// origin loses them), behind a relay on 127.0.0.1 that counts what it
// sends and holds each connection to a rate.

#include "http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantoli::test {

class WebSeed {
public:
    // Serves `bytes` (written to `file`) at /media/film.mp4, `rate` bytes a
    // second per connection.
    WebSeed(const std::string &file, const std::string &bytes, int rate) : rate_(rate) {
        if (FILE *f = std::fopen(file.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        const std::uint64_t size = bytes.size();
        server_.route("/media/film.mp4", [file, size](const server::http::Request &req, server::http::Response &res) {
            std::uint64_t first = 0, last = size - 1;
            const std::string range = req.header("Range");
            unsigned long long a = 0, b = 0;
            const bool ranged = std::sscanf(range.c_str(), "bytes=%llu-%llu", &a, &b) == 2 && a <= b && b < size;
            if (ranged) {
                first = a;
                last = b;
                res.status = 206;
                res.setHeader("Content-Range", "bytes " + std::to_string(a) + "-" + std::to_string(b) + "/" +
                                                   std::to_string(size));
            }
            res.setHeader("Accept-Ranges", "bytes");
            res.setFile(::open(file.c_str(), O_RDONLY | O_CLOEXEC), first, last - first + 1, "video/mp4");
        });
        std::string error;
        server_.listen("127.0.0.1", 0, &error);
        serverThread_ = std::thread([this] { server_.run(); });

        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(listener_, 64);
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        acceptThread_ = std::thread([this] { acceptLoop(); });
    }
    ~WebSeed() {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        acceptThread_.join();
        {
            const std::lock_guard lock(mutex_);
            for (const int fd : fds_)
                ::shutdown(fd, SHUT_RDWR);
        }
        for (auto &t : relays_)
            t.join();
        {
            const std::lock_guard lock(mutex_);
            for (const int fd : fds_)
                ::close(fd);
        }
        ::close(listener_);
        server_.stop();
        serverThread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/media/film.mp4"; }
    // Bytes sent to the clients (replies' heads included: a few hundred
    // bytes a request).
    std::atomic<std::int64_t> bytesSent{0};

private:
    void acceptLoop() {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0 || stopping_) {
                if (client >= 0)
                    ::close(client);
                return;
            }
            const int upstream = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(std::uint16_t(server_.port()));
            ::connect(upstream, reinterpret_cast<sockaddr *>(&a), sizeof a);
            const std::lock_guard lock(mutex_);
            fds_.push_back(client);
            fds_.push_back(upstream);
            relays_.emplace_back([this, client, upstream] { copy(client, upstream, false); });
            relays_.emplace_back([this, client, upstream] { copy(upstream, client, true); });
        }
    }
    // Copies until either side ends, then ends both.
    void copy(int from, int to, bool paced) {
        std::vector<char> buffer(64 * 1024);
        // When the bytes sent so far are due at the rate; an idle
        // connection saves up at most 50 ms of them.
        auto due = std::chrono::steady_clock::now();
        for (;;) {
            const ssize_t n = ::read(from, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            ssize_t done = 0;
            while (done < n) {
                const ssize_t w = ::write(to, buffer.data() + done, std::size_t(n - done));
                if (w <= 0)
                    break;
                done += w;
            }
            if (done < n)
                break;
            if (paced) {
                bytesSent += n;
                due = std::max(due, std::chrono::steady_clock::now() - std::chrono::milliseconds(50)) +
                      std::chrono::microseconds(std::int64_t(n) * 1000000 / rate_);
                std::this_thread::sleep_until(due);
            }
        }
        ::shutdown(from, SHUT_RDWR);
        ::shutdown(to, SHUT_RDWR);
    }

    int rate_;
    server::http::Server server_;
    std::thread serverThread_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<int> fds_;
    std::vector<std::thread> relays_;
};

} // namespace vantoli::test
