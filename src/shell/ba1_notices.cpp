// Notices: the pop-up tankou, the notice line on the bottom bar and the
// recommendation window ba4. Wired into the main window here.
#include "shell/ba1.h"

#include "notices/ba4.h"
#include "notices/notice_labels.h"
#include "notices/tankou.h"
#include "platform/http_get.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>

namespace vantoli::shell {

struct BA1::NoticesWiring {
    // The pop-up's schedule fetch goes before the getter it waits on.
    ~NoticesWiring() { delete popup; }
    std::unique_ptr<NoticeLabels> line;
    QPointer<tankou> popup;
};

void BA1::wireNotices() {
    notices_ = {new NoticesWiring, [](NoticesWiring *w) { delete w; }};
    NoticeLabels::HoverState hover{[this] { return modes_.noticeHoverState(); },
                                   [this](int state) { modes_.setNoticeHoverState(state); }};
    notices_->line = std::make_unique<NoticeLabels>(static_cast<QLabel *>(control(QStringLiteral("La0"))),
                                                    control(QStringLiteral("bo_foot")), std::move(hover), dialogs_);
}

void BA1::loadNoticePopup() {
    // Loaded once; a second request finds it loaded.
    if (!notices_ || notices_->popup)
        return;
    notices_->popup = new tankou(contentFetches(), dialogs_, options_.contentBase, this);
    notices_->popup->load();
}

void BA1::gun_ad() {
    if (notices_)
        notices_->line->line().gun_ad(contentFetches(), options_.contentBase);
}

void BA1::unloadNoticeWindow() {
    if (notices_ && notices_->popup) {
        notices_->popup->hide();
        notices_->popup->deleteLater();
    }
    // The recommendation window comes after the main window has closed:
    // that close must not end the program; the recommendation window's own
    // close does.
    if (recommendAtExit_ == QStringLiteral("1"))
        QGuiApplication::setQuitOnLastWindowClosed(false);
}

bool BA1::showRecommendationOnExit() {
    if (recommendAtExit_ != QStringLiteral("1"))
        return false;
    auto *window = new ba4(dialogs_, options_.contentBase, [] { QCoreApplication::quit(); });
    window->start();
    window->show();
    return true;
}

} // namespace vantoli::shell
