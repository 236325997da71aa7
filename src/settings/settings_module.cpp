#include "settings/settings_module.h"

#include "playback/cache_folder.h"
#include "playback/player_processes.h"
#include "settings/ba3.h"

namespace vantoli {

void SettingsModule::unload() { delete dialog_.data(); }

void SettingsModule::skinChanged() {
    if (dialog_)
        dialog_->F2_Paint();
}

void SettingsModule::showSettingsDialog() {
    // A new opening loads everything again; an open dialog keeps its state.
    if (!dialog_)
        dialog_ = new BA3(*this, *s_.skin, s_.window);
    dialog_->show();
    dialog_->raise();
}

void SettingsModule::selectSettingsTab(int tab) {
    if (dialog_)
        dialog_->d_z_Click(tab);
}

void SettingsModule::focusSettingsDialog() {
    if (!dialog_)
        return;
    dialog_->activateWindow();
    dialog_->setFocus(Qt::ActiveWindowFocusReason);
}

// Where the player's configuration is kept: the user's own folder.
QString SettingsModule::playerFolder() { return s_.processes ? s_.processes->configFolder() : QString(); }

QString SettingsModule::lookUpCacheFolder(const QString &playerFolder) {
    return vantoli::lookUpCacheFolder(playerFolder);
}

void SettingsModule::setCacheFolder(const QString &playerFolder, const QString &folder) {
    vantoli::setCacheFolder(playerFolder, folder);
}

QString SettingsModule::browseForFolder(const QString &initialFolder, const QString &title) {
    return vantoli::browseForFolder(*s_.dialogs, initialFolder, title);
}

QString SettingsModule::defaultCacheFolder() const { return fallbackCacheFolder(); }

void SettingsModule::endPlayerPrograms() {
    if (s_.processes)
        s_.processes->endPlayerPrograms();
}

void SettingsModule::startTerminal() {
    if (s_.processes)
        s_.processes->startTerminal();
}

} // namespace vantoli
