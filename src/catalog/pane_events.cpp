#include "catalog/pane_events.h"

#include "catalog/links.h"
#include "catalog/web_address.h"
#include "playback/player.h"

namespace vantoli {

PaneEvents::PaneEvents(PaneEventsHost &host, PlaybackView &view, PlaybackSession &session, Player &player,
                       QString contentBase)
    : host_(host), view_(view), session_(session), player_(player), contentBase_(std::move(contentBase)) {}

void PaneEvents::downloadBegin(int pane) { host_.setPaneSilent(pane); }

void PaneEvents::downloadComplete(int pane) {
    if (pane == kCatalogPane && !homeLoadFailed_ && !view_.isShown(Part::CatalogArea)) {
        view_.setShown(Part::CatalogArea, true);
        view_.setShown(Part::CatalogWaiting, false);
    }
}

void PaneEvents::navigateError(int pane, const QString &url) {
    switch (pane) {
    case kCatalogPane:
        if (!isUnderWebBase(url, contentBase_))
            return;
        view_.setShown(Part::CatalogArea, false);
        host_.showHomeRetryPicture(true);
        view_.setShown(Part::CatalogWaiting, true);
        homeLoadFailed_ = true;
        break;
    case kPlayerAdPane:
        view_.setShown(Part::PauseAdPane, false);
        view_.setShown(Part::PausePicture, true);
        session_.adPageFailed(AdPane::Pause);
        break;
    case kUnderPlayerPane:
        view_.setShown(Part::StopAdPane, false);
        session_.adPageFailed(AdPane::Stop);
        break;
    default:
        break;
    }
}

void PaneEvents::contextMenu(int pane, const QString &link, const QPoint &globalPos) {
    switch (pane) {
    case kCatalogPane:
        host_.popupMenu(PaneMenu::Main, globalPos);
        break;
    case kNetworkListPane:
        if (link.contains(kHistoryOpenScheme)) {
            contextEntry_ = link;
            host_.popupMenu(PaneMenu::History, globalPos);
        }
        break;
    case kPlayerAdPane:
        if (!player_.Url().isEmpty())
            host_.popupMenu(PaneMenu::Player, globalPos);
        break;
    case kStatisticsPane:
    default:
        break;
    }
}

void PaneEvents::jiaClicked() {
    homeLoadFailed_ = false;
    host_.showHomeRetryPicture(false);
    view_.navigatePane(kCatalogPane, contentBase_);
}

} // namespace vantoli
