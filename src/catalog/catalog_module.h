#pragma once
// The catalog's part of the main window: the panes' first pages, what their
// links and loads do (PaneHandlers, PaneEvents), the episode list and the
// statistics pings, and the catalog pane's menu commands. The window hands
// each pane's navigation and events to it once.

#include "catalog/episode_list.h"
#include "catalog/pane_events.h"
#include "catalog/pane_handlers.h"
#include "menus/popup_menus.h"

#include <QObject>

#include <functional>
#include <memory>

namespace vantoli {

class PlaybackModule;
class StatisticsPings;
class WebPane;

struct CatalogModuleServices {
    WebPane *const *panes = nullptr; // [1] to [11]: Web1 to Web11
    PlaybackModule *playback = nullptr;
    PlaybackView *view = nullptr;
    HistoryStore *history = nullptr;
    Dialogs *dialogs = nullptr;
    const Settings *settings = nullptr;
    QString programFolder;
    QString contentBase;
    QString statsBase;
    // The window's side: the local-play list is the one beside the player;
    // the transfer program is started when not running; the picture of the
    // waiting box; the pop-up menus.
    std::function<bool()> localListShown;
    std::function<void()> ensureTransferRunning;
    std::function<void(bool retry)> showHomeRetryPicture;
    std::function<void(PaneMenu, const QPoint &)> popupMenu;
};

class CatalogModule final : public CatalogHost,
                            public PaneEventsHost,
                            public CatalogBodyReader,
                            public CatalogMenuCommands {
public:
    explicit CatalogModule(CatalogModuleServices services);
    ~CatalogModule() override;

    // Sends every pane to its first page.
    void loadFirstPages();
    // Acts on a link as its pane does when it is clicked there.
    void openLink(int pane, const QString &link) { handlers_->beforeNavigate(pane, link); }
    // The waiting box's retry picture was clicked.
    void homeRetryClicked() { events_->jiaClicked(); }

    PaneHandlers &paneHandlers() const { return *handlers_; }
    // Connections to the module end with this object.
    QObject *context() { return &context_; }
    PaneEvents &paneEvents() const { return *events_; }

    // CatalogHost.
    void refreshPane(int number) override;
    bool localListShown() const override { return s_.localListShown && s_.localListShown(); }
    void ensureTransferRunning() override;
    void sendPlayPing() override;
    void showEpisodeList(const QString &title, int videoId, int source, int episode) override {
        episodeList_->DangJ(title, videoId, source, episode);
    }
    // PaneEventsHost.
    void setPaneSilent(int pane) override;
    void popupMenu(PaneMenu menu, const QPoint &globalPos) override;
    void showHomeRetryPicture(bool retry) override;
    // CatalogBodyReader.
    void readCatalogBody(std::function<void(const QString &)> done) override;
    // CatalogMenuCommands: the catalog pane Web1.
    void catalogBack() override;
    void catalogForward() override;
    void catalogRefresh() override;
    void catalogCopy() override;
    void catalogPaste() override;
    void catalogHome() override;

private:
    void connectPane(int number);

    CatalogModuleServices s_;
    std::unique_ptr<StatisticsPings> pings_;
    std::unique_ptr<PaneHandlers> handlers_;
    std::unique_ptr<PaneEvents> events_;
    std::unique_ptr<EpisodeList> episodeList_;
    QObject context_; // first to go: ends the panes' connections
};

} // namespace vantoli
