#include "app/qt_dialogs.h"

#include "platform/child_process.h"
#include "platform/file_name.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace vantoli {

// The program's only nested event loops are these modal boxes and choosers:
// the caller's next step depends on the answer (update now or not, delete
// the files or not, which file to play), as the interface promises. Timers
// and replies keep running meanwhile; input goes to the box.

bool QtDialogs::askYesNo(const QString &title, const QString &text) {
    return QMessageBox::question(owner_, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void QtDialogs::showMessage(const QString &title, const QString &text) {
    QMessageBox::information(owner_, title, text, QMessageBox::Ok);
}

void QtDialogs::showQuestionMessage(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok, owner_);
    box.exec();
}

// Through xdg-open started as every program is, so the browser or file
// manager holds none of the window's descriptors; Qt's own way only when
// there is no xdg-open.
void QtDialogs::openUrl(const QString &url) {
    if (!openWithDesktop(url))
        QDesktopServices::openUrl(QUrl(url));
}

void QtDialogs::openFolder(const QString &folder) {
    // The desktop's handler for folders is its file manager.
    const QUrl address = QUrl::fromLocalFile(folder);
    if (!openWithDesktop(address.toString()))
        QDesktopServices::openUrl(address);
}

QString QtDialogs::chooseFile(const QString &title, const QString &filter) {
    // As a URL: a desktop's own file chooser hands over a name's bytes that
    // are not UTF-8 intact there (Qt's own dialog has lost them already).
    const QUrl chosen = QFileDialog::getOpenFileUrl(owner_, title, QUrl(), filter, nullptr, {},
                                                      {QStringLiteral("file")});
    return chosen.isLocalFile() ? fileNameFromUrl(chosen) : QString();
}

QString QtDialogs::chooseFolder(const QString &title, const QString &initialFolder) {
    // Only existing folders can be chosen; the dialog shows the selected
    // folder's path in its name field.
    const QString folder = QFileDialog::getExistingDirectory(
        owner_, title, initialFolder, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.size() > 1 && folder.endsWith(u'/'))
        return folder.chopped(1);
    return folder;
}

} // namespace vantoli
