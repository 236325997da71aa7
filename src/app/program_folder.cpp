#include "app/program_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vantoli {

bool isInstalledLayout(const QString &executableFolder) {
    const QDir bin(executableFolder);
    return bin.dirName() == u"bin" && QFileInfo(bin.filePath(QStringLiteral("../lib/vantoli"))).isDir();
}

QString partsFolder(const QString &executableFolder) {
    QString folder = isInstalledLayout(executableFolder)
                         ? QDir::cleanPath(executableFolder + QStringLiteral("/../lib/vantoli"))
                         : executableFolder;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString playerProgramsFolder(const QString &executableFolder) {
    return partsFolder(executableFolder) + QStringLiteral("Peer/");
}

QString resolveProgramFolder(const QString &homeOption, const QString &executableFolder) {
    QString folder = homeOption;
    if (folder.isEmpty())
        folder = qEnvironmentVariable("VANTOLI_HOME");
    if (folder.isEmpty()) {
        const QFileInfo exe(executableFolder);
        // An installed program never writes beside itself, even when the
        // prefix is writable (a user's ~/.local, a test's staging folder).
        if (exe.isDir() && exe.isWritable() && !isInstalledLayout(executableFolder))
            folder = executableFolder;
        else
            folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     QStringLiteral("/vantoli");
    }
    QDir().mkpath(folder);
    folder = QDir(folder).absolutePath();
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

} // namespace vantoli
