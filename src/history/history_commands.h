#pragma once
// The commands that act on the history lists as a whole or on one entry of
// the network-task list from its context menu: clear a list, play or delete
// the entry under the menu, delete it together with what the player
// downloaded for it, and open the player's download folder.
//
// Single entries are opened and deleted by navigating the network-task list
// pane to an "open://" or "delk://" link, so the pane's own link handling
// does the work exactly as for a click in the list.
//
// Downloaded files are only ever deleted by name from a listing of the
// download folder: a name taken from a history line never becomes a path.

#include "menus/popup_menus.h"

#include <QPoint>
#include <QString>
#include <QStringList>

namespace vantoli {

class Dialogs;
class HistoryStore;

// The files directly inside a folder, and deleting one of them.
class FolderFiles {
public:
    virtual ~FolderFiles() = default;
    // Names (without the folder) of the files directly in an absolute
    // folder, sorted by name: regular files and symbolic links that do not
    // lead to a folder. Hidden names (a leading ".") are left out, as are
    // folders. Empty for a relative or unreadable folder.
    virtual QStringList listFiles(const QString &folder) = 0;
    // Deletes the file `name` of the folder (a link itself, never what it
    // points to). True when no such entry is there afterwards. A name that
    // is not a plain file name ("/" in it, "." or "..") deletes nothing and
    // gives false.
    virtual bool removeFile(const QString &folder, const QString &name) = 0;
    // The folder holds a file of this plain name (hidden names included).
    virtual bool hasFile(const QString &folder, const QString &name) = 0;
    // The file the transfer program downloaded for an http(s) address, by
    // the record it keeps beside it: its name while it is still the file
    // the transfer program wrote (same device, inode, size and time); ""
    // when there is none.
    virtual QString transferFile(const QString &folder, const QString &url) = 0;
    // Deletes that file, only while it is still the one recorded, and the
    // record. False when the recorded file is still there afterwards.
    virtual bool removeTransferFile(const QString &folder, const QString &url) = 0;
};

// FolderFiles on the real file system.
class DiskFolderFiles final : public FolderFiles {
public:
    QStringList listFiles(const QString &folder) override;
    bool removeFile(const QString &folder, const QString &name) override;
    bool hasFile(const QString &folder, const QString &name) override;
    QString transferFile(const QString &folder, const QString &url) override;
    bool removeTransferFile(const QString &folder, const QString &url) override;
};

// What the commands need from the main window.
class HistoryCommandsHost {
public:
    virtual ~HistoryCommandsHost() = default;
    // The local-play list is shown (the history label reads "…列表").
    virtual bool localListShown() const = 0;
    // The link of the history row under the last right click in the
    // network-task list, e.g. "open://3".
    virtual QString contextEntry() const = 0;
    // Navigates the network-task list pane.
    virtual void navigateTaskList(const QString &link) = 0;
    // Pops the task menu c_fie up at a global position.
    virtual void popupTaskMenu(const QPoint &globalPos) = 0;
    // The player's download folder, learning the player folder first when
    // needed.
    virtual QString downloadFolder() = 0;
    // The window is pinned on top; unpin() takes it off through its pin
    // button.
    virtual bool isPinned() const = 0;
    virtual void unpin() = 0;
    virtual void balloon(const QString &text) = 0;
};

inline const QString kClearLocalListQuestion = QStringLiteral("确定要删除全部[本地播放]列表吗？");
inline const QString kClearTaskListQuestion = QStringLiteral("确定要删除全部[网络任务]列表吗？");
inline const QString kFilesInUseBalloon = QStringLiteral("部分文件可能正在使用中，未删除成功！请手动删除！");

// The file name a network-task address names: the third "|" field of the
// unescaped address, unescaped; "" for an address without "|" (a web item).
QString downloadFileName(const QString &escapedAddress);

// The http(s) address a network-task address stands for; "" for any
// other address. Its download is the transfer program's, found by address.
QString transferItemUrl(const QString &escapedAddress);

// What a downloaded file's name must start with to belong to the file name:
// the part before its last "." (nothing when there is no "."), cut to half
// its length rounded half to even, or kept whole when that half is below 3.
QString downloadNamePrefix(const QString &fileName);

class HistoryCommands final : public HistoryMenuCommands {
public:
    HistoryCommands(HistoryCommandsHost &host, HistoryStore &history, Dialogs &dialogs, FolderFiles &files);

    // Click on the history label qk: clears the local-play list after asking,
    // or pops the task menu up at the pointer while the task list is shown.
    void labelClicked(const QPoint &globalPos);

    // Plays the context entry.
    void CCC() override;
    // Deletes the context entry.
    void ddd() override;
    // Deletes the context entry and, after asking, its downloaded files.
    void eee() override;
    // Clears the network-task list after asking (nothing while the local
    // list is shown).
    void qk_xl() override;
    // Opens the download folder in the desktop's file manager.
    void qk_xw() override;

private:
    HistoryCommandsHost &host_;
    HistoryStore &history_;
    Dialogs &dialogs_;
    FolderFiles &files_;
};

} // namespace vantoli
