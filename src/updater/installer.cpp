#include "updater/installer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>

namespace fs = std::filesystem;

namespace vantoli::release {

namespace {

// Swaps two paths in one step where the file system can; otherwise moves
// `from` into place with two renames, putting the old one back on failure.
QString swapInto(const QByteArray &from, const QByteArray &to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS)
        return QStringLiteral("cannot swap the program folder: ") + QString::fromLocal8Bit(std::strerror(errno));
    const QByteArray aside = from + ".old";
    if (std::rename(to.constData(), aside.constData()) != 0)
        return QStringLiteral("cannot move the program folder: ") + QString::fromLocal8Bit(std::strerror(errno));
    if (std::rename(from.constData(), to.constData()) != 0) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        std::rename(aside.constData(), to.constData());
        return QStringLiteral("cannot move the new version into place: ") + why;
    }
    // Leave the old version where the exchange would have put it.
    std::rename(aside.constData(), from.constData());
    return {};
}

} // namespace

QString checkRelease(const QByteArray &publicKey, const QString &version, const QByteArray &manifest,
                     const QByteArray &signature, const QString &archivePath) {
    const auto sig = fromHex(signature, kSignatureBytes);
    if (!sig || !verify(publicKey, manifest, *sig))
        return QStringLiteral("the release's signature does not verify; it was not signed with this program's key");
    const auto m = parseManifest(manifest);
    if (!m)
        return QStringLiteral("the release's manifest is malformed");
    if (m->version != version)
        return QStringLiteral("the release is version %1, not the announced %2").arg(m->version, version);
    QFile f(archivePath);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("the release archive cannot be read");
    if (f.size() != m->size)
        return QStringLiteral("the release archive is incomplete (%1 of %2 bytes)").arg(f.size()).arg(m->size);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f) || hash.result() != m->sha256)
        return QStringLiteral("the release archive is damaged (its hash does not match)");
    return {};
}

QString installRelease(const QString &archivePath, const QString &installFolder, const QString &programName,
                       const QString &workFolder) {
    const QString staged = workFolder + QStringLiteral("/new");
    if (!QDir().mkdir(staged))
        return QStringLiteral("cannot make a folder beside the program folder");
    if (QString err = unpackArchive(archivePath, staged); !err.isEmpty())
        return err;
    const QFileInfo program(staged + u'/' + programName);
    if (!program.isFile() || !program.isExecutable())
        return QStringLiteral("the release holds no program %1").arg(programName);

    // What the release does not replace stays: the user's settings and
    // histories and the player's folder, copied so the previous version
    // stays whole.
    std::error_code ec;
    for (const fs::directory_entry &e : fs::directory_iterator(QFile::encodeName(installFolder).toStdString(), ec)) {
        const fs::path target = fs::path(QFile::encodeName(staged).toStdString()) / e.path().filename();
        if (fs::exists(fs::symlink_status(target)))
            continue;
        fs::copy(e.path(), target,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        if (ec)
            return QStringLiteral("cannot keep %1 for the new version: %2")
                .arg(QString::fromStdString(e.path().string()), QString::fromLocal8Bit(ec.message().c_str()));
    }
    if (ec)
        return QStringLiteral("cannot read the program folder: ") + QString::fromLocal8Bit(ec.message().c_str());

    const QByteArray install = QFile::encodeName(QDir::cleanPath(installFolder));
    const QByteArray previous = install + QFile::encodeName(kPreviousSuffix);
    // The version before the previous one goes into the work folder first,
    // so it is only dropped once the swap has worked.
    const QByteArray older = QFile::encodeName(workFolder + QStringLiteral("/older"));
    if (fs::exists(previous.toStdString()) && std::rename(previous.constData(), older.constData()) != 0)
        return QStringLiteral("cannot move the kept previous version aside: ") +
               QString::fromLocal8Bit(std::strerror(errno));
    if (QString err = swapInto(QFile::encodeName(staged), install); !err.isEmpty()) {
        std::rename(older.constData(), previous.constData());
        return err;
    }
    // `staged` now holds the version that was installed.
    if (std::rename(QFile::encodeName(staged).constData(), previous.constData()) != 0)
        std::fprintf(stderr, "vantoli-update: installed, but the previous version could not be kept\n");
    return {};
}

} // namespace vantoli::release
