#pragma once
// HTTP GET of a URL for the content-server fetches (control file, notice
// lists, episode lookups, web seeds), without waiting: the caller goes on at
// once and the reply comes later, on the UI thread. Nothing is held
// meanwhile, input included. A failure, an HTTP error status, a body over
// 1 MiB or the time-out (one for the whole fetch, redirects included) gives
// the empty reply. Redirects are followed for up to five hops, to http(s)
// addresses only. An https server must prove its name with a
// certificate from an authority the system trusts (or, instead, one in the
// file SSL_CERT_FILE names) and may not redirect to plain http; otherwise
// the reply is empty and standard error says once why. A reply is never
// delivered from inside start(), never for a cancelled fetch, and never
// after the getter is gone.

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace vantoli {

inline constexpr int kHttpGetTimeoutMs = 5000;

class AsyncHttpGet {
public:
    using Reply = std::function<void(const QString &body)>;
    using BytesReply = std::function<void(const QByteArray &body)>;
    virtual ~AsyncHttpGet() = default;
    // Begins a fetch; the id (never 0) lets the caller cancel it. The reply
    // is the body decoded as its charset says (UTF-8 when declared, GB18030
    // otherwise); "" on any failure.
    virtual quint64 start(const QString &url, Reply reply) = 0;
    // The same for a binary body (a torrent): its bytes as they came, not
    // decoded; empty on any failure. A getter that only deals in text hands
    // on start()'s text as UTF-8 (inline, so that code holding only the
    // interface need not link the network layer).
    virtual quint64 startBytes(const QString &url, BytesReply reply) {
        return start(url, [reply = std::move(reply)](const QString &body) { reply(body.toUtf8()); });
    }
    // Ends a fetch without a reply. Unknown and finished ids are ignored.
    virtual void cancel(quint64 id) = 0;
};

// The real layer on QNetworkAccessManager.
std::unique_ptr<AsyncHttpGet> makeAsyncHttpGet(int timeoutMs = kHttpGetTimeoutMs);

// One fetch at a time for one purpose: a new one replaces the one still
// waiting, whose reply is then never delivered. Destroying it cancels; the
// getter must outlive it.
class SingleFetch {
public:
    explicit SingleFetch(AsyncHttpGet *http) : http_(http) {}
    ~SingleFetch() { cancel(); }
    SingleFetch(const SingleFetch &) = delete;
    SingleFetch &operator=(const SingleFetch &) = delete;

    void start(const QString &url, AsyncHttpGet::Reply reply) {
        cancel();
        if (!http_)
            return;
        const quint64 id = http_->start(url, [this, reply = std::move(reply)](const QString &body) {
            id_ = 0;
            reply(body);
        });
        id_ = id;
    }
    void cancel() {
        if (http_ && id_)
            http_->cancel(id_);
        id_ = 0;
    }
    bool waiting() const { return id_ != 0; }

private:
    AsyncHttpGet *http_;
    quint64 id_ = 0;
};

} // namespace vantoli
