#include "shell/window_modules.h"

#include "catalog/catalog_module.h"
#include "controls/playback_module.h"
#include "controls/player_menu.h"
#include "controls/seek_volume.h"
#include "desktop/desktop_module.h"
#include "history/history_module.h"
#include "notices/notices_module.h"
#include "platform/http_get.h"
#include "playback/exit_routine.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "playback/processes_module.h"
#include "settings/settings_module.h"
#include "shell/ba1.h"
#include "shell/label_colours.h"
#include "shell/picture_box.h"
#include "shell/playback_panel.h"
#include "shell/tray_icon.h"
#include "shell/window_controls.h"
#include "update/update_module.h"

#include <QCoreApplication>
#include <QLabel>

namespace vantoli::shell {

WindowModules::WindowModules(BA1 &w) : w_(w) {
    const MainWindowOptions &o = w.options();
    PlaybackModuleServices s;
    s.session = &w.playbackSession();
    s.view = &w.panel();
    s.window = &w;
    s.videoHost = w.controls().control(QStringLiteral("PeerC"));
    s.playerFactory = o.playerFactory;
    s.lookups = o.lookups;
    s.power = o.power;
    s.fullScreen = &fullScreen_;
    s.history = &w.history();
    s.settings = &w.settings();
    s.dialogs = &w.dialogs();
    s.programFolder = o.programFolder;
    s.contentBase = o.contentBase;
    playback_ = std::make_unique<PlaybackModule>(s);
    playback_->connectInput(w.input());
    playback_->setPlayerMenuPopup([&w](const QPoint &pos) {
        if (w.menus())
            w.popupMenu(w.menus()->peer_m(), pos);
    });
    w.panel().setMuteCaption([&w](bool muted) {
        if (w.menus())
            w.menus()->setMuteCaption(muted);
    });
}

WindowModules::~WindowModules() {
    // No key reaches the shortcuts while the rest goes.
    playback_->stopKeyPreview();
    desktop_.reset();
    settings_.reset();
    update_.reset();
    notices_.reset();
    history_.reset();
    catalog_.reset();
    processes_.reset();
    playback_.reset();
}

void WindowModules::load() {
    processes_ = std::make_unique<ProcessesModule>(w_.options().processTable, w_.settings(), w_.options().programFolder);
    makeCatalog();
    makeHistory();
    makeNoticesAndUpdate();
    makeSettings();
    makeDesktop();
}

MenuTargets WindowModules::menuTargets() {
    MenuTargets targets;
    targets.catalog = catalog_.get();
    targets.window = &w_;
    targets.player = &playback_->playerMenu();
    targets.history = history_ ? &history_->commands() : nullptr;
    targets.settings = settings_.get();
    return targets;
}

void WindowModules::skinChanged() {
    playback_->refreshFaces();
    if (settings_)
        settings_->skinChanged();
}

AsyncHttpGet &WindowModules::contentFetches() {
    if (w_.options().http)
        return *w_.options().http;
    if (!ownHttp_)
        ownHttp_ = makeAsyncHttpGet();
    return *ownHttp_;
}

void WindowModules::makeCatalog() {
    BA1 &w = w_;
    CatalogModuleServices c;
    c.panes = w.controls().panes();
    c.playback = playback_.get();
    c.view = &w.panel();
    c.history = &w.history();
    c.dialogs = &w.dialogs();
    c.settings = &w.settings();
    c.programFolder = w.options().programFolder;
    c.contentBase = w.options().contentBase;
    c.statsBase = w.options().statsBase;
    c.localListShown = [&w] { return w.modes().sideTab() == 7; };
    c.ensureTransferRunning = [this] { processes_->ensureTerminalRunning(); };
    c.showHomeRetryPicture = [&w](bool retry) {
        w.controls().pictureBox(QStringLiteral("jia"))
            ->setPicture(QPixmap(retry ? QStringLiteral(":/skins/w3.png") : QStringLiteral(":/skins/jia.png")));
    };
    c.popupMenu = [&w](PaneMenu menu, const QPoint &pos) {
        if (tip *m = w.menus())
            w.popupMenu(menu == PaneMenu::Main ? m->myMenu() : menu == PaneMenu::History ? m->webc() : m->peer_m(), pos);
    };
    catalog_ = std::make_unique<CatalogModule>(std::move(c));
    catalog_->loadFirstPages();
    QObject::connect(&w.input(), &WindowInput::homeRetryClicked, catalog_->context(),
                     [this] { catalog_->homeRetryClicked(); });
}

void WindowModules::makeHistory() {
    BA1 &w = w_;
    HistoryModuleServices h;
    h.history = &w.history();
    h.dialogs = &w.dialogs();
    h.localListShown = [&w] { return w.modes().sideTab() == 7; };
    h.contextEntry = [this] { return catalog_->paneEvents().contextEntry(); };
    h.showInListPane = [&w](HistoryList list, const QString &url) {
        w.panel().navigatePane(list == HistoryList::NetworkTasks ? kNetworkListPane : kLocalListPane, url);
    };
    h.popupTaskMenu = [&w](const QPoint &pos) {
        if (w.menus())
            w.popupMenu(w.menus()->c_fie(), pos);
    };
    h.downloadFolder = [this] { return processes_->downloadFolder(); };
    h.isPinned = [&w] { return w.modes().pinned(); };
    h.unpin = [&w] { w.npc_Click(4); };
    h.balloon = [&w](const QString &text) { w.panel().balloon(text); };
    history_ = std::make_unique<HistoryModule>(std::move(h));
    history_->startReloadingPanes();
    QObject::connect(&w.input(), &WindowInput::historyLabelClicked, history_.get(), [this, &w](const QPoint &pos) {
        setTextColour(w.controls().label(QStringLiteral("qk")), kQkGrey);
        history_->commands().labelClicked(pos);
    });
}

void WindowModules::makeNoticesAndUpdate() {
    BA1 &w = w_;
    NoticesModuleServices n;
    n.window = &w;
    n.line = w.controls().label(QStringLiteral("La0"));
    n.footer = w.controls().control(QStringLiteral("bo_foot"));
    n.hover = {[&w] { return w.modes().noticeHoverState(); }, [&w](int state) { w.modes().setNoticeHoverState(state); }};
    n.http = &contentFetches();
    n.dialogs = &w.dialogs();
    n.contentBase = w.options().contentBase;
    notices_ = std::make_unique<NoticesModule>(std::move(n));

    UpdateModuleServices u;
    u.http = &contentFetches();
    u.dialogs = &w.dialogs();
    u.settings = &w.settings();
    u.session = &w.playbackSession();
    u.contentBase = w.options().contentBase;
    u.setRecommendAtExit = [this](const QString &flag) { notices_->setRecommendAtExit(flag); };
    u.loadNoticePopup = [this] { notices_->loadNoticePopup(); };
    u.gun_ad = [this] { notices_->gun_ad(); };
    u.showStopAdPane = [&w] { w.panel().setShown(Part::StopAdPane, true); };
    u.ttt_v = [&w] { w.ttt_v(); };
    update_ = std::make_unique<UpdateModule>(std::move(u));
}

void WindowModules::makeSettings() {
    SettingsModuleServices s;
    s.window = &w_;
    s.skin = &w_.skin();
    s.settings = &w_.settings();
    s.dialogs = &w_.dialogs();
    s.processes = &processes_->processes();
    s.homePage = w_.options().contentBase;
    s.shengji = [this] { update_->shengji(); };
    settings_ = std::make_unique<SettingsModule>(std::move(s));
}

void WindowModules::makeDesktop() {
    BA1 &w = w_;
    DesktopModuleServices d;
    d.remote.player = &playback_->player();
    d.remote.session = &w.playbackSession();
    d.remote.view = &w.panel();
    d.remote.transport = playback_.get();
    d.remote.setVolume = [this](int volume) {
        playback_->player().setVolume(volume);
        playback_->bars().placeVolumeKnob(volume);
    };
    d.remote.raise = [&w] {
        w.showWindow();
        if (w.isMinimized())
            w.showNormal();
    };
    d.remote.quit = [&w] { w.ttt_v(); };
    d.sessionBus = w.options().sessionBus;
    d.linkExecute = [&w](const QString &commandLine) { w.linkExecute(commandLine); };
    d.openLink = [this](int pane, const QString &link) { catalog_->openLink(pane, link); };
    desktop_ = std::make_unique<DesktopModule>(std::move(d));
}

// The window's part of the exit routine; the order is runExitRoutine's.
struct WindowModules::ExitAdapter final : ExitSteps {
    ExitAdapter(WindowModules &m, bool forSession) : m(m), w(m.w_), forSession(forSession) {}
    void removeTrayIcon() override {
        if (w.tray())
            w.tray()->remove();
    }
    bool playerShown() const override { return w.playback().state().playAreaMode == kPlayAreaPlayer; }
    void stopPlayback() override { m.playback_->bo_but_Click(1); }
    void stopHousekeeping() override {
        if (m.processes_)
            m.processes_->stopHousekeeping();
    }
    void cancelWaitingFetch() override {
        // A control file arriving after this would start notices or the updater.
        if (m.update_)
            m.update_->cancel();
        // Episode lookups still waiting would start a play after the exit.
        if (m.catalog_)
            m.catalog_->paneHandlers().cancelLookup();
        w.playback().continuation().cancelLookups();
    }
    void unloadMenus() override {
        if (w.menus())
            w.menus()->deleteLater();
    }
    void unloadNoticeWindow() override {
        if (m.notices_)
            m.notices_->unloadNoticeWindow();
    }
    void unloadSettingsWindow() override {
        if (m.settings_)
            m.settings_->unload();
    }
    void closeMainWindow() override { w.closeForExit(); }
    bool showRecommendation() override { return !forSession && m.notices_ && m.notices_->showRecommendationOnExit(); }
    void quit() override { QCoreApplication::quit(); }
    WindowModules &m;
    BA1 &w;
    bool forSession;
};

void WindowModules::runExit(bool forSession) {
    ExitAdapter steps(*this, forSession);
    vantoli::runExitRoutine(steps, w_.settings(), processes_ ? &processes_->processes() : nullptr);
}

} // namespace vantoli::shell
