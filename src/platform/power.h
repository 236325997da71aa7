#pragma once
// Forced system shutdown. The real layer asks logind over the system D-Bus
// to power off, and falls back to `systemctl poweroff`. When the environment
// variable VANTOLI_POWER_COMMAND names a program, that program is started
// instead (with the argument "poweroff") and nothing else happens: tests
// and demonstrations watch the request without shutting anything down.

#include <QString>

#include <memory>

namespace vantoli {

inline const char *const kPowerCommandVariable = "VANTOLI_POWER_COMMAND";

class Power {
public:
    virtual ~Power() = default;
    // Requests the shutdown; false when every way was refused. Never waits
    // for the shutdown itself.
    virtual bool powerOff() = 0;
};

// Where the real layer sends its requests. The defaults are the real ones;
// tests point them at a private bus and a recording program.
struct PowerOptions {
    // D-Bus address of the bus that carries logind; empty for the system bus.
    QString busAddress;
    // Started with the single argument "poweroff" when logind refuses.
    QString fallbackProgram = QStringLiteral("systemctl");
    // How long to wait for logind's answer before falling back.
    int busTimeoutMs = 5000;
};

std::unique_ptr<Power> makePower();
std::unique_ptr<Power> makePower(const PowerOptions &options);

} // namespace vantoli
