#include "playback/terminal_client.h"

#include "terminal/peer_terminal/terminal_paths.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QUrl>

#include <httplib.h>

#include <algorithm>

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

} // namespace

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
    return QStringLiteral("http://127.0.0.1:%1%2?%3=%4&url=%5")
        .arg(port_)
        .arg(QString::fromLatin1(path), QString::fromLatin1(terminal::kTokenParam),
             QString::fromLatin1(QUrl::toPercentEncoding(token_)), QString::fromLatin1(QUrl::toPercentEncoding(url)));
}

QString TerminalClient::playAddress(const QString &url) {
    if (!isHttpItem(url) || !available())
        return {};
    return localUrl(terminal::kPlayPath, url);
}

bool TerminalClient::prefetch(const QString &url) {
    if (!isHttpItem(url) || !available())
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
        emit statusChanged();
    });
}

} // namespace vantoli
