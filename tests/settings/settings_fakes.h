#pragma once
// A host for the settings dialog: App.ini in a temporary folder, fake
// dialogs, and player programs and cache folder that only record calls.

#include "support/fake_dialogs.h"
#include "app/settings_file.h"
#include "settings/settings_dialog.h"

#include <QStringList>

#include <functional>
#include <QTemporaryDir>

namespace vantoli {

// Fake dialogs that can act while a message is up, as the user's other
// windows may.
class HookedDialogs : public FakeDialogs {
public:
    std::function<void()> onMessage;
    void showMessage(const QString &title, const QString &text) override {
        FakeDialogs::showMessage(title, text);
        if (onMessage)
            onMessage();
    }
};

class FakeSettingsHost : public SettingsDialogHost {
public:
    QTemporaryDir dir;
    Settings ini{dir.filePath(QStringLiteral("App.ini"))};
    HookedDialogs dialogsFake;
    QString folder = QStringLiteral("/opt/peer/");    // player folder
    QString cacheFolder = QStringLiteral("/srv/media/"); // what the player files name
    bool writesFail = false;
    QStringList calls; // in order
    std::function<void()> onEnd; // runs while the programs are ended

    const Settings &settings() const override { return ini; }
    Dialogs &dialogs() override { return dialogsFake; }
    QString playerFolder() override { return folder; }
    QString lookUpCacheFolder(const QString &playerFolder) override {
        calls.append(QStringLiteral("lookUp ") + playerFolder);
        return cacheFolder;
    }
    void setCacheFolder(const QString &playerFolder, const QString &newFolder) override {
        calls.append(QStringLiteral("set ") + playerFolder + u' ' + newFolder);
        if (!writesFail && !playerFolder.isEmpty() && !newFolder.isEmpty())
            cacheFolder = newFolder;
    }
    QString browseForFolder(const QString &initial, const QString &title) override {
        return dialogsFake.chooseFolder(title, initial);
    }
    QString defaultCacheFolder() const override { return QStringLiteral("/home/u/Media/"); }
    void endPlayerPrograms() override {
        calls.append(QStringLiteral("end"));
        if (onEnd)
            onEnd();
    }
    void startTerminal() override { calls.append(QStringLiteral("start")); }
    QString homePageUrl() const override { return QStringLiteral("http://127.0.0.1:8260/"); }
};

class FakeSettingsView : public SettingsDialogView {
public:
    QStringList *calls = nullptr;
    bool noticeShown = false;
    void setChangingNoticeVisible(bool visible) override {
        noticeShown = visible;
        if (calls)
            calls->append(visible ? QStringLiteral("notice on") : QStringLiteral("notice off"));
    }
};

} // namespace vantoli
