// Desktop integration. Wired into the main window here: links and files
// handed over from outside, the media-player remote control on the session
// bus, and the screen kept awake while a video plays.
#include "shell/ba1.h"

#include "controls/seek_volume.h"
#include "desktop/mpris.h"
#include "desktop/outside_link.h"
#include "desktop/play_inhibitor.h"
#include "desktop/session_bus.h"
#include "playback/player.h"

namespace vantoli::shell {

void BA1::wireDesktop() {
    const QDBusConnection session = sessionBusIfAny(options_.sessionBus);

    MprisSources sources;
    sources.player = player_.get();
    sources.state = &playbackState_;
    sources.view = this;
    sources.transport = this;
    sources.setVolume = [this](int volume) {
        player_->setVolume(volume);
        if (bars_)
            bars_->placeVolumeKnob(volume);
    };
    sources.raise = [this] {
        showWindow();
        if (isMinimized())
            showNormal();
    };
    sources.quit = [this] { ttt_v(); };
    // Any program on the session bus may ask: network addresses and catalog
    // links only, never a local file.
    sources.openUri = [this](const QString &uri) { openFromOutside(uri, AddressOrigin::Remote); };
    mpris_ = {new MprisService(std::move(sources), session), [](MprisService *m) { delete m; }};
    // Another program holding the name, or no session bus: no remote control.
    mpris_->start();

    InhibitBuses buses;
    buses.screenSaver = session;
    // logind's idle lock lives on the system bus; only taken when asked for.
    if (qEnvironmentVariable("VANTOLI_LOGIND_IDLE") == u"1")
        buses.logind = QDBusConnection::systemBus();
    inhibitor_ = {new PlayInhibitor(*player_, std::move(buses)), [](PlayInhibitor *p) { delete p; }};
    inhibitor_->start();
}

void BA1::openFromOutside(const QString &commandLine, AddressOrigin origin) {
    const OutsideCommand command = classifyOutsideCommand(commandLine, origin);
    switch (command.request) {
    case OutsideRequest::Nothing:
    case OutsideRequest::LocalItem:
        linkExecute(command.text);
        break;
    case OutsideRequest::CatalogLink:
    case OutsideRequest::TvLink:
        // Come to the front as for any later start, then act on the link as
        // its own pane does when a page there is clicked.
        linkExecute(QString());
        if (paneHandlers_)
            paneHandlers_->beforeNavigate(command.request == OutsideRequest::CatalogLink ? kCatalogPane : kTvListPane,
                                          command.text);
        break;
    case OutsideRequest::Refused:
        break;
    }
}

} // namespace vantoli::shell
