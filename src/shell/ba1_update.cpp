// The update check. Wired into the main window here: Timer5 runs the timed
// check once, 6000 ms after load; the menu item runs shengji.
#include "shell/ba1.h"

#include "platform/http_get.h"
#include "update/update_check.h"
#include "update/updater_launcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

namespace vantoli::shell {

struct BA1::UpdateWiring final : UpdateHost {
    UpdateWiring(BA1 &w, AsyncHttpGet &http)
        : window(w),
          launcher(w.options_.contentBase, QCoreApplication::applicationDirPath(),
                   QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                   QCoreApplication::arguments().mid(1), selfUpdateBuilt()),
          check(http, w.dialogs_, w.settings_, w.playbackState_, *this, launcher, w.options_.contentBase) {}

    void setRecommendAtExit(const QString &flag) override { window.recommendAtExit_ = flag; }
    void loadNoticePopup() override { window.loadNoticePopup(); }
    void gun_ad() override { window.gun_ad(); }
    void showStopAdPane() override { window.setControlVisible(QStringLiteral("bo_pad"), true); }
    void ttt_v() override { window.ttt_v(); }

    BA1 &window;
    ProcessUpdaterLauncher launcher;
    UpdateCheck check;
    QTimer Timer5;
};

void BA1::wireUpdate() {
    update_ = {new UpdateWiring(*this, contentFetches()), [](UpdateWiring *u) { delete u; }};
    update_->check.setRefusedVersion(takeRefusedVersion());
    QTimer &timer = update_->Timer5;
    timer.setSingleShot(true);
    timer.setInterval(6000);
    connect(&timer, &QTimer::timeout, this, [this] { update_->check.timedCheck(); });
    timer.start();
}

void BA1::cancelControlFile() {
    if (update_)
        update_->check.cancel();
}

AsyncHttpGet &BA1::contentFetches() {
    if (options_.http)
        return *options_.http;
    if (!ownHttp_)
        ownHttp_ = makeAsyncHttpGet();
    return *ownHttp_;
}

void BA1::shengji() {
    if (update_)
        update_->check.shengji();
}

} // namespace vantoli::shell
