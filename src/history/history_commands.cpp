#include "history/history_commands.h"

#include "app/dialogs.h"
#include "catalog/escape.h"
#include "catalog/links.h"
#include "history/history_files.h"
#include "platform/text_file.h"
#include "terminal/transfer_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace vantoli {

namespace {

const QString kLocalListMark = QStringLiteral("列表");

bool isPlainFileName(const QString &name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

QString withSlash(const QString &folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

// The entry itself is there (a link counts, whether or not it leads anywhere).
bool entryExists(const QString &path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

// ---- files of the download folder -----------------------------------------

QStringList DiskFolderFiles::listFiles(const QString &folder) {
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return {};
    // System brings in broken links; what is neither a file nor a link to
    // one (devices, sockets, links to folders) is sorted out below.
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList names;
    for (const QFileInfo &info : entries) {
        const bool file = info.isSymLink() ? !info.isDir() : info.isFile();
        if (file && !info.fileName().startsWith(u'.'))
            names << info.fileName();
    }
    return names;
}

bool DiskFolderFiles::removeFile(const QString &folder, const QString &name) {
    if (!isPlainFileName(name) || !QDir::isAbsolutePath(folder))
        return false;
    const QString path = withSlash(folder) + name;
    if (!entryExists(path))
        return true;
    // A folder that took the name since the listing is not deleted.
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
        return false;
    QFile::remove(path); // unlink: a link goes, its target stays
    return !entryExists(path);
}

bool DiskFolderFiles::hasFile(const QString &folder, const QString &name) {
    if (!isPlainFileName(name) || !QDir::isAbsolutePath(folder))
        return false;
    return QFileInfo(withSlash(folder) + name).isFile();
}

// ---- the stem rule ---------------------------------------------------------

QString downloadFileName(const QString &escapedAddress) {
    const QString address = unescapeText(escapedAddress);
    if (!address.contains(u'|'))
        return {};
    return unescapeText(address.split(u'|').value(2));
}

QString transferItemUrl(const QString &escapedAddress) {
    const QString url = unescapeText(escapedAddress);
    return terminal::isFetchableUrl(url) ? url : QString();
}

namespace {
// A download still running is recorded only every few MiB; its file has
// grown since.
bool isRecordedDownload(const QString &folder, const terminal::ItemState &record) {
    const bool complete = record.total >= 0 && record.have >= record.total;
    return terminal::fileMatchesRecord(folder, record, !complete);
}
} // namespace

QString DiskFolderFiles::transferFile(const QString &folder, const QString &url) {
    if (url.isEmpty() || !QDir::isAbsolutePath(folder))
        return {};
    const auto record = terminal::findRecord(folder, url);
    return record && isRecordedDownload(folder, *record) ? record->name : QString();
}

bool DiskFolderFiles::removeTransferFile(const QString &folder, const QString &url) {
    if (url.isEmpty() || !QDir::isAbsolutePath(folder))
        return false;
    const auto record = terminal::findRecord(folder, url);
    if (!record)
        return true;
    const QString path = withSlash(folder) + record->name;
    if (isRecordedDownload(folder, *record))
        QFile::remove(path);
    QFile::remove(withSlash(folder) + terminal::stateFileName(record->name));
    return !entryExists(path) || !isRecordedDownload(folder, *record);
}

QString downloadNamePrefix(const QString &fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString stem = fileName.left(dot);
    const qsizetype n = stem.size();
    // Half the length, a half rounded to the even neighbour: 9 -> 4, 11 -> 6.
    qsizetype k = n / 2;
    if (n % 2 == 1 && k % 2 == 1)
        ++k;
    if (k < 3)
        return stem;
    return stem.left(k);
}

// ---- commands --------------------------------------------------------------

HistoryCommands::HistoryCommands(HistoryCommandsHost &host, HistoryStore &history, Dialogs &dialogs,
                                 FolderFiles &files)
    : host_(host), history_(history), dialogs_(dialogs), files_(files) {}

void HistoryCommands::labelClicked(const QPoint &globalPos) {
    if (!host_.localListShown()) {
        host_.popupTaskMenu(globalPos);
        return;
    }
    if (dialogs_.askYesNo(kDialogTitle, kClearLocalListQuestion))
        history_.clearHistory(HistoryList::LocalPlays);
}

void HistoryCommands::qk_xl() {
    if (host_.localListShown())
        return;
    if (dialogs_.askYesNo(kDialogTitle, kClearTaskListQuestion))
        history_.clearHistory(HistoryList::NetworkTasks);
}

void HistoryCommands::CCC() {
    QString entry = host_.contextEntry();
    if (!entry.contains(QStringLiteral("//")))
        return;
    host_.navigateTaskList(kHistoryOpenScheme + entry.remove(kHistoryOpenScheme));
}

void HistoryCommands::ddd() {
    QString entry = host_.contextEntry();
    if (!entry.contains(QStringLiteral("//")))
        return;
    host_.navigateTaskList(kHistoryDeleteScheme + entry.remove(kHistoryOpenScheme));
}

void HistoryCommands::eee() {
    QString n = host_.contextEntry();
    if (!n.contains(QStringLiteral("//")))
        return;
    n.remove(kHistoryOpenScheme).remove(kHistoryDeleteScheme);
    if (n.endsWith(u'/'))
        n.chop(1);
    // The entry goes in every case, whatever happens to its files.
    const QString deleteLink = kHistoryDeleteScheme + n;

    QString address;
    bool ok = false;
    const qint64 line = n.toLongLong(&ok);
    if (const auto lines = readTextLines(history_.filePath(HistoryList::NetworkTasks));
        ok && lines && line >= 1 && line <= lines->size()) {
        address = lines->at(line - 1).split(u'|').value(3);
    }
    const QString prefix = downloadNamePrefix(downloadFileName(address));
    // The transfer program knows exactly which file it made for an http(s)
    // item, so only that file is offered, never others that share a prefix.
    const QString url = prefix.isEmpty() ? transferItemUrl(address) : QString();
    if (prefix.isEmpty() && url.isEmpty()) {
        host_.navigateTaskList(deleteLink);
        return;
    }

    const QString folder = host_.downloadFolder();
    QStringList matches;
    if (!url.isEmpty()) {
        if (const QString name = files_.transferFile(folder, url); !name.isEmpty())
            matches << name;
    } else {
        for (const QString &name : files_.listFiles(folder)) {
            if (name.startsWith(prefix))
                matches << name;
        }
    }
    if (!matches.isEmpty() && !url.isEmpty()) {
        const QString question = QStringLiteral("确定要删除 [") + folder + QStringLiteral("] 下面的这些文件吗？\n\n") +
                                 matches.join(u'\n') + u'\n';
        if (dialogs_.askYesNo(kDialogTitle, question)) {
            if (!files_.removeTransferFile(folder, url))
                host_.balloon(kFilesInUseBalloon);
        } else {
            dialogs_.openFolder(folder);
        }
    } else if (!matches.isEmpty()) {
        const QString question = QStringLiteral("确定要删除 [") + folder + QStringLiteral("] 下面的这些文件吗？\n\n") +
                                 matches.join(u'\n') + u'\n';
        if (dialogs_.askYesNo(kDialogTitle, question)) {
            bool failed = false;
            for (const QString &name : matches) {
                if (!files_.removeFile(folder, name))
                    failed = true;
                // The transfer program's record of a deleted download goes too.
                else if (files_.hasFile(folder, terminal::stateFileName(name)))
                    files_.removeFile(folder, terminal::stateFileName(name));
            }
            if (failed)
                host_.balloon(kFilesInUseBalloon);
        } else {
            dialogs_.openFolder(folder);
        }
    }
    host_.navigateTaskList(deleteLink);
}

void HistoryCommands::qk_xw() {
    const QString folder = host_.downloadFolder();
    if (files_.listFiles(folder).isEmpty()) {
        dialogs_.showMessage(kDialogTitle, QStringLiteral("路径") + folder + QStringLiteral("还没有任何影片。"));
        return;
    }
    // A window on top would hide the file manager.
    if (host_.isPinned())
        host_.unpin();
    dialogs_.openFolder(folder);
}

} // namespace vantoli
