#pragma once
// The switch between what the play area shows: the web playback pane (1),
// the player (2) or the TV channel pane (3). Leaving the player stops it
// through the stop command, which saves the position.

#include "playback/playback_session.h"
#include "playback/playback_view.h"

namespace vantoli {

class PlayArea : public PlayAreaSwitch {
public:
    PlayArea(PlaybackSession &session, PlaybackView &view, TransportCommands &transport, QString contentBase)
        : session_(session), view_(view), transport_(transport), contentBase_(std::move(contentBase)) {}

    void setPlayAreaMode(int mode) override;
    // The close buttons of the web playback pane (ggx) and of the TV channel
    // page (gtv): both leave the play area showing nothing (mode 0).
    void closeWebPlayback();
    void closeTvChannel();

private:
    PlaybackSession &session_;
    PlaybackView &view_;
    TransportCommands &transport_;
    QString contentBase_;
};

} // namespace vantoli
