#include "playback/terminal_client.h"

#include "playback/play_address.h"
#include "platform/http_get.h"
#include "terminal/peer_terminal/terminal_paths.h"

#include <QCryptographicHash>

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QUrl>

#include <httplib.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace vantoli {
namespace {

constexpr auto kRecheck = std::chrono::seconds(3);

QByteArray randomChallenge() {
    QByteArray bytes(16, '\0');
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes.toHex();
}

bool isHttpItem(const QString &url) {
    const QUrl u(url);
    const QString scheme = u.scheme().toLower();
    return (scheme == u"http" || scheme == u"https") && !u.host().isEmpty();
}

bool isPeerItem(const QString &url) {
    return checkPlayAddress(url, AddressOrigin::Remote).kind == PlayAddress::Peer;
}

// The end of the bencoded value at p, nullptr when it is malformed or
// nested deeper than `depth`.
const char *skipValue(const char *p, const char *end, int depth = 32) {
    if (p >= end || depth == 0)
        return nullptr;
    if (*p == 'i') {
        const char *e = static_cast<const char *>(std::memchr(p, 'e', std::size_t(end - p)));
        return e ? e + 1 : nullptr;
    }
    if (*p == 'l' || *p == 'd') {
        ++p;
        while (p && p < end && *p != 'e')
            p = skipValue(p, end, depth - 1);
        return p && p < end ? p + 1 : nullptr;
    }
    // A string: length ':' bytes.
    std::size_t length = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        length = length * 10 + std::size_t(*p - '0');
        if (length > std::size_t(end - p))
            return nullptr;
        ++p;
    }
    if (p >= end || *p != ':' || length > std::size_t(end - p - 1))
        return nullptr;
    return p + 1 + length;
}

// The bytes of the bencoded string at p; nullopt when it is none.
std::optional<QByteArray> stringAt(const char *p, const char *end) {
    const char *after = (p < end && *p >= '0' && *p <= '9') ? skipValue(p, end) : nullptr;
    if (!after)
        return std::nullopt;
    const char *colon = static_cast<const char *>(std::memchr(p, ':', std::size_t(after - p)));
    return QByteArray(colon + 1, qsizetype(after - colon - 1));
}

bool isWebSeed(const QByteArray &url) {
    return isHttpItem(QString::fromUtf8(url));
}

} // namespace

QString webSeedOfTorrent(const QByteArray &torrent, const QString &infoHash) {
    const char *p = torrent.constData();
    const char *end = p + torrent.size();
    if (p >= end || *p != 'd')
        return {};
    ++p;
    QByteArray infoHashHex;
    QString seed;
    while (p < end && *p != 'e') {
        const auto key = stringAt(p, end);
        if (!key)
            return {};
        p = skipValue(p, end);
        const char *valueEnd = skipValue(p, end);
        if (!valueEnd)
            return {};
        if (*key == "info") {
            infoHashHex = QCryptographicHash::hash(QByteArray(p, qsizetype(valueEnd - p)), QCryptographicHash::Sha1)
                              .toHex();
        } else if (*key == "url-list" && seed.isEmpty()) {
            // One address, or a list of them: the first http(s) one.
            if (*p == 'l') {
                for (const char *q = p + 1; q && q < valueEnd - 1; q = skipValue(q, end)) {
                    const auto url = stringAt(q, end);
                    if (url && isWebSeed(*url)) {
                        seed = QString::fromUtf8(*url);
                        break;
                    }
                }
            } else if (const auto url = stringAt(p, end); url && isWebSeed(*url)) {
                seed = QString::fromUtf8(*url);
            }
        }
        p = valueEnd;
    }
    if (p >= end || infoHashHex.isEmpty() || infoHashHex != infoHash.toLower().toLatin1())
        return {};
    return seed;
}

void WebSeedLookup::start(const QString &contentBase, const QString &peerAddress, Reply reply) {
    cancel();
    QString hash, torrentUrl;
    if (isPeerItem(peerAddress) && isHttpItem(contentBase)) {
        hash = peerAddress.mid(7).section(u'|', 1, 1);
        const QUrl base(contentBase.endsWith(u'/') ? contentBase : contentBase + u'/');
        torrentUrl = base.resolved(QUrl(QStringLiteral("torrent/%1.torrent").arg(hash.toLower())))
                         .toString(QUrl::FullyEncoded);
    }
    // Without a torrent to fetch the getter still replies later, empty.
    id_ = http_.startBytes(torrentUrl, [this, hash, reply = std::move(reply)](const QByteArray &torrent) {
        id_ = 0;
        reply(webSeedOfTorrent(torrent, hash));
    });
}

