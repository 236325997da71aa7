#include "notices/recommendation.h"

#include "notices/notice_line.h"

#include <algorithm>

namespace vantoli {

void RecommendationCloser::start() {
    view_.setLifeTimer(true);
    view_.setIconTimer(true);
}

void RecommendationCloser::iconTick() {
    view_.setIconTimer(false);
    if (closed_ || iconShown_)
        return;
    iconShown_ = true;
    view_.showCloseIcon();
}

void RecommendationCloser::lifeTick() {
    view_.setLifeTimer(false);
    close();
}

void RecommendationCloser::closeIconClicked() {
    // The picture cannot be clicked before it is shown.
    if (iconShown_)
        close();
}

void RecommendationCloser::newWindow(const QString &address) {
    if (closed_)
        return;
    // Only web addresses reach the browser.
    const QString url = webAddressToOpen(address);
    if (!url.isEmpty())
        view_.openInBrowser(url);
    close();
}

void RecommendationCloser::close() {
    if (closed_)
        return;
    closed_ = true;
    view_.setLifeTimer(false);
    view_.setIconTimer(false);
    view_.closeWindow();
}

RecommendationPlacement placeRecommendation(QSize inner, QSize closeIconSize) {
    RecommendationPlacement p;
    p.frame = QRect(QPoint(0, 0), inner);
    p.pane = QRect(-1, -1, inner.width() + 2, inner.height() + 2);
    p.closeIcon = QPoint(inner.width() - closeIconSize.width() - 5, 5);
    return p;
}

QRect recommendationWindowRect(const QRect &workArea) {
    const QSize size = kRecommendationSize.boundedTo(workArea.size());
    return QRect(workArea.x() + (workArea.width() - size.width()) / 2,
                 workArea.y() + (workArea.height() - size.height()) / 2, size.width(), size.height());
}

} // namespace vantoli
