#pragma once
// One GET of a byte range from an http(s) origin, streamed to a callback.
// Redirects are followed by hand (at most five) and only to http or https,
// so an origin can never send the fetch to another scheme. An https origin
// must present a certificate that verifies against the system's authorities
// (OpenSSL's default paths; SSL_CERT_FILE and SSL_CERT_DIR name others) for
// its host name or address; one that does not is refused.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace httplib {
class Client;
}

namespace vantoli::terminal {

struct OriginReply {
    int status = 0;
    std::int64_t first = 0;   // first byte of the body within the item
    std::int64_t total = -1;  // the item's size; -1 when the origin does not say
    std::string contentType;
    std::string validator;    // ETag, else Last-Modified
};

struct FetchTimeouts {
    int connectSeconds = 10;
    int readSeconds = 20;
};

// Lets another thread cut a running fetch short.
class FetchCanceller {
public:
    void cancel();
    bool cancelled() const { return cancelled_; }
    void attach(httplib::Client *client);
    void detach();

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    httplib::Client *client_ = nullptr;
};

// Refused: the origin answered, but not with the item (an error status, a
// redirect elsewhere than http(s), another range); trying again will not help.
enum class FetchOutcome { Complete, Stopped, Failed, Refused };

// GETs `url` asking for bytes from `first` to `last` (-1: to the end).
// onHead sees the reply's head once and returns false to refuse it (then the
// outcome is Refused); onData returns false to stop (outcome Stopped).
// Only 200 and a 206 that starts at `first` reach onHead.
FetchOutcome fetchRange(const std::string &url, std::int64_t first, std::int64_t last,
                        const std::function<bool(const OriginReply &)> &onHead,
                        const std::function<bool(const char *, std::size_t)> &onData,
                        FetchCanceller *canceller, const FetchTimeouts &timeouts, std::string *error);

} // namespace vantoli::terminal
