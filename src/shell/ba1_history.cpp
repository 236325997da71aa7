// History commands. Wired into the main window here: the commands of the
// task menus and the history label's click.
#include "shell/ba1.h"

#include "history/history_commands.h"
#include "playback/cache_folder.h"
#include "playback/player_processes.h"
#include "shell/label_colours.h"

#include <QLabel>

namespace vantoli::shell {

struct BA1::HistoryWiring final : HistoryCommandsHost {
    HistoryWiring(BA1 &w) : window(w), commands(*this, w.history_, w.dialogs_, files) {}

    bool localListShown() const override { return window.localListShown(); }
    QString contextEntry() const override { return window.paneEvents_->contextEntry(); }
    void navigateTaskList(const QString &link) override { window.navigatePane(kNetworkListPane, link); }
    void popupTaskMenu(const QPoint &globalPos) override {
        if (window.menus_)
            tip::popup(window.menus_->c_fie(), globalPos);
    }
    QString downloadFolder() override {
        return lookUpCacheFolder(window.processes_ ? window.processes_->configFolder() : QString());
    }
    bool isPinned() const override { return window.modes_.pinned(); }
    void unpin() override { window.npc_Click(4); }
    void balloon(const QString &text) override { window.balloon(text); }

    BA1 &window;
    DiskFolderFiles files;
    HistoryCommands commands;
};

void BA1::wireHistoryCommands() {
    historyCommands_ = {new HistoryWiring(*this), [](HistoryWiring *h) { delete h; }};
    menuTargets_.history = &historyCommands_->commands;
}

void BA1::historyLabelClicked(const QPoint &globalPos) {
    setTextColour(static_cast<QLabel *>(control(QStringLiteral("qk"))), kQkGrey);
    if (historyCommands_)
        historyCommands_->commands.labelClicked(globalPos);
}

} // namespace vantoli::shell
