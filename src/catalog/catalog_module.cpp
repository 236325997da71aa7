#include "catalog/catalog_module.h"

#include "app/app_settings.h"
#include "app/first_pages.h"
#include "controls/playback_module.h"
#include "history/history_files.h"
#include "notices/pings.h"
#include "platform/web_pane.h"
#include "playback/playback_controller.h"

namespace vantoli {

CatalogModule::CatalogModule(CatalogModuleServices services) : s_(std::move(services)) {
    const AppSettings app(*s_.settings);
    pings_ = std::make_unique<StatisticsPings>(s_.statsBase, app.installTag(), app.machineIdentifier());
    PlaybackModule &playback = *s_.playback;
    PlaybackController &controller = playback.controller();
    CatalogServices catalog;
    catalog.player = &playback.player();
    catalog.session = &controller.session();
    catalog.view = s_.view;
    catalog.timers = &controller;
    catalog.playArea = &controller.playArea();
    catalog.history = s_.history;
    catalog.lookups = &playback.lookups();
    catalog.dialogs = s_.dialogs;
    catalog.host = this;
    catalog.settings = s_.settings;
    catalog.contentBase = s_.contentBase;
    catalog.playEndedUrl = controller.endOfPlayback().playEndedUrl();
    handlers_ = std::make_unique<PaneHandlers>(catalog);
    events_ = std::make_unique<PaneEvents>(*this, *s_.view, controller.session(), playback.player(), s_.contentBase);
    episodeList_ = std::make_unique<EpisodeList>(*this, *s_.view, s_.programFolder, s_.contentBase);
    for (int i = 1; i <= 11; ++i)
        connectPane(i);
}

CatalogModule::~CatalogModule() {
    // The panes may outlive this module: their handler must not call into it
    // (the signals' connections end with context_).
    for (int i = 1; i <= 11; ++i) {
        if (WebPane *pane = s_.panes[i])
            pane->setBeforeNavigateHandler({});
    }
}

void CatalogModule::connectPane(int i) {
    WebPane *pane = s_.panes[i];
    pane->setBeforeNavigateHandler([this, i](WebPane &, WebNavigation &nav) {
        if (handlers_->beforeNavigate(i, nav.address))
            nav.cancel = true;
    });
    QObject::connect(pane, &WebPane::downloadBegin, &context_, [this, i] { events_->downloadBegin(i); });
    QObject::connect(pane, &WebPane::downloadComplete, &context_, [this, i] { events_->downloadComplete(i); });
    QObject::connect(pane, &WebPane::navigateError, &context_,
                     [this, i](const QString &url, int) { events_->navigateError(i, url); });
    QObject::connect(pane, &WebPane::contextMenu, &context_,
                     [this, i](const QString &link, const QPoint &pos) { events_->contextMenu(i, link, pos); });
}

void CatalogModule::loadFirstPages() {
    for (const FirstPage &page : firstPages(s_.contentBase, s_.history->pagePath(HistoryList::NetworkTasks),
                                            s_.history->pagePath(HistoryList::LocalPlays), pings_->startPingUrl())) {
        s_.panes[page.pane]->navigate(page.address);
        if (page.pane == kEpisodeListPane)
            s_.panes[page.pane]->writeDocument(kBlankEpisodeListPage);
    }
}

void CatalogModule::refreshPane(int number) { s_.panes[number]->refresh(); }

void CatalogModule::ensureTransferRunning() {
    if (s_.ensureTransferRunning)
        s_.ensureTransferRunning();
}

void CatalogModule::sendPlayPing() { s_.panes[kStatisticsPane]->navigate(pings_->playPingUrl()); }

void CatalogModule::setPaneSilent(int pane) { s_.panes[pane]->setSilent(true); }

void CatalogModule::popupMenu(PaneMenu menu, const QPoint &globalPos) {
    if (s_.popupMenu)
        s_.popupMenu(menu, globalPos);
}

void CatalogModule::showHomeRetryPicture(bool retry) {
    if (s_.showHomeRetryPicture)
        s_.showHomeRetryPicture(retry);
}

void CatalogModule::readCatalogBody(std::function<void(const QString &)> done) {
    s_.panes[kCatalogPane]->readBodyHtml(std::move(done));
}

void CatalogModule::catalogBack() { s_.panes[kCatalogPane]->back(); }
void CatalogModule::catalogForward() { s_.panes[kCatalogPane]->forward(); }
void CatalogModule::catalogRefresh() { s_.panes[kCatalogPane]->refresh(); }
void CatalogModule::catalogCopy() { s_.panes[kCatalogPane]->copy(); }
void CatalogModule::catalogPaste() { s_.panes[kCatalogPane]->paste(); }
void CatalogModule::catalogHome() { s_.panes[kCatalogPane]->navigate(s_.contentBase); }

} // namespace vantoli
