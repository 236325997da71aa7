#include "playback/end_of_playback.h"

#include "platform/power.h"

namespace vantoli {

EndOfPlayback::EndOfPlayback(PlaybackState &state, PlaybackView &view, PlaybackTimers &timers,
                             Power &power, QString playEndedUrl)
    : state_(state), view_(view), timers_(timers), power_(power), playEndedUrl_(std::move(playEndedUrl)) {}

void EndOfPlayback::sendEndOfPlaySignal() { view_.navigatePane(2, playEndedUrl_); }

void EndOfPlayback::tick() {
    view_.setControlVisible(QStringLiteral("bo_ad"), true);
    view_.setControlVisible(QStringLiteral("Peerx"), false);
    view_.setLabelText(QStringLiteral("zhun"), QStringLiteral("播放完毕"));
    timers_.setTimerEnabled(PlaybackTimer::EndOfPlayback, false);

    if (view_.autoShutdownChosen()) {
        timers_.setTimerEnabled(PlaybackTimer::Status, false);
        // A refused request leaves the window on "播放完毕".
        power_.powerOff();
        return;
    }
    state_.resumePosition = 1;
    state_.lastPosition = 1;
    if (state_.nextEpisodeState == kLookupFailed) {
        sendEndOfPlaySignal();
    } else if (state_.nextEpisodePrepared()) {
        timers_.setTimerEnabled(PlaybackTimer::Status, false);
        view_.setLabelText(QStringLiteral("next_s"), QStringLiteral("正准备播放下一集，请稍后..."));
        view_.setControlVisible(QStringLiteral("next_s"), true);
        sendEndOfPlaySignal();
    }
}

} // namespace vantoli
