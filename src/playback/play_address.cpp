#include "playback/play_address.h"

#include "platform/file_name.h"

#include <QRegularExpression>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace vantoli {
namespace {

bool hasControlCharacter(const QString &text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

bool isPeerAddress(const QString &text) {
    // Size in bytes, a v1 (40) or v2 (64) info-hash in hex, a file name.
    static const QRegularExpression peer(
        QStringLiteral("^peer://[0-9]{1,19}\\|(?:[0-9A-Fa-f]{40}|[0-9A-Fa-f]{64})\\|[^|/\\\\]+\\|$"));
    return peer.match(text).hasMatch();
}

} // namespace

bool isWebAddress(const QString &text) {
    if (text.isEmpty() || hasControlCharacter(text))
        return false;
    // Tolerant: catalog addresses may carry "%u4E2D" in their queries,
    // which the server reads as written.
    const QUrl url(text, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty() &&
           // The scheme as written, not only as QUrl understood it: the
           // engine reads the text, not our parse of it.
           text.startsWith(scheme + QStringLiteral("://"), Qt::CaseInsensitive);
}

bool isOpenableLocalFile(const QString &path) {
    // By the name's own bytes: Qt's file functions cannot name a file whose
    // name is not UTF-8.
    const QByteArray name = fileNameBytes(path);
    struct stat info {};
    return ::stat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
           ::access(name.constData(), R_OK) == 0;
}

bool localFileExists(const QString &path) {
    struct stat info {};
    return ::stat(fileNameBytes(path).constData(), &info) == 0;
}

PlayAddress checkPlayAddress(const QString &text, AddressOrigin origin) {
    if (text.isEmpty() || hasControlCharacter(text))
        return {};
    if (isWebAddress(text))
        return {PlayAddress::Web, text};
    if (isPeerAddress(text))
        return {PlayAddress::Peer, text};
    if (origin != AddressOrigin::User)
        return {};

    QString path = text;
    if (text.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        QUrl url(text, QUrl::StrictMode);
        const bool here = url.host().isEmpty() || url.host() == u"localhost";
        if (!url.isValid() || !url.isLocalFile() || !here || url.hasQuery() || url.hasFragment())
            return {};
        path = fileNameFromUrl(url);
    }
    // Only absolute paths: a relative one would be read against whatever
    // folder the player runs in, and "-" or "name:..." mean other things to
    // the engine.
    if (!path.startsWith(u'/') || hasControlCharacter(path))
        return {};
    return {PlayAddress::LocalFile, path};
}

} // namespace vantoli
