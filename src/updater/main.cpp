// vantoli-update: installs a signed release of the program.
//
//   vantoli-update --content-base URL --version V --install DIR
//                  [--installed-version W] [--wait-pid PID] [--restart NAME]
//                  [-- ARGS...]
//
// Refuses V unless it is newer than the installed version (this updater's
// own, or W when that is newer), so an old signed release cannot be
// replayed. Downloads "update/V/" from the content server, checks the
// manifest's signature against the key the build was configured with and
// the archive against the manifest, waits for the program (PID) to end,
// installs the release over DIR (the old version kept as DIR.previous) and
// starts DIR/NAME with ARGS. Any failure leaves DIR as it was, says why on stderr,
// starts DIR/NAME again with VANTOLI_UPDATE_REFUSED=V in its environment
// (once the program has ended) and exits with status 1.

#include "app/version.h"
#include "updater/installer.h"
#include "updater/release.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>

using namespace vantoli::release;
using vantoli::compareVersions;
using vantoli::programVersion;

namespace vantoli::release {
// The public key releases must be signed with, in hex: the build's
// configured key (src/updater/CMakeLists.txt), the tests' own for theirs.
extern const char kTrustedKeyHex[];
} // namespace vantoli::release

namespace {

// No progress for this long ends a download.
constexpr int kStallMs = 30000;
constexpr int kWaitForProgramMs = 60000;
constexpr qint64 kMaxArchiveBytes = 2LL << 30;

bool processGone(qint64 pid) {
    return pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
}

bool waitForEnd(qint64 pid) {
    QElapsedTimer waited;
    waited.start();
    while (!processGone(pid)) {
        if (waited.elapsed() > kWaitForProgramMs)
            return false;
        QThread::msleep(100);
    }
    return true;
}

// What a refused update falls back to: the program quit to be updated, so
// its installed version is started again once it has ended, told which
// version was refused so that it does not offer that one again at once.
struct Fallback {
    bool armed = false;
    qint64 pid = 0;
    QString install, program, version;
    QStringList args;

