// Power: the override program, else logind's PowerOff on the bus, else the
// fallback program. Programs are started detached with an argument list, so
// no shell ever sees the override's value, and with none of our descriptors.

#include "platform/power.h"

#include "platform/child_process.h"

#include <QAtomicInt>
#include <QDBusConnection>
#include <QDBusMessage>

namespace vantoli {
namespace {

class SystemPower final : public Power {
public:
    explicit SystemPower(PowerOptions options) : options_(std::move(options)) {}

    ~SystemPower() override {
        if (!connectionName_.isEmpty())
            QDBusConnection::disconnectFromBus(connectionName_);
    }

    bool powerOff() override {
        const QString override = qEnvironmentVariable(kPowerCommandVariable);
        if (!override.isEmpty())
            return startDetachedProgram({override, {QStringLiteral("poweroff")}});
        if (askLogind())
            return true;
        return startDetachedProgram({options_.fallbackProgram, {QStringLiteral("poweroff")}});
    }

private:
    bool askLogind() {
        QDBusConnection bus = connection();
        if (!bus.isConnected())
            return false;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
        // interactive=false: no authentication prompt; a refusal comes back
        // as an error reply and the fallback takes over.
        call << false;
        const QDBusMessage reply = bus.call(call, QDBus::Block, options_.busTimeoutMs);
        return reply.type() == QDBusMessage::ReplyMessage;
    }

    QDBusConnection connection() {
        if (options_.busAddress.isEmpty())
            return QDBusConnection::systemBus();
        if (connectionName_.isEmpty()) {
            static QAtomicInt counter;
            connectionName_ = QStringLiteral("vantoli-power-%1").arg(counter.fetchAndAddRelaxed(1));
            return QDBusConnection::connectToBus(options_.busAddress, connectionName_);
        }
        return QDBusConnection(connectionName_);
    }

    PowerOptions options_;
    QString connectionName_;
};

} // namespace

std::unique_ptr<Power> makePower() {
    return std::make_unique<SystemPower>(PowerOptions{});
}

std::unique_ptr<Power> makePower(const PowerOptions &options) {
    return std::make_unique<SystemPower>(options);
}

} // namespace vantoli