void WebSeedLookup::cancel() {
    if (id_)
        http_.cancel(id_);
    id_ = 0;
}

TerminalClient::TerminalClient(QString portFile, QObject *parent)
    : QObject(parent), portFile_(portFile.isEmpty() ? terminal::portFilePath() : std::move(portFile)) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &TerminalClient::poll);
}

TerminalClient::~TerminalClient() {
    if (pending_) {
        pending_->disconnect(this);
        pending_->abort();
        delete pending_;
    }
}

int TerminalClient::port() {
    const auto now = std::chrono::steady_clock::now();
    if (checkedAt_ != std::chrono::steady_clock::time_point{} && now - checkedAt_ < kRecheck)
        return alive_ ? port_ : 0;
    checkedAt_ = now;
    alive_ = false;
    const terminal::PortFile file = terminal::readPortFile(portFile_);
    port_ = file.port;
    token_ = file.token;
    if (port_ == 0)
        return 0;
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(0, 300 * 1000);
    client.set_read_timeout(0, 300 * 1000);
    // Whoever listens on the port must prove that it knows the token before
    // the token goes anywhere: after a terminal died, another local user may
    // have taken its port.
    const QByteArray challenge = randomChallenge();
    const std::string target = std::string(terminal::kPingPath) + '?' + terminal::kChallengeParam + '=' +
                               challenge.toStdString();
    const auto res = client.Get(target);
    const QByteArray expected = "PeerTerminal\n" + terminal::challengeAnswer(token_, challenge) + '\n';
    alive_ = res && res->status == 200 && res->body == expected.toStdString();
    return alive_ ? port_ : 0;
}

bool TerminalClient::available() {
    return port() != 0;
}

QString TerminalClient::localUrl(const char *path, const QString &url) const {
    QString address = QStringLiteral("http://127.0.0.1:%1%2?%3=%4&url=%5")
                          .arg(port_)
                          .arg(QString::fromLatin1(path), QString::fromLatin1(terminal::kTokenParam),
                               QString::fromLatin1(QUrl::toPercentEncoding(token_)),
                               QString::fromLatin1(QUrl::toPercentEncoding(url)));
    if (isPeerItem(url))
        address += QStringLiteral("&server=") + QString::fromLatin1(QUrl::toPercentEncoding(contentBase_));
    return address;
}

bool TerminalClient::servable(const QString &url) const {
    // A peer address needs the content server its torrent comes from.
    return isHttpItem(url) || (isPeerItem(url) && isHttpItem(contentBase_));
}

QString TerminalClient::playAddress(const QString &url) {
    if (!servable(url) || !available())
        return {};
    return localUrl(terminal::kPlayPath, url);
}

bool TerminalClient::prefetch(const QString &url) {
    if (!servable(url) || !available())
        return false;
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    QNetworkReply *reply = network_->get(QNetworkRequest(QUrl(localUrl(terminal::kPrefetchPath, url))));
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    return true;
}

void TerminalClient::watch(const QString &url) {
    if (url == watched_)
        return;
    watched_ = url;
    progress_ = 0;
    speed_ = 0;
    upload_ = 0;
    peers_ = 0;
    if (pending_) {
        pending_->disconnect(this);
        pending_->abort();
        pending_->deleteLater();
        pending_ = nullptr;
    }
    if (url.isEmpty()) {
        timer_.stop();
        return;
    }
    timer_.start();
    poll();
}

void TerminalClient::poll() {
    if (pending_ || watched_.isEmpty() || port_ == 0)
        return;
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    QNetworkRequest request(QUrl(localUrl(terminal::kStatusPath, watched_)));
    request.setTransferTimeout(2000);
    pending_ = network_->get(request);
    connect(pending_, &QNetworkReply::finished, this, [this] {
        QNetworkReply *reply = pending_;
        pending_ = nullptr;
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            return; // keep the last values; the terminal may be gone
        const QJsonObject o = QJsonDocument::fromJson(reply->read(64 * 1024)).object();
        progress_ = std::clamp(o.value(QStringLiteral("progress")).toInt(), 0, 1000);
        speed_ = std::clamp(o.value(QStringLiteral("speed")).toInt(), 0, 32767);
        upload_ = std::clamp(o.value(QStringLiteral("upload")).toInt(), 0, 32767);
        peers_ = std::clamp(o.value(QStringLiteral("peers")).toInt(), 0, 100000);
        emit statusChanged();
    });
}

} // namespace vantoli
