#include "app/startup.h"

#include "app/program_folder.h"
#include "app/app_settings.h"
#include "catalog/links.h"
#include "platform/text_file.h"

#include <QFileInfo>

#include <vector>

namespace vantoli {

namespace {

QString componentFile(const QString &folder) {
    return inFolder(folder, kPlayerComponentFolder + kPlayerComponentFileName);
}

QString identifier(const StartupContext &ctx) {
    return ctx.machineIdentifier ? ctx.machineIdentifier() : QString();
}

void writeFirstStartSettings(const AppSettings &settings, const QString &machineId) {
    for (const AppSetting &s : appSettings()) {
        if (s.firstStart.isNull())
            continue;
        settings.setText(s.id, s.id == AppKey::User_Name ? machineId : s.firstStart.toString());
    }
}

} // namespace

StartupOutcome runStartup(const StartupContext &ctx) {
    const QString &folder = ctx.programFolder;
    MainWindowHost *windowMade = nullptr;
    const auto window = [&]() -> MainWindowHost * {
        if (!windowMade && ctx.makeWindow)
            windowMade = ctx.makeWindow();
        return windowMade;
    };

    // 1. Can a player be created at all?
    if (ctx.playerFactory->probe() == PlayerCreation::CannotBeCreated) {
        const QString component = componentFile(folder);
        if (QFileInfo::exists(component)) {
            ctx.playerFactory->registerComponent(component);
        } else {
            if (ctx.dialogs->askYesNo(kDialogTitle, kNoPlayerQuestion))
                ctx.dialogs->openUrl(kPlayerDownloadPage);
            return StartupOutcome::Exit;
        }
    }

    // 2-3. Settings file, with its defaults on first start.
    const AppSettings settings(Settings(inFolder(folder, kSettingsFile)));
    if (!QFileInfo::exists(settings.file().path()))
        writeFirstStartSettings(settings, identifier(ctx));

    // 4. Read the values the repair pass looks at, as numbers the way the
    // program reads them later ("2.0" is 2; text that is no number is 0).
    const QString mainName = settings.text(AppKey::main_Name);
    const QString verName = settings.text(AppKey::Ver_Name);
    const double ts = settings.number(AppKey::ts);
    std::vector<AppKey> zero;
    for (const AppSetting &s : appSettings())
        if (s.repaired && settings.number(s.id) == 0)
            zero.push_back(s.id);

    // 5. Every start refreshes the machine identifier.
    settings.setText(AppKey::User_Name, identifier(ctx));

    // 6. Repair pass.
    if (mainName != kProductName)
        settings.setText(AppKey::main_Name, kProductName);
    if (verName != kProductVersion)
        settings.setText(AppKey::Ver_Name, kProductVersion);
    if (ts != 1 && ts != 2)
        settings.setNumber(AppKey::ts, 3);
    for (AppKey id : zero)
        settings.setText(id, appSetting(id).firstStart.toString());

    // 7. History files, each created holding one empty line. No window exists
    // yet: a store of the folder's own does these repairs.
    HistoryStore history(folder);
    for (HistoryList list : {HistoryList::NetworkTasks, HistoryList::LocalPlays})
        if (!QFileInfo::exists(history.filePath(list)))
            writeTextFile(history.filePath(list), kCrLf);

    // After a kill: temporary files of interrupted writes go, and a history
    // page that does not show its file (written just before the kill) is
    // rebuilt. The panes load the pages later, with the window.
    removeWriteLeftovers(folder, {kSettingsFile, kNetworkHistoryFile, kLocalHistoryFile, kNetworkHistoryPage,
                                  kLocalHistoryPage, QStringLiteral("t.htm")});
    for (HistoryList list : {HistoryList::NetworkTasks, HistoryList::LocalPlays})
        history.rewriteStalePage(list);

    // 8. Missing history pages, rendered by the main window's store so that
    // its list panes show them; the window is created and loaded first.
    bool loaded = false;
    for (HistoryList list : {HistoryList::NetworkTasks, HistoryList::LocalPlays}) {
        if (QFileInfo::exists(history.pagePath(list)))
            continue;
        if (!loaded) {
            if (!window() || !window()->load())
                return StartupOutcome::Exit;
            loaded = true;
        }
        window()->history().renderHistoryPage(list);
    }

    // 9-10. Show the main window.
    if (!window())
        return StartupOutcome::Exit;
    switch (window()->show()) {
    case MainWindowHost::ShowResult::Shown:
        return StartupOutcome::WindowShown;
    case MainWindowHost::ShowResult::EndProcess:
        return StartupOutcome::Exit;
    case MainWindowHost::ShowResult::ControlLoadFailed:
        break;
    }
    const QString component = componentFile(folder);
    if (QFileInfo::exists(component)) {
        ctx.playerFactory->registerComponent(component);
        ctx.dialogs->showMessage(kDialogTitle, kDamagedRestartMessage);
    } else {
        ctx.dialogs->showMessage(kDialogTitle, kDamagedReinstallMessage);
    }
    return StartupOutcome::Exit;
}

} // namespace vantoli
