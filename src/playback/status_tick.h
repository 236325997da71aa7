#pragma once
// The status tick: once a second it polls the player and turns what it
// reports into the status line, the time text and the bars; it resumes an
// item at its remembered position once, swaps the advertisement panes with
// the playback state, notices the last two seconds of an item (which starts
// the end of playback) and starts the look-ahead for the next episode.

#include "app/settings_file.h"
#include "playback/playback_session.h"
#include "playback/playback_view.h"

#include <functional>

namespace vantoli {

class Continuation;
class Player;
class PositionRecorder;

class StatusTick {
public:
    using Clock = std::function<QString()>; // time of day in the user's format

    StatusTick(Player &player, PlaybackSession &session, PlaybackView &view, PlaybackTimers &timers,
               const Settings &settings, PositionRecorder &positions, Continuation &continuation,
               Clock clock);

    void tick();

    // Button 0's faces and tooltips, which the tick and the transport share.
    static void showPlayFace(PlaybackView &view, PlaybackSession &session);
    static void showPauseFace(PlaybackView &view, PlaybackSession &session);

private:
    bool balloonsWanted() const;
    void showPanesFor(int playState);
    void whilePlaying();
    void showStateText(int playState);
    void placeBars(int position, int duration, int progress);

    const PlaybackState &state() const { return session_.state(); }

    Player &player_;
    PlaybackSession &session_;
    PlaybackView &view_;
    PlaybackTimers &timers_;
    const Settings &settings_;
    PositionRecorder &positions_;
    Continuation &continuation_;
    Clock clock_;
};

} // namespace vantoli
