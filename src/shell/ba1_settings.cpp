// The settings dialog BA3. Wired into the main window here: the menu items
// "软件设置" and "关于我们" open it, and it reaches App.ini, the player
// programs and their cache folder through this window.
#include "shell/ba1.h"

#include "playback/cache_folder.h"
#include "playback/player_processes.h"
#include "settings/ba3.h"

#include <QPointer>

namespace vantoli::shell {

struct BA1::SettingsWiring final : public SettingsMenuCommands, public SettingsDialogHost {
    SettingsWiring(BA1 &window, Dialogs &dialogs, std::unique_ptr<PlayerProcesses> &processes, QString homePage)
        : window_(window), dialogs_(dialogs), processes_(processes), homePage_(std::move(homePage)) {}
    ~SettingsWiring() override { unload(); }

    void unload() { delete dialog_.data(); }

    // SettingsMenuCommands.
    void showSettingsDialog() override {
        // A new opening loads everything again; an open dialog keeps its state.
        if (!dialog_)
            dialog_ = new BA3(*this, window_.skin(), &window_);
        dialog_->show();
        dialog_->raise();
    }
    void selectSettingsTab(int tab) override {
        if (dialog_)
            dialog_->d_z_Click(tab);
    }
    void focusSettingsDialog() override {
        if (!dialog_)
            return;
        dialog_->activateWindow();
        dialog_->setFocus(Qt::ActiveWindowFocusReason);
    }
    void shengji() override { window_.shengji(); }

    // SettingsDialogHost.
    const Settings &settings() const override { return window_.settings_; }
    Dialogs &dialogs() override { return dialogs_; }
    // Where the player's configuration is kept: the user's own folder.
    QString playerFolder() override { return processes_ ? processes_->configFolder() : QString(); }
    QString lookUpCacheFolder(const QString &playerFolder) override { return vantoli::lookUpCacheFolder(playerFolder); }
    void setCacheFolder(const QString &playerFolder, const QString &folder) override {
        vantoli::setCacheFolder(playerFolder, folder);
    }
    QString browseForFolder(const QString &initialFolder, const QString &title) override {
        return vantoli::browseForFolder(dialogs_, initialFolder, title);
    }
    QString defaultCacheFolder() const override { return fallbackCacheFolder(); }
    void endPlayerPrograms() override {
        if (processes_)
            processes_->endPlayerPrograms();
    }
    void startTerminal() override {
        if (processes_)
            processes_->startTerminal();
    }
    QString homePageUrl() const override { return homePage_; }

    void skinChanged() {
        if (dialog_)
            dialog_->F2_Paint();
    }

    BA1 &window_;
    Dialogs &dialogs_;
    std::unique_ptr<PlayerProcesses> &processes_;
    QString homePage_;
    QPointer<BA3> dialog_;
};

void BA1::wireSettings() {
    settingsDialog_ = {new SettingsWiring(*this, dialogs_, processes_, options_.contentBase),
                       [](SettingsWiring *w) { delete w; }};
    menuTargets_.settings = settingsDialog_.get();
}

void BA1::settingsSkinChanged() {
    if (settingsDialog_)
        settingsDialog_->skinChanged();
}

void BA1::unloadSettingsWindow() {
    if (settingsDialog_)
        settingsDialog_->unload();
}

} // namespace vantoli::shell
