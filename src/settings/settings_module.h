#pragma once
// The settings dialog's part of the main window: the menu items "软件设置"
// and "关于我们" open BA3, which reaches App.ini, the player programs and
// their cache folder through this module.

#include "menus/popup_menus.h"
#include "settings/settings_dialog.h"

#include <QPointer>

#include <functional>

class QWidget;

namespace vantoli {

class PlayerProcesses;
namespace shell {
class SkinSet;
}
class BA3;

struct SettingsModuleServices {
    QWidget *window = nullptr; // the dialog's owner
    const shell::SkinSet *skin = nullptr;
    const Settings *settings = nullptr;
    Dialogs *dialogs = nullptr;
    PlayerProcesses *processes = nullptr; // may be null
    QString homePage;
    std::function<void()> shengji; // the manual update check
};

class SettingsModule final : public SettingsMenuCommands, public SettingsDialogHost {
public:
    explicit SettingsModule(SettingsModuleServices services) : s_(std::move(services)) {}
    ~SettingsModule() override { unload(); }

    // The dialog goes (exit routine).
    void unload();
    // An open dialog repaints in the new skin.
    void skinChanged();

    // SettingsMenuCommands.
    void showSettingsDialog() override;
    void selectSettingsTab(int tab) override;
    void focusSettingsDialog() override;
    void shengji() override { s_.shengji(); }

    // SettingsDialogHost.
    const Settings &settings() const override { return *s_.settings; }
    Dialogs &dialogs() override { return *s_.dialogs; }
    QString playerFolder() override;
    QString lookUpCacheFolder(const QString &playerFolder) override;
    void setCacheFolder(const QString &playerFolder, const QString &folder) override;
    QString browseForFolder(const QString &initialFolder, const QString &title) override;
    QString defaultCacheFolder() const override;
    void endPlayerPrograms() override;
    void startTerminal() override;
    QString homePageUrl() const override { return s_.homePage; }

private:
    SettingsModuleServices s_;
    QPointer<BA3> dialog_;
};

} // namespace vantoli
