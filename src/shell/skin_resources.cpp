#include "shell/skin.h"

#include <QtGlobal>

static void initSkinsQrc() { Q_INIT_RESOURCE(skins); }

void vantoli::shell::initSkinResources() {
    static const bool done = (initSkinsQrc(), true);
    Q_UNUSED(done);
}
