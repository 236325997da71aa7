#include "desktop/session_bus.h"

#include <QFileInfo>

namespace vantoli {

QDBusConnection sessionBusIfAny(bool wanted) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!wanted || (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
                    (runtime.isEmpty() || !QFileInfo(runtime + QStringLiteral("/bus")).exists())))
        return QDBusConnection(QStringLiteral("vantoli-no-session-bus"));
    return QDBusConnection::sessionBus();
}

} // namespace vantoli
