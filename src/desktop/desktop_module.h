#pragma once
// Desktop integration's part of the main window: links and files handed
// over from outside, the media-player remote control on the session bus,
// and the screen kept awake while a video plays.

#include "desktop/mpris.h"
#include "desktop/outside_link.h"
#include "desktop/play_inhibitor.h"

#include <functional>
#include <memory>

namespace vantoli {

struct DesktopModuleServices {
    MprisSources remote;   // openUri is this module's own
    bool sessionBus = true; // false: no remote control, no screen kept awake
    // A later start's command line: to the front, and play it.
    std::function<void(const QString &)> linkExecute;
    // A catalog or TV link acted on as its pane does when clicked there.
    std::function<void(int pane, const QString &link)> openLink;
};

class DesktopModule {
public:
    explicit DesktopModule(DesktopModuleServices services);
    ~DesktopModule();

    // A start from outside (a later start, or this one) or the remote
    // control asked for this: catalog links act as if clicked in their pane,
    // files and network addresses the origin may name play as by
    // linkExecute, anything else does nothing.
    void openFromOutside(const QString &commandLine, AddressOrigin origin = AddressOrigin::User);

private:
    DesktopModuleServices s_;
    std::unique_ptr<MprisService> mpris_;
    std::unique_ptr<PlayInhibitor> inhibitor_;
};

} // namespace vantoli
