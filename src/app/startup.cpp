#include "app/startup.h"

#include "app/program_folder.h"
#include "app/settings_file.h"
#include "catalog/links.h"
#include "platform/text_file.h"

#include <QFileInfo>

namespace vantoli {

const DefaultSetting kFirstStartSettings[16] = {
    {u"main", u"Name", u"Vantoli"},
    {u"User", u"Name", u""},
    {u"Skin", u"Num", u"0"},
    {u"Ver", u"Name", u"1.0"},
    {u"S_q", u"ts", u"3"},
    {u"S_q", u"up", u"2"},
    {u"S_q", u"quit", u"2"},
    {u"S_q", u"peerk", u"2"},
    {u"S_q", u"s_size", u"2"},
    {u"S_q", u"h_w", u"14850"},
    {u"S_q", u"h_h", u"9830"},
    {u"S_q", u"s_h", u"2"},
    {u"S_q", u"s_bo", u"2"},
    {u"S_q", u"s_jd", u"2"},
    {u"S_q", u"peerqi", u"2"},
    {u"S_q", u"s_pao", u"2"},
};

namespace {

// The S_q keys that the repair pass resets to their defaults when their
// numeric value is 0, in repair order.
constexpr QStringView kRepairedFlags[] = {u"up",  u"quit", u"peerk",  u"s_size", u"h_w", u"h_h",
                                          u"s_h", u"s_bo", u"s_jd",   u"peerqi", u"s_pao"};

QString firstStartDefault(QStringView key) {
    for (const DefaultSetting &d : kFirstStartSettings)
        if (d.section == u"S_q" && d.key == key)
            return d.value.toString();
    return QStringLiteral("0");
}

QString componentFile(const QString &folder) {
    return inFolder(folder, kPlayerComponentFolder + kPlayerComponentFileName);
}

QString identifier(const StartupContext &ctx) {
    return ctx.machineIdentifier ? ctx.machineIdentifier() : QString();
}

void writeFirstStartSettings(const Settings &settings, const QString &machineId) {
    for (const DefaultSetting &d : kFirstStartSettings) {
        const QString value = d.section == u"User" ? machineId : d.value.toString();
        settings.write(d.section.toString(), d.key.toString(), value);
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
    const Settings settings(inFolder(folder, kSettingsFile));
    if (!QFileInfo::exists(settings.path()))
        writeFirstStartSettings(settings, identifier(ctx));

    // 4. Read the values the repair pass looks at.
    const QString sq = QStringLiteral("S_q");
    const QString mainName = settings.read(QStringLiteral("main"), QStringLiteral("Name"));
    const QString verName = settings.read(QStringLiteral("ver"), QStringLiteral("Name"));
    // Read as numbers, as the program reads them later ("2.0" is 2): text
    // that is no number is 0.
    const double ts = settingNumber(settings.read(sq, QStringLiteral("ts"))).value_or(0);
    double flags[std::size(kRepairedFlags)];
    for (size_t i = 0; i < std::size(kRepairedFlags); ++i)
        flags[i] = settingNumber(settings.read(sq, kRepairedFlags[i].toString())).value_or(0);

    // 5. Every start refreshes the machine identifier.
    settings.write(QStringLiteral("User"), QStringLiteral("Name"), identifier(ctx));

    // 6. Repair pass.
    if (mainName != kProductName)
        settings.write(QStringLiteral("main"), QStringLiteral("Name"), kProductName);
    if (verName != kProductVersion)
        settings.write(QStringLiteral("Ver"), QStringLiteral("Name"), kProductVersion);
    if (ts != 1 && ts != 2)
        settings.write(sq, QStringLiteral("ts"), QStringLiteral("3"));
    for (size_t i = 0; i < std::size(kRepairedFlags); ++i)
        if (flags[i] == 0)
            settings.write(sq, kRepairedFlags[i].toString(), firstStartDefault(kRepairedFlags[i]));

    // 7. History files, each created holding one empty line.
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

    // 8. Missing history pages. Rendering reloads a list pane, so the main
    // window is created and loaded first.
    bool loaded = false;
    for (HistoryList list : {HistoryList::NetworkTasks, HistoryList::LocalPlays}) {
        if (QFileInfo::exists(history.pagePath(list)))
            continue;
        if (!loaded) {
            if (!window() || !window()->load())
                return StartupOutcome::Exit;
            loaded = true;
        }
        HistoryStore(folder, window()).renderHistoryPage(list);
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
