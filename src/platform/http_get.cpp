// The HTTP layer on QNetworkAccessManager: the checks every fetch passes
// (scheme, certificate, size, redirects) and the getter that runs fetches
// side by side.

#include "platform/http_get.h"

#include "platform/ansi_codec.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSet>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>
#include <QUrl>

#include <cstdio>

#include <unordered_map>
#include <utility>

namespace vantoli {
namespace {

constexpr qint64 kMaxBodyBytes = 1024 * 1024;
constexpr int kMaxRedirects = 5;

bool isHttp(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

// An https address must not hand the fetch on to a plain one, where anyone on
// the way could change the reply.
bool isDowngrade(const QUrl &from, const QUrl &to) {
    return from.scheme().toLower() == u"https" && to.scheme().toLower() != u"https";
}

// Says on standard error why a server was refused, once per server and
// reason, so a refusal is never silent and a retry loop does not flood.
void reportRefusal(const QUrl &url, const QString &reason) {
    static QSet<QString> said;
    const QString server = url.scheme() + QStringLiteral("://") + url.authority();
    const QString line = QStringLiteral("vantoli: refused %1: %2\n").arg(server, reason);
    if (said.contains(line) || said.size() > 64)
        return;
    said.insert(line);
    std::fputs(line.toLocal8Bit().constData(), stderr);
}

// The authorities that https fetches trust: the system's, or instead those
// in the file that SSL_CERT_FILE names (the variable OpenSSL-based programs
// read), so an operator or a test can trust a private authority without
// adding it system-wide. A server whose certificate does not verify against
// them, names another host or has expired is refused; errors are never
// ignored.
QSslConfiguration tlsConfiguration() {
    static const QSslConfiguration config = [] {
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        const QString file = qEnvironmentVariable("SSL_CERT_FILE");
        if (!file.isEmpty()) // a missing or empty file trusts nobody
            c.setCaCertificates(QSslCertificate::fromPath(file, QSsl::Pem));
        return c;
    }();
    return config;
}

// A GET whose certificate problems are reported; the reply then fails.
QNetworkReply *verifiedGet(QNetworkAccessManager &nam, const QUrl &url) {
    QNetworkRequest request(url);
    if (url.scheme().toLower() == u"https")
        request.setSslConfiguration(tlsConfiguration());
    QNetworkReply *reply = nam.get(request);
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [url](const QList<QSslError> &errors) {
        QStringList reasons;
        for (const QSslError &e : errors)
            reasons << e.errorString();
        reportRefusal(url, QStringLiteral("its certificate does not verify (%1)").arg(reasons.join(QStringLiteral("; "))));
    });
    return reply;
}

bool declaresUtf8(const QByteArray &contentType) {
    for (const QByteArray &part : contentType.split(';')) {
        const int eq = part.indexOf('=');
        if (eq < 0 || part.left(eq).trimmed().toLower() != "charset")
            continue;
        QByteArray value = part.mid(eq + 1).trimmed().toLower();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value == "utf-8" || value == "utf8";
    }
    return false;
}

// AsyncHttpGet on QNetworkAccessManager: every fetch is a record with its
// own time-out; its reply signals go to the record's id, so a fetch that was
// cancelled or finished meanwhile is simply not found.
class NetworkAsyncHttpGet final : public AsyncHttpGet {
public:
    explicit NetworkAsyncHttpGet(int timeoutMs) : timeoutMs_(timeoutMs) {
        // Redirects are followed by hand so that each hop's scheme and the
        // number of hops can be checked.
        nam_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }

    ~NetworkAsyncHttpGet() override {
        for (auto &[id, fetch] : fetches_)
            drop(*fetch);
    }

    quint64 start(const QString &urlText, Reply reply) override {
        auto fetch = std::make_unique<Fetch>();
        fetch->reply = std::move(reply);
        return begin(urlText, std::move(fetch));
    }

    quint64 startBytes(const QString &urlText, BytesReply reply) override {
        auto fetch = std::make_unique<Fetch>();
        fetch->bytesReply = std::move(reply);
        return begin(urlText, std::move(fetch));
    }

