#pragma once
// A small origin server of the tests' own on 127.0.0.1: bodies with ranges,
// an optional rate, a connection cut after some bytes, and a record of the
// ranges asked for. Serves what a slow or flaky network looks like.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vantoli::test {

inline std::string patternBytes(std::size_t n, int seed = 0) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = char((i * 7 + i / 251 + std::size_t(seed) * 13) & 0xff);
    return s;
}

class Origin {
public:
    Origin() {
        server_.Get(R"(/(.*))", [this](const httplib::Request &req, httplib::Response &res) { serve(req, res); });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~Origin() {
        server_.stop();
        thread_.join();
    }
    void add(const std::string &path, std::string body) {
        const std::lock_guard lock(mutex_);
        bodies_[path] = std::make_shared<const std::string>(std::move(body));
    }
    // Served without a length, in chunks, and without ranges.
    void addUnsized(const std::string &path, std::string body) {
        const std::lock_guard lock(mutex_);
        unsized_[path] = std::make_shared<const std::string>(std::move(body));
    }
    // The ETag replies carry from now on.
    void setTag(std::string tag) {
        const std::lock_guard lock(mutex_);
        tag_ = std::move(tag);
    }
    void redirect(const std::string &path, std::string location) {
        const std::lock_guard lock(mutex_);
        redirects_[path] = std::move(location);
    }
    int port() const { return port_; }
    std::string url(const std::string &path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    // Range headers received per path, in order ("" for none).
    std::vector<std::string> ranges(const std::string &path) {
        const std::lock_guard lock(mutex_);
        return ranges_[path];
    }
    // Bytes per second of every reply; 0 for no limit.
    std::atomic<int> rate{0};
    // Body bytes sent so far, over all replies.
    std::atomic<std::int64_t> bytesSent{0};
    // The next reply ends its connection after this many bytes; 0 for never.
    std::atomic<std::size_t> cutAfter{0};

private:
    void serve(const httplib::Request &req, httplib::Response &res) {
        std::shared_ptr<const std::string> body;
        {
            const std::lock_guard lock(mutex_);
            ranges_[req.path].push_back(req.get_header_value("Range"));
            if (const auto r = redirects_.find(req.path); r != redirects_.end()) {
                res.status = 302;
                res.set_header("Location", r->second);
                return;
            }
            if (const auto u = unsized_.find(req.path); u != unsized_.end()) {
                auto whole = u->second;
                res.set_chunked_content_provider("video/mp4", [whole](std::size_t offset, httplib::DataSink &sink) {
                    if (offset >= whole->size()) {
                        sink.done();
                        return true;
                    }
                    return sink.write(whole->data() + offset, std::min<std::size_t>(whole->size() - offset, 100000));
                });
                return;
            }
            res.set_header("ETag", tag_);
            const auto it = bodies_.find(req.path);
            if (it == bodies_.end()) {
                res.status = 404;
                return;
            }
            body = it->second;
        }
        const std::size_t cut = cutAfter.exchange(0);
        res.set_content_provider(body->size(), "video/mp4",
                                 [this, body, cut, sent = std::size_t(0)](std::size_t offset, std::size_t length,
                                                                          httplib::DataSink &sink) mutable {
                                     const int r = rate.load();
                                     std::size_t n = std::min<std::size_t>(length, r > 0 ? std::max(1, r / 20) : 65536);
                                     if (cut > 0 && sent >= cut)
                                         return false; // drop the connection mid-body
                                     if (cut > 0)
                                         n = std::min(n, cut - sent);
                                     if (r > 0)
                                         std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                     sent += n;
                                     bytesSent += std::int64_t(n);
                                     return sink.write(body->data() + offset, n);
                                 });
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const std::string>> bodies_;
    std::map<std::string, std::shared_ptr<const std::string>> unsized_;
    std::string tag_ = "\"v1\"";
    std::map<std::string, std::string> redirects_;
    std::map<std::string, std::vector<std::string>> ranges_;
};

} // namespace vantoli::test
