#include "app/program_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vantoli {

QString resolveProgramFolder(const QString &homeOption, const QString &executableFolder) {
    QString folder = homeOption;
    if (folder.isEmpty())
        folder = qEnvironmentVariable("VANTOLI_HOME");
    if (folder.isEmpty()) {
        const QFileInfo exe(executableFolder);
        if (exe.isDir() && exe.isWritable())
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
