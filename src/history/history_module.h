#pragma once
// The history's part of the main window: the commands of the task menus and
// of the history label, and the list panes shown again whenever the store
// writes one of their pages.

#include "history/history_commands.h"
#include "history/history_files.h"

#include <QObject>

#include <functional>

namespace vantoli {

struct HistoryModuleServices {
    HistoryStore *history = nullptr;
    Dialogs *dialogs = nullptr;
    // The window's side of the commands (HistoryCommandsHost, one to one).
    std::function<bool()> localListShown;
    std::function<QString()> contextEntry;
    // Shows an address in the pane of a list.
    std::function<void(HistoryList, const QString &url)> showInListPane;
    std::function<void(const QPoint &)> popupTaskMenu;
    std::function<QString()> downloadFolder;
    std::function<bool()> isPinned;
    std::function<void()> unpin;
    std::function<void(const QString &)> balloon;
};

class HistoryModule final : public QObject, private HistoryCommandsHost {
    Q_OBJECT
public:
    explicit HistoryModule(HistoryModuleServices services);

    HistoryCommands &commands() { return commands_; }
    // From now on a list page written anew shows in its pane.
    void startReloadingPanes();

private:
    bool localListShown() const override { return s_.localListShown(); }
    QString contextEntry() const override { return s_.contextEntry(); }
    void navigateTaskList(const QString &link) override { s_.showInListPane(HistoryList::NetworkTasks, link); }
    void popupTaskMenu(const QPoint &globalPos) override { s_.popupTaskMenu(globalPos); }
    QString downloadFolder() override { return s_.downloadFolder(); }
    bool isPinned() const override { return s_.isPinned(); }
    void unpin() override { s_.unpin(); }
    void balloon(const QString &text) override { s_.balloon(text); }

    HistoryModuleServices s_;
    DiskFolderFiles files_;
    HistoryCommands commands_;
};

} // namespace vantoli
