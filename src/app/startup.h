#pragma once
// The program's start: checks that a player can be created, creates or
// repairs App.ini, makes sure the history files and their pages exist, and
// shows the main window.

#include "app/dialogs.h"
#include "app/version.h"
#include "history/history_files.h"
#include "playback/player_factory.h"

#include <QString>

#include <functional>

namespace vantoli {

inline const QString kSettingsFile = QStringLiteral("App.ini");
inline const QString kProductName = QStringLiteral("Vantoli");
// The version App.ini records (Ver/Name): the build's, as major.minor.
inline const QString kProductVersion = majorMinor(programVersion());
inline const QString kPlayerDownloadPage = QStringLiteral("https://mpv.io/installation/");

inline const QString kNoPlayerQuestion =
    QStringLiteral("程序检测到您的电脑未安装Peer播放器，是否要下载Peer播放器？");
inline const QString kDamagedRestartMessage = QStringLiteral("软件组件被损坏，重启软件即可恢复！");
inline const QString kDamagedReinstallMessage = QStringLiteral("对不起，软件组件已被损坏，请重新下载安装本软件。");

// The main window as start-up sees it. Loading creates the window and runs its
// load procedure once; it returns false when the process must end (another
// instance took over). Start-up renders missing history pages through the
// window's own store, whose written pages the window shows.
class MainWindowHost {
public:
    enum class ShowResult { Shown, ControlLoadFailed, EndProcess };
    virtual ~MainWindowHost() = default;
    virtual HistoryStore &history() = 0;
    virtual bool load() = 0;
    // Shows the window, loading it first unless load() already ran.
    virtual ShowResult show() = 0;
};

struct StartupContext {
    QString programFolder;
    PlayerFactory *playerFactory = nullptr;
    Dialogs *dialogs = nullptr;
    // The main window, made only once start-up goes on to load or show it.
    std::function<MainWindowHost *()> makeWindow;
    std::function<QString()> machineIdentifier; // adapter, else fallback
};

enum class StartupOutcome { WindowShown, Exit };

StartupOutcome runStartup(const StartupContext &ctx);

} // namespace vantoli
