// Desktop integration. Wired into the main window here.
#include "shell/ba1.h"

namespace vantoli::shell {

void BA1::wireDesktop() {}

} // namespace vantoli::shell