    void run() const {
        if (!armed || program.isEmpty() || !waitForEnd(pid))
            return;
        QProcess p;
        p.setProgram(install + u'/' + program);
        p.setArguments(args);
        p.setWorkingDirectory(install);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VANTOLI_UPDATE_REFUSED"), version);
        p.setProcessEnvironment(env);
        if (!p.startDetached())
            std::fprintf(stderr, "vantoli-update: %s could not be started again\n",
                         QFile::encodeName(p.program()).constData());
    }
};
Fallback fallback;

int fail(const QString &why) {
    std::fprintf(stderr, "vantoli-update: %s; nothing was changed\n", why.toLocal8Bit().constData());
    std::fflush(stderr);
    fallback.run();
    return 1;
}

int usage(const QString &why) {
    std::fprintf(stderr,
                 "vantoli-update: %s\n"
                 "usage: vantoli-update --content-base URL --version V --install DIR\n"
                 "                      [--installed-version W] [--wait-pid PID] [--restart NAME] [-- ARGS...]\n",
                 why.toLocal8Bit().constData());
    return 2;
}

// Fetches url into `out`, refusing more than maxBytes. "" on success.
QString download(QNetworkAccessManager &net, const QString &url, QIODevice &out, qint64 maxBytes) {
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = net.get(request);
    // The updater has no window and nothing else to do meanwhile: this loop,
    // run once per download, is its only one, never inside another.
    QEventLoop loop;
    QTimer stall;
    stall.setSingleShot(true);
    stall.setInterval(kStallMs);
    qint64 received = 0;
    QString error;
    QObject::connect(&stall, &QTimer::timeout, reply, [&] {
        error = QStringLiteral("the download stalled");
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        stall.start();
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (received > maxBytes) {
            error = QStringLiteral("the server sent more than the release holds");
            reply->abort();
            return;
        }
        if (out.write(chunk) != chunk.size()) {
            error = QStringLiteral("cannot write the download");
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    stall.start();
    loop.exec();
    if (error.isEmpty()) {
        const QByteArray rest = reply->readAll();
        received += rest.size();
        if (received > maxBytes || out.write(rest) != rest.size())
            error = QStringLiteral("the server sent more than the release holds");
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (error.isEmpty() && reply->error() != QNetworkReply::NoError)
        error = reply->errorString();
    else if (error.isEmpty() && status != 200)
        error = QStringLiteral("HTTP status %1").arg(status);
    reply->deleteLater();
    return error.isEmpty() ? QString() : QStringLiteral("cannot download %1: %2").arg(url, error);
}

QByteArray builtInKey() {
    const QByteArray key = fromHex(QByteArray(kTrustedKeyHex), kKeyBytes).value_or(QByteArray());
    return retiredKey(key) ? QByteArray() : key;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString base, version, install, restart, installedVersion;
    qint64 waitPid = 0;
    QStringList programArgs;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--") {
            programArgs = args.mid(i + 1);
            break;
        }
        if (i + 1 >= args.size())
            return usage(QStringLiteral("%1 needs a value").arg(a));
        const QString v = args[++i];
        if (a == u"--content-base")
            base = v;
        else if (a == u"--version")
            version = v;
        else if (a == u"--install")
            install = v;
        else if (a == u"--installed-version")
            installedVersion = v;
        else if (a == u"--restart")
            restart = v;
        else if (a == u"--wait-pid")
            waitPid = v.toLongLong();
        else
            return usage(QStringLiteral("unknown argument %1").arg(a));
    }
    if (install.isEmpty() || !QFileInfo(install).isAbsolute() || !QFileInfo(install).isDir())
        return usage(QStringLiteral("--install must name the program's folder by its absolute path"));
    install = QDir::cleanPath(install);
    if (!restart.isEmpty() && (restart.contains(u'/') || restart == u"." || restart == u".."))
        return usage(QStringLiteral("--restart takes the program's file name"));
    // From here on the program has quit for this update: whatever fails,
    // it is started again.
    fallback = {true, waitPid, install, restart, version, programArgs};
    if (!(base.startsWith(u"http://") || base.startsWith(u"https://")) || !base.endsWith(u'/'))
        return fail(QStringLiteral("--content-base must be an http(s) address ending in \"/\""));
    if (!validVersion(version))
        return fail(QStringLiteral("the version \"%1\" cannot be fetched (letters, digits, \".\", \"_\" and \"-\" only)")
                        .arg(version));
    // Never an older release, nor the installed one again: the floor is
    // this updater's own version, raised by the program's when that is newer.
    QString installed = programVersion();
    if (compareVersions(installedVersion, installed).value_or(-1) > 0)
        installed = installedVersion;
    const auto order = compareVersions(version, installed);
    if (!order)
        return fail(QStringLiteral("the version \"%1\" is not a release version (numbers separated by dots)")
                        .arg(version));
    if (*order <= 0)
        return fail(QStringLiteral("version %1 is not newer than the installed version %2").arg(version, installed));
    const QByteArray key = builtInKey();
    if (key.isEmpty())
        return fail(QStringLiteral("this build carries no valid release key"));

    // The work folder sits beside the install folder, so the new version
    // moves into place by rename.
    const QFileInfo installInfo(install);
    QByteArray work = QFile::encodeName(installInfo.absolutePath() + QStringLiteral("/.") + installInfo.fileName() +
                                        QStringLiteral(".update-XXXXXX"));
    if (!::mkdtemp(work.data()))
        return fail(QStringLiteral("cannot make a folder beside %1").arg(install));
    const QString workFolder = QFile::decodeName(work);
    struct RemoveWork {
        QString folder;
        ~RemoveWork() { QDir(folder).removeRecursively(); }
    } removeWork{workFolder};

    QNetworkAccessManager net;
    const QString releaseUrl = base + QStringLiteral("update/") + version + u'/';
    QFile manifestFile(workFolder + u'/' + kManifestName), sigFile(workFolder + u'/' + kSignatureName),
        archive(workFolder + u'/' + kArchiveName);
    for (auto [file, limit] : {std::pair{&manifestFile, qint64(4096)}, std::pair{&sigFile, qint64(1024)}}) {
        if (!file->open(QIODevice::ReadWrite))
            return fail(QStringLiteral("cannot write into %1").arg(workFolder));
        if (QString err = download(net, releaseUrl + QFileInfo(*file).fileName(), *file, limit); !err.isEmpty())
            return fail(err);
        file->seek(0);
    }
    const QByteArray manifest = manifestFile.readAll(), signature = sigFile.readAll();
    // The archive's size is only taken from a manifest whose signature holds.
    const auto sig = fromHex(signature, kSignatureBytes);
    const auto m = parseManifest(manifest);
    if (!sig || !verify(key, manifest, *sig))
        return fail(QStringLiteral("the release's signature does not verify; it was not signed with this program's key"));
    if (!m || m->size > kMaxArchiveBytes)
        return fail(QStringLiteral("the release's manifest is malformed"));
    if (!archive.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write into %1").arg(workFolder));
    if (QString err = download(net, releaseUrl + kArchiveName, archive, m->size); !err.isEmpty())
        return fail(err);
    archive.close();
    if (QString err = checkRelease(key, version, manifest, signature, archive.fileName()); !err.isEmpty())
        return fail(err);
    std::printf("vantoli-update: release %s verified\n", version.toUtf8().constData());
    std::fflush(stdout);

    if (!waitForEnd(waitPid)) {
        fallback.armed = false; // it still runs
        return fail(QStringLiteral("the program (process %1) did not end").arg(waitPid));
    }

    if (QString err = installRelease(archive.fileName(), install, restart.isEmpty() ? QStringLiteral("vantoli") : restart,
                                     workFolder);
        !err.isEmpty())
        return fail(err);
    std::printf("vantoli-update: version %s installed in %s (the previous one is in %s%s)\n",
                version.toUtf8().constData(), QFile::encodeName(install).constData(),
                QFile::encodeName(install).constData(), kPreviousSuffix.toUtf8().constData());
    std::fflush(stdout);

    if (!restart.isEmpty() && !QProcess::startDetached(install + u'/' + restart, programArgs, install)) {
        std::fprintf(stderr, "vantoli-update: installed, but %s could not be started\n",
                     QFile::encodeName(install + u'/' + restart).constData());
        return 1;
    }
    return 0;
}
