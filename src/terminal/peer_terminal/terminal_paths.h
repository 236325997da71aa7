#pragma once
// Where the transfer program and its clients meet: a lock file that keeps it
// to one per user and a port file naming the loopback port it listens on,
// both in the user's runtime folder. Header-only so the player can use it
// without linking the transfer program.

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

namespace vantoli::terminal {

inline QString runtimeFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

inline QString lockFilePath() {
    return QDir(runtimeFolder()).filePath(QStringLiteral("vantoli-PeerTerminal.lock"));
}

inline QString portFilePath() {
    return QDir(runtimeFolder()).filePath(QStringLiteral("vantoli-PeerTerminal.port"));
}

// The port written in the port file; 0 when there is none or it is unreadable.
inline int readPortFile(const QString &path = portFilePath()) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const int port = QString::fromLatin1(f.read(16)).trimmed().toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : 0;
}

// The request paths the transfer program answers.
inline constexpr const char *kPlayPath = "/play";         // ?url=: the item, with ranges
inline constexpr const char *kPrefetchPath = "/prefetch"; // ?url=: fetch the item's start
inline constexpr const char *kStatusPath = "/status";     // ?url=: progress and speed (JSON)
inline constexpr const char *kPingPath = "/ping";         // "PeerTerminal"

} // namespace vantoli::terminal
