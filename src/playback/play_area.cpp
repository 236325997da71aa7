#include "playback/play_area.h"

namespace vantoli {

void PlayArea::setPlayAreaMode(int mode) {
    if (state_.playAreaMode == kPlayAreaPlayer)
        transport_.bo_but_Click(1);
    if (mode != kPlayAreaWeb && state_.playAreaMode == kPlayAreaWeb)
        closeWebPlayback();
    if (mode != kPlayAreaTv && state_.playAreaMode == kPlayAreaTv)
        closeTvChannel();
    state_.playAreaMode = mode;
    view_.setControlVisible(QStringLiteral("Pic2"), mode == kPlayAreaWeb);
    view_.setControlVisible(QStringLiteral("peer"), mode != kPlayAreaWeb);
}

void PlayArea::closeWebPlayback() {
    auto set = [this](const char *name, auto change) {
        QRect g = view_.controlGeometry(QString::fromLatin1(name));
        change(g);
        view_.setControlGeometry(QString::fromLatin1(name), g);
    };
    set("gunt1", [](QRect &g) { g.moveLeft(0); });
    set("gunt2", [](QRect &g) { g.setRect(0, g.top(), 0, g.height()); });
    set("huan", [](QRect &g) { g.setRect(0, g.top(), 0, g.height()); });
    view_.setLabelText(QStringLiteral("bo_name"), QString());
    view_.setLabelText(QStringLiteral("times"), QString());
    const int peerWidth = view_.controlGeometry(QStringLiteral("peer")).width();
    set("times", [peerWidth](QRect &g) { g.moveLeft(peerWidth - g.width() - 13); });
    view_.setControlVisible(QStringLiteral("Pic2"), false);
    view_.setControlVisible(QStringLiteral("peer"), true);
    view_.processPendingEvents();
    view_.navigatePane(2, QStringLiteral("about:blank"));
    state_.playAreaMode = kPlayAreaNone;
}

void PlayArea::closeTvChannel() {
    view_.setControlVisible(QStringLiteral("gtv"), false);
    state_.playAreaMode = kPlayAreaNone;
    view_.processPendingEvents();
    view_.navigatePane(10, contentBase_ + QStringLiteral("tv/ad.htm"));
}

} // namespace vantoli
