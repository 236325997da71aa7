#include "playback/play_area.h"

namespace vantoli {

void PlayArea::setPlayAreaMode(int mode) {
    const PlaybackState &state = session_.state();
    if (state.playAreaMode == kPlayAreaPlayer)
        transport_.bo_but_Click(1);
    if (mode != kPlayAreaWeb && state.playAreaMode == kPlayAreaWeb)
        closeWebPlayback();
    if (mode != kPlayAreaTv && state.playAreaMode == kPlayAreaTv)
        closeTvChannel();
    session_.setPlayAreaMode(mode);
    view_.setShown(Part::WebPlaybackArea, mode == kPlayAreaWeb);
    view_.setShown(Part::PlayerArea, mode != kPlayAreaWeb);
}

void PlayArea::closeWebPlayback() {
    view_.setProgress(0, 0, 0);
    view_.setTitle(QString());
    view_.setTimes(QString());
    view_.setShown(Part::WebPlaybackArea, false);
    view_.setShown(Part::PlayerArea, true);
    view_.navigatePane(2, QStringLiteral("about:blank"));
    session_.setPlayAreaMode(kPlayAreaNone);
}

void PlayArea::closeTvChannel() {
    view_.setShown(Part::TvClose, false);
    session_.setPlayAreaMode(kPlayAreaNone);
    view_.navigatePane(10, contentBase_ + QStringLiteral("tv/ad.htm"));
}

} // namespace vantoli
