#pragma once
// The update check's part of the main window: Timer5 runs the timed check
// once, 6000 ms after the window loaded; the menu item runs shengji.

#include "update/update_check.h"
#include "update/updater_launcher.h"

#include <QTimer>

#include <functional>

namespace vantoli {

struct UpdateModuleServices {
    AsyncHttpGet *http = nullptr; // the control file
    Dialogs *dialogs = nullptr;
    const Settings *settings = nullptr;
    PlaybackSession *session = nullptr;
    QString contentBase;
    // What the control file starts elsewhere (UpdateHost, one to one).
    std::function<void(const QString &)> setRecommendAtExit;
    std::function<void()> loadNoticePopup;
    std::function<void()> gun_ad;
    std::function<void()> showStopAdPane;
    std::function<void()> ttt_v;
};

class UpdateModule final : private UpdateHost {
public:
    explicit UpdateModule(UpdateModuleServices services);

    void shengji() { check_.shengji(); }
    // A control file on its way is dropped (exit routine).
    void cancel() { check_.cancel(); }
    QTimer &timer5() { return timer5_; }

private:
    void setRecommendAtExit(const QString &flag) override { s_.setRecommendAtExit(flag); }
    void loadNoticePopup() override { s_.loadNoticePopup(); }
    void gun_ad() override { s_.gun_ad(); }
    void showStopAdPane() override { s_.showStopAdPane(); }
    void ttt_v() override { s_.ttt_v(); }

    UpdateModuleServices s_;
    ProcessUpdaterLauncher launcher_;
    UpdateCheck check_;
    QTimer timer5_;
};

} // namespace vantoli