    void cancel(quint64 id) override {
        const auto it = fetches_.find(id);
        if (it == fetches_.end())
            return;
        const std::unique_ptr<Fetch> fetch = std::move(it->second);
        fetches_.erase(it);
        drop(*fetch);
    }

private:
    struct Fetch {
        Reply reply;           // the body as text
        BytesReply bytesReply; // or as bytes
        QTimer timer;
        QPointer<QNetworkReply> network;
        QUrl url;
        QByteArray body;
        int hops = 0;
    };

    quint64 begin(const QString &urlText, std::unique_ptr<Fetch> fetch) {
        const quint64 id = nextId_++;
        fetch->timer.setSingleShot(true);
        QObject::connect(&fetch->timer, &QTimer::timeout, &nam_, [this, id] { finish(id); });
        fetch->timer.start(timeoutMs_);
        Fetch &f = *fetch;
        fetches_.emplace(id, std::move(fetch));
        const QUrl url(urlText);
        if (isHttp(url))
            request(id, f, url);
        else // the failure still arrives later, as every reply does
            QMetaObject::invokeMethod(&nam_, [this, id] { finish(id); }, Qt::QueuedConnection);
        return id;
    }

    void request(quint64 id, Fetch &f, const QUrl &url) {
        f.url = url;
        f.body.clear();
        QNetworkReply *reply = verifiedGet(nam_, url);
        f.network = reply;
        QObject::connect(reply, &QNetworkReply::metaDataChanged, &nam_, [this, id, reply] {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (length.isValid() && length.toLongLong() > kMaxBodyBytes)
                finish(id);
        });
        QObject::connect(reply, &QIODevice::readyRead, &nam_, [this, id, reply] {
            const auto it = fetches_.find(id);
            if (it == fetches_.end())
                return;
            it->second->body += reply->readAll();
            if (it->second->body.size() > kMaxBodyBytes)
                finish(id);
        });
        QObject::connect(reply, &QNetworkReply::finished, &nam_, [this, id, reply] { replied(id, reply); });
    }

    void replied(quint64 id, QNetworkReply *reply) {
        const auto it = fetches_.find(id);
        if (it == fetches_.end())
            return;
        Fetch &f = *it->second;
        f.network = nullptr;
        reply->disconnect(&nam_);
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            return finish(id);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (status >= 300 && status < 400 && target.isValid()) {
            const QUrl next = f.url.resolved(target);
            if (++f.hops > kMaxRedirects || !isHttp(next))
                return finish(id);
            if (isDowngrade(f.url, next)) {
                reportRefusal(f.url, QStringLiteral("it redirects to plain http"));
                return finish(id);
            }
            return request(id, f, next);
        }
        if (status < 200 || status >= 300)
            return finish(id);
        f.body += reply->readAll();
        if (f.body.size() > kMaxBodyBytes)
            return finish(id);
        finish(id, f.body, reply->rawHeader("Content-Type"));
    }

    // Delivers the reply of a fetch that is still waiting (no body: it
    // failed); the record is gone before the caller's code runs, which may
    // start or cancel fetches.
    void finish(quint64 id, const QByteArray &body = {}, const QByteArray &contentType = {}) {
        const auto it = fetches_.find(id);
        if (it == fetches_.end())
            return;
        const std::unique_ptr<Fetch> fetch = std::move(it->second);
        fetches_.erase(it);
        drop(*fetch);
        if (fetch->bytesReply)
            fetch->bytesReply(body);
        else if (fetch->reply)
            fetch->reply(declaresUtf8(contentType) ? QString::fromUtf8(body) : decodeAnsi(body));
    }

    void drop(Fetch &f) {
        f.timer.stop();
        if (QNetworkReply *reply = f.network) {
            f.network = nullptr;
            reply->disconnect(&nam_);
            reply->abort();
            reply->deleteLater();
        }
    }

    QNetworkAccessManager nam_;
    int timeoutMs_;
    quint64 nextId_ = 1;
    std::unordered_map<quint64, std::unique_ptr<Fetch>> fetches_;
};

} // namespace

std::unique_ptr<AsyncHttpGet> makeAsyncHttpGet(int timeoutMs) {
    return std::make_unique<NetworkAsyncHttpGet>(timeoutMs);
}

} // namespace vantoli
