// The update check. Wired into the main window here.
#include "shell/ba1.h"

namespace vantoli::shell {

void BA1::wireUpdate() {}

void BA1::shengji() {}

} // namespace vantoli::shell
