#pragma once
// The main window's list of modules and what each is given of the window:
// the playback module from the start, the others (player programs, catalog,
// history, notices, update check, settings dialog, desktop integration) once
// the window loads. The exit routine's steps run over them.

#include "menus/popup_menus.h"
#include "shell/full_screen_window.h"
#include "playback/playback_view.h"

#include <memory>

namespace vantoli {
class AsyncHttpGet;
class CatalogModule;
class DesktopModule;
class HistoryModule;
class NoticesModule;
class PlaybackModule;
class ProcessesModule;
class SettingsModule;
class UpdateModule;
} // namespace vantoli

namespace vantoli::shell {

class BA1;

class WindowModules {
public:
    // Makes the playback module: the player exists before the window loads.
    explicit WindowModules(BA1 &window);
    // The others go in reverse order of making, the playback module (and the
    // player the others poll) last.
    ~WindowModules();

    // Makes the other modules and sends the panes to their first pages.
    void load();
    // What the menus' items act on.
    MenuTargets menuTargets();
    // Runs the exit routine over the window and the modules.
    void runExit(bool forSession);
    void skinChanged();

    PlaybackModule &playback() const { return *playback_; }
    CatalogModule *catalog() const { return catalog_.get(); }
    ProcessesModule *processes() const { return processes_.get(); }
    DesktopModule *desktop() const { return desktop_.get(); }

private:
    struct ExitAdapter;
    AsyncHttpGet &contentFetches();
    void makeCatalog();
    void makeHistory();
    void makeNoticesAndUpdate();
    void makeSettings();
    void makeDesktop();

    BA1 &w_;
    std::unique_ptr<AsyncHttpGet> ownHttp_;
    FullScreenWindow fullScreen_; // outlives the player
    std::unique_ptr<PlaybackModule> playback_;
    std::unique_ptr<ProcessesModule> processes_;
    std::unique_ptr<CatalogModule> catalog_;
    std::unique_ptr<HistoryModule> history_;
    std::unique_ptr<NoticesModule> notices_;
    std::unique_ptr<UpdateModule> update_;
    std::unique_ptr<SettingsModule> settings_;
    std::unique_ptr<DesktopModule> desktop_;
};

} // namespace vantoli::shell
