// PeerTerminal: the per-user transfer program. Serves the player on
// 127.0.0.1 out of the cache folder named in PeerCfg.ini of the player's
// configuration folder (its own folder, or the user's own that the window
// passes as --player-folder); NBPEERTERMINAL/cachelimitmb caps that folder
// (MiB). Peer items: NBPEERTERMINAL/uploadlimitkb (KiB/s, 0 for none),
// uploadlimitlocal (1/0: the cap holds for peers on the same network too),
// seeding (1/0), listenport (0 for any), listenaddress (127.0.0.1).
//
//   PeerTerminal [--player-folder DIR]
//
// A second start while one runs exits at once with status 0. SIGTERM, SIGINT
// and SIGHUP end it cleanly: downloads keep their state, the port file goes.

#include "app/settings_file.h"
#include "playback/cache_folder.h"
#include "terminal/peer_terminal/terminal_paths.h"
#include "terminal/peer_terminal/terminal_service.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

using namespace vantoli;
using namespace vantoli::terminal;

namespace {

// The folder PeerCfg.ini (or PeerPlayer.xml) names, as the program reads it;
// the fallback when that is empty.
QString cacheFolderOf(const QString &playerFolder) {
    const QString folder = lookUpCacheFolder(playerFolder);
    return folder.isEmpty() ? fallbackCacheFolder() : folder;
}

std::int64_t cacheLimitFrom(const QString &cfg) {
    bool ok = false;
    const qint64 mib =
        readSetting(cfg, QStringLiteral("NBPEERTERMINAL"), QStringLiteral("cachelimitmb"), QStringLiteral("4096"))
            .toLongLong(&ok);
    return ok && mib > 0 ? std::int64_t(mib) << 20 : std::int64_t(4096) << 20;
}

// The peer-to-peer settings of PeerCfg.ini, each with its default.
PeerSettings peerSettingsFrom(const QString &cfg) {
    const auto read = [&](const char *key, const char *fallback) {
        return readSetting(cfg, QStringLiteral("NBPEERTERMINAL"), QString::fromLatin1(key), QString::fromLatin1(fallback))
            .trimmed();
    };
    PeerSettings s;
    bool ok = false;
    const int uploadKb = read("uploadlimitkb", "0").toInt(&ok);
    s.uploadRateLimit = ok && uploadKb > 0 && uploadKb < (1 << 21) ? uploadKb * 1024 : 0;
    s.seeding = read("seeding", "1") != u"0";
    s.capLocalPeers = read("uploadlimitlocal", "1") != u"0";
    const int port = read("listenport", "0").toInt(&ok);
    s.listenPort = ok && port > 0 && port < 65536 ? port : 0;
    // One literal address only: a name or a list would widen what the
    // session binds to.
    const QString address = read("listenaddress", "127.0.0.1");
    QHostAddress parsed;
    s.address = parsed.setAddress(address) && parsed.protocol() == QAbstractSocket::IPv4Protocol &&
                         !parsed.isEqual(QHostAddress::AnyIPv4)
                     ? parsed.toString().toStdString()
                     : std::string("127.0.0.1");
    return s;
}

} // namespace

int main(int argc, char **argv) {
    // Block the ending signals in every thread; this one waits for them below.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QString playerFolder = QCoreApplication::applicationDirPath();
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == u"--player-folder" && i + 1 < args.size())
            playerFolder = args[++i];
    }

    QString why;
    if (runtimeFolder(&why).isEmpty()) {
        // Others could read the token or plant the port file in a shared
        // folder: no terminal then (the player plays directly).
        std::fprintf(stderr, "PeerTerminal: not started: %s\n", qPrintable(why));
        return 1;
    }
    QLockFile lock(lockFilePath());
    lock.setStaleLockTime(0); // only a dead owner's lock is stale
    if (!lock.tryLock(0))
        return 0; // one runs already

    if (!playerFolder.endsWith(u'/'))
        playerFolder += u'/';
    const QString cfg = playerFolder + QStringLiteral("PeerCfg.ini");
    TerminalConfig config;
    config.cacheFolder = cacheFolderOf(playerFolder);
    config.cacheLimitBytes = cacheLimitFrom(cfg);
    config.peer = peerSettingsFrom(cfg);
    if (!QDir().mkpath(config.cacheFolder)) {
        std::fprintf(stderr, "PeerTerminal: cannot create the cache folder %s\n", qPrintable(config.cacheFolder));
        return 1;
    }
    config.token = QString::fromLatin1(QByteArray::number(QRandomGenerator::system()->generate64(), 16) +
                                       QByteArray::number(QRandomGenerator::system()->generate64(), 16));
    TerminalService service(config);
    if (!service.start(0)) {
        std::fprintf(stderr, "PeerTerminal: cannot listen on 127.0.0.1\n");
        return 1;
    }
    {
        // Only this user may read the token. Nothing else creates files yet:
        // no client knows the port before this file exists.
        const mode_t oldMask = ::umask(077);
        QSaveFile port(portFilePath());
        if (!port.open(QIODevice::WriteOnly) || port.write(portFileText(service.port(), config.token)) < 0 ||
            !port.commit()) {
            std::fprintf(stderr, "PeerTerminal: cannot write %s\n", qPrintable(portFilePath()));
            return 1;
        }
        ::umask(oldMask);
    }

    // Ends on a signal, or when the port file goes: the runtime folder is
    // removed when the user's session ends (and by tests when they finish),
    // and no client could find this terminal any more.
    const timespec poll{2, 0};
    while (sigtimedwait(&ending, nullptr, &poll) < 0) {
        if (errno != EAGAIN && errno != EINTR)
            break;
        if (!QFileInfo::exists(portFilePath()))
            break;
    }
    QFile::remove(portFilePath());
    // A player that stopped reading holds its connection until the write
    // time-out; the downloads' state is saved first, so do not wait for it.
    std::promise<void> stopped;
    std::future<void> done = stopped.get_future();
    std::thread([&] {
        service.stop();
        stopped.set_value();
    }).detach();
    done.wait_for(std::chrono::seconds(3));
    lock.unlock();
    std::_Exit(0);
}
