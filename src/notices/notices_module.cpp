#include "notices/notices_module.h"

#include "notices/ba4.h"
#include "notices/tankou.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace vantoli {

NoticesModule::NoticesModule(NoticesModuleServices services)
    : s_(std::move(services)),
      line_(std::make_unique<NoticeLabels>(s_.line, s_.footer, s_.hover, *s_.dialogs)) {}

// The pop-up's schedule fetch goes before the getter it waits on.
NoticesModule::~NoticesModule() { delete popup_.data(); }

void NoticesModule::loadNoticePopup() {
    // Loaded once; a second request finds it loaded.
    if (popup_)
        return;
    popup_ = new tankou(*s_.http, *s_.dialogs, s_.contentBase, s_.window);
    popup_->load();
}

void NoticesModule::gun_ad() { line_->line().gun_ad(*s_.http, s_.contentBase); }

void NoticesModule::unloadNoticeWindow() {
    if (popup_) {
        popup_->hide();
        popup_->deleteLater();
    }
    // The recommendation window comes after the main window has closed:
    // that close must not end the program; the recommendation window's own
    // close does.
    if (recommendAtExit_ == QStringLiteral("1"))
        QGuiApplication::setQuitOnLastWindowClosed(false);
}

bool NoticesModule::showRecommendationOnExit() {
    if (recommendAtExit_ != QStringLiteral("1"))
        return false;
    auto *window = new ba4(*s_.dialogs, s_.contentBase, [] { QCoreApplication::quit(); });
    window->start();
    window->show();
    return true;
}

} // namespace vantoli
