#pragma once
// A Power for tests: counts the shutdown requests and answers with a result
// the test chooses.

#include "platform/power.h"

namespace vantoli {

class FakePower final : public Power {
public:
    int requests = 0;
    bool result = true;

    bool powerOff() override {
        ++requests;
        return result;
    }
};

} // namespace vantoli
