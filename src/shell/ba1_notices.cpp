// Notices: pop-up, notice line, recommendation window. Wired into the main window here.
#include "shell/ba1.h"

namespace vantoli::shell {

void BA1::wireNotices() {}

void BA1::loadNoticePopup() {}

void BA1::gun_ad() {}

void BA1::unloadNoticeWindow() {}

bool BA1::showRecommendationOnExit() { return false; }

} // namespace vantoli::shell
