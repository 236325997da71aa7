#include "platform/private_folder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace vantoli {

bool isPrivateFolder(const QString &path) {
    struct stat st {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
}

QString privateRuntimeFolder(QString *why) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    // No usable session folder: one of our own in the temporary folder. A
    // folder of that name that someone else made, or that others may write
    // into, is refused rather than repaired: files may have been planted.
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("vantoli-%1").arg(::geteuid()));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own))
        return own;
    if (why) {
        *why = QStringLiteral("no private runtime folder: XDG_RUNTIME_DIR (%1) is not a folder of this user with "
                              "mode 0700, and neither is %2")
                   .arg(runtime.isEmpty() ? QStringLiteral("unset") : runtime, own);
    }
    return {};
}

} // namespace vantoli
