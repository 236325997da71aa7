#pragma once
// The end of an item: two seconds after the status tick saw its last two
// seconds, the window shows "播放完毕" and then either shuts the computer
// down (when the user chose it in the after-playback menu) or sends the
// end-of-play signal that makes the catalog go on to the next episode.

#include "playback/playback_session.h"
#include "playback/playback_view.h"

#include <QString>

namespace vantoli {

class Power;

class EndOfPlayback {
public:
    EndOfPlayback(PlaybackSession &session, PlaybackView &view, PlaybackTimers &timers, Power &power,
                  QString playEndedUrl);

    // The Timer2 tick.
    void tick();
    // Navigates the web playback pane to the end-of-play placeholder.
    void sendEndOfPlaySignal();
    const QString &playEndedUrl() const { return playEndedUrl_; }

private:
    PlaybackSession &session_;
    PlaybackView &view_;
    PlaybackTimers &timers_;
    Power &power_;
    QString playEndedUrl_;
};

} // namespace vantoli
