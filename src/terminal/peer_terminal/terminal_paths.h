#pragma once
// Where the transfer program and its clients meet: a lock file that keeps it
// to one per user and a port file naming the loopback port it listens on,
// both in the user's private runtime folder. Header-only so the player can
// use it without linking the transfer program.

#include "platform/private_folder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QString>
#include <QStringList>

namespace vantoli::terminal {

// "" when the user has no private runtime folder: then there is no
// terminal, rather than one whose files others could read or plant.
inline QString runtimeFolder(QString *why = nullptr) {
    return privateRuntimeFolder(why);
}

inline QString lockFilePath() {
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("vantoli-PeerTerminal.lock"));
}

inline QString portFilePath() {
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("vantoli-PeerTerminal.port"));
}

// What the port file holds: "PORT TOKEN\n". The token proves that a client
// could read the user's runtime folder (mode 0700): every request but a
// ping carries it as `t`, so neither another user nor a web page that finds
// the port can make the terminal fetch anything.
struct PortFile {
    int port = 0; // 0 when there is no usable file
    QString token;
};

inline PortFile readPortFile(const QString &path = portFilePath()) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QStringList parts = QString::fromLatin1(f.read(256)).simplified().split(u' ');
    bool ok = false;
    const int port = parts.value(0).toInt(&ok);
    if (!ok || port <= 0 || port >= 65536)
        return {};
    return {port, parts.value(1)};
}

inline QByteArray portFileText(int port, const QString &token) {
    return QByteArray::number(port) + ' ' + token.toLatin1() + '\n';
}

// The proof that whoever listens on the port knows the token, without
// sending it: the answer to a ping with a challenge `c` is the HMAC-SHA256
// of the challenge under the token, in hex. A port file left by a terminal
// that died names a port any local user may bind next; a client sends the
// token (and hands the player tokened addresses) only after this check.
inline QByteArray challengeAnswer(const QString &token, const QByteArray &challenge) {
    return QMessageAuthenticationCode::hash(challenge, token.toLatin1(), QCryptographicHash::Sha256).toHex();
}

// The request paths the transfer program answers.
inline constexpr const char *kPlayPath = "/play";         // ?url=: the item, with ranges
inline constexpr const char *kPrefetchPath = "/prefetch"; // ?url=: fetch the item's start
inline constexpr const char *kStatusPath = "/status";     // ?url=: progress and speed (JSON)
inline constexpr const char *kPingPath = "/ping";         // "PeerTerminal", no token needed
inline constexpr const char *kChallengeParam = "c";        // on /ping: answered on the second line
inline constexpr const char *kTokenParam = "t";

} // namespace vantoli::terminal
