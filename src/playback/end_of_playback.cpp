#include "playback/end_of_playback.h"

#include "platform/power.h"

namespace vantoli {

EndOfPlayback::EndOfPlayback(PlaybackSession &session, PlaybackView &view, PlaybackTimers &timers,
                             Power &power, QString playEndedUrl)
    : session_(session), view_(view), timers_(timers), power_(power), playEndedUrl_(std::move(playEndedUrl)) {}

void EndOfPlayback::sendEndOfPlaySignal() { view_.navigatePane(2, playEndedUrl_); }

void EndOfPlayback::tick() {
    view_.setShown(Part::Cover, true);
    view_.setShown(Part::VideoHost, false);
    view_.setStatus(QStringLiteral("播放完毕"));
    timers_.setTimerEnabled(PlaybackTimer::EndOfPlayback, false);

    const PlaybackState &state = session_.state();
    if (state.shutdownAfterPlayback) {
        timers_.setTimerEnabled(PlaybackTimer::Status, false);
        // A refused request leaves the window on "播放完毕".
        power_.powerOff();
        return;
    }
    session_.itemEnded();
    if (state.nextEpisodeState == kLookupFailed) {
        sendEndOfPlaySignal();
    } else if (state.nextEpisodePrepared()) {
        timers_.setTimerEnabled(PlaybackTimer::Status, false);
        view_.setTextOf(Part::NextEpisodeNotice, QStringLiteral("正准备播放下一集，请稍后..."));
        view_.setShown(Part::NextEpisodeNotice, true);
        sendEndOfPlaySignal();
    }
}

} // namespace vantoli
