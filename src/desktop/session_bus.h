#pragma once
// The session bus the desktop services (remote control, screen kept awake)
// talk on.

#include <QDBusConnection>

namespace vantoli {

// The session's bus when the session has one; otherwise (and when `wanted`
// is false) a connection that is not connected, on which the services stay
// quiet. Without an address and without the runtime folder's bus, asking Qt
// for the session bus would have the bus library start one of its own (X11
// autolaunch) that outlives the program.
QDBusConnection sessionBusIfAny(bool wanted = true);

} // namespace vantoli
