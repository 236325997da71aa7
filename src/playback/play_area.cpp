#include "playback/play_area.h"

#include "playback/view_geometry.h"

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
    setControlLeft(view_, QStringLiteral("gunt1"), 0);
    for (const char *bar : {"gunt2", "huan"}) {
        setControlLeft(view_, QString::fromLatin1(bar), 0);
        setControlWidth(view_, QString::fromLatin1(bar), 0);
    }
    view_.setLabelText(QStringLiteral("bo_name"), QString());
    view_.setLabelText(QStringLiteral("times"), QString());
    placeTimeLabel(view_);
    view_.setControlVisible(QStringLiteral("Pic2"), false);
    view_.setControlVisible(QStringLiteral("peer"), true);
    view_.navigatePane(2, QStringLiteral("about:blank"));
    state_.playAreaMode = kPlayAreaNone;
}

void PlayArea::closeTvChannel() {
    view_.setControlVisible(QStringLiteral("gtv"), false);
    state_.playAreaMode = kPlayAreaNone;
    view_.navigatePane(10, contentBase_ + QStringLiteral("tv/ad.htm"));
}

} // namespace vantoli
