#include "desktop/desktop_module.h"

#include "desktop/session_bus.h"
#include "playback/playback_view.h"

namespace vantoli {

DesktopModule::DesktopModule(DesktopModuleServices services) : s_(std::move(services)) {
    const QDBusConnection session = sessionBusIfAny(s_.sessionBus);
    MprisSources remote = s_.remote;
    // Any program on the session bus may ask: network addresses and catalog
    // links only, never a local file.
    remote.openUri = [this](const QString &uri) { openFromOutside(uri, AddressOrigin::Remote); };
    mpris_ = std::make_unique<MprisService>(std::move(remote), session);
    // Another program holding the name, or no session bus: no remote control.
    mpris_->start();

    InhibitBuses buses;
    buses.screenSaver = session;
    // logind's idle lock lives on the system bus; only taken when asked for.
    if (qEnvironmentVariable("VANTOLI_LOGIND_IDLE") == u"1")
        buses.logind = QDBusConnection::systemBus();
    inhibitor_ = std::make_unique<PlayInhibitor>(*s_.remote.player, std::move(buses));
    inhibitor_->start();
}

DesktopModule::~DesktopModule() = default;

void DesktopModule::openFromOutside(const QString &commandLine, AddressOrigin origin) {
    const OutsideCommand command = classifyOutsideCommand(commandLine, origin);
    switch (command.request) {
    case OutsideRequest::Nothing:
    case OutsideRequest::LocalItem:
        s_.linkExecute(command.text);
        break;
    case OutsideRequest::CatalogLink:
    case OutsideRequest::TvLink:
        // Come to the front as for any later start, then act on the link as
        // its own pane does when a page there is clicked.
        s_.linkExecute(QString());
        if (s_.openLink)
            s_.openLink(command.request == OutsideRequest::CatalogLink ? kCatalogPane : kTvListPane, command.text);
        break;
    case OutsideRequest::Refused:
        break;
    }
}

} // namespace vantoli
