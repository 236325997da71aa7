#include "terminal/peer_terminal/origin_fetch.h"

#include "terminal/peer_terminal/cache_names.h"

#include <QString>
#include <QUrl>

#include <httplib.h>

namespace vantoli::terminal {

void FetchCanceller::cancel() {
    cancelled_ = true;
    const std::lock_guard lock(mutex_);
    if (client_)
        client_->stop();
}

void FetchCanceller::attach(httplib::Client *client) {
    const std::lock_guard lock(mutex_);
    client_ = client;
    if (cancelled_)
        client->stop();
}

void FetchCanceller::detach() {
    const std::lock_guard lock(mutex_);
    client_ = nullptr;
}

namespace {

struct SplitUrl {
    std::string origin; // scheme://host:port
    std::string target; // path and query
};

bool split(const std::string &url, SplitUrl *out) {
    const QString text = QString::fromStdString(url);
    if (!isFetchableUrl(text))
        return false;
    const QUrl u(text);
    const QString scheme = u.scheme().toLower();
    const int port = u.port(scheme == u"https" ? 443 : 80);
    QString host = u.host(QUrl::FullyEncoded);
    if (host.contains(u':'))
        host = u'[' + host + u']';
    out->origin = (scheme + QStringLiteral("://") + host + u':' + QString::number(port)).toStdString();
    QString target = u.path(QUrl::FullyEncoded);
    if (target.isEmpty())
        target = QStringLiteral("/");
    if (u.hasQuery())
        target += u'?' + u.query(QUrl::FullyEncoded);
    out->target = target.toStdString();
    return true;
}

} // namespace

FetchOutcome fetchRange(const std::string &startUrl, std::int64_t first, std::int64_t last,
                        const std::function<bool(const OriginReply &)> &onHead,
                        const std::function<bool(const char *, std::size_t)> &onData,
                        FetchCanceller *canceller, const FetchTimeouts &timeouts, std::string *error) {
    std::string url = startUrl;
    for (int hop = 0; hop <= 5; ++hop) {
        SplitUrl parts;
        if (!split(url, &parts)) {
            *error = "not an http(s) address";
            return FetchOutcome::Failed;
        }
        httplib::Client client(parts.origin);
        client.set_follow_location(false);
        client.set_keep_alive(false);
        client.set_connection_timeout(timeouts.connectSeconds);
        client.set_read_timeout(timeouts.readSeconds);
        client.set_decompress(false); // byte offsets are offsets into the item as stored
        if (canceller)
            canceller->attach(&client);
        httplib::Headers headers{{"Accept-Encoding", "identity"}};
        if (first > 0 || last >= 0)
            headers.emplace("Range", "bytes=" + std::to_string(first) + '-' + (last >= 0 ? std::to_string(last) : ""));

        std::string location;
        bool refused = false, stopped = false, headSeen = false;
        auto result = client.Get(
            parts.target, headers,
            [&](const httplib::Response &res) {
                if (res.status >= 300 && res.status < 400 && res.has_header("Location")) {
                    location = res.get_header_value("Location");
                    return false;
                }
                OriginReply reply;
                reply.status = res.status;
                reply.contentType = res.get_header_value("Content-Type");
                reply.validator = res.has_header("ETag") ? res.get_header_value("ETag")
                                                         : res.get_header_value("Last-Modified");
                if (res.status == 206) {
                    const auto range = parseContentRange(res.get_header_value("Content-Range"));
                    if (!range || range->first != first) {
                        *error = "the origin answered another range";
                        refused = true;
                        return false;
                    }
                    reply.first = range->first;
                    reply.total = range->total;
                } else if (res.status == 200) {
                    reply.first = 0;
                    if (res.has_header("Content-Length") && !res.has_header("Transfer-Encoding")) {
                        const std::string length = res.get_header_value("Content-Length");
                        try {
                            reply.total = std::stoll(length);
                        } catch (...) {
                            reply.total = -1;
                        }
                    }
                } else {
                    *error = "the origin answered " + std::to_string(res.status);
                    refused = true;
                    return false;
                }
                headSeen = true;
                if (!onHead(reply)) {
                    refused = true;
                    return false;
                }
                return true;
            },
            [&](const char *data, std::size_t n) {
                if (canceller && canceller->cancelled()) {
                    stopped = true;
                    return false;
                }
                if (!onData(data, n)) {
                    stopped = true;
                    return false;
                }
                return true;
            });
        if (canceller)
            canceller->detach();
        if (!location.empty()) {
            // Relative locations are resolved against the address that sent them.
            const QUrl next = QUrl(QString::fromStdString(url)).resolved(QUrl(QString::fromStdString(location)));
            if (!isFetchableUrl(next.toString())) {
                *error = "redirect to a non-http(s) address";
                return FetchOutcome::Refused;
            }
            url = next.toString(QUrl::FullyEncoded).toStdString();
            continue;
        }
        if (refused)
            return FetchOutcome::Refused;
        if (stopped || (canceller && canceller->cancelled()))
            return FetchOutcome::Stopped;
        if (!result && result.error() == httplib::Error::SSLServerVerification) {
            // Never fetched unverified; trying again would not help.
            *error = "the origin's certificate does not verify for " + parts.origin;
            return FetchOutcome::Refused;
        }
        if (!result || !headSeen) {
            if (error->empty())
                *error = "transfer failed: " + httplib::to_string(result.error());
            return FetchOutcome::Failed;
        }
        return FetchOutcome::Complete;
    }
    *error = "too many redirects";
    return FetchOutcome::Refused;
}

} // namespace vantoli::terminal
