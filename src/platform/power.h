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

std::unique_ptr<Power> makePower();

} // namespace vantoli
