#pragma once
// The playback subsystem of the main window in one object: the playback
// session, the timers Timer1 (status tick), Timer2 (end of playback) and
// Timer4 (lookup retry), and the controllers they drive. The window creates
// it with its view and the platform layers and forwards commands to it.

#include "history/position_recorder.h"
#include "playback/continuation.h"
#include "playback/end_of_playback.h"
#include "playback/play_area.h"
#include "playback/playback_session.h"
#include "playback/status_tick.h"

#include <QObject>
#include <QTimer>

namespace vantoli {

class AsyncHttpGet;
class HistoryStore;
class Player;
class Power;

struct PlaybackServices {
    PlaybackSession *session = nullptr; // the window's
    Player *player = nullptr;
    PlaybackView *view = nullptr;
    TransportCommands *transport = nullptr;
    AsyncHttpGet *lookups = nullptr; // the episode lookups
    Power *power = nullptr;
    HistoryStore *history = nullptr;
    const Settings *settings = nullptr;
    QString contentBase;
    StatusTick::Clock clock;
};

class PlaybackController final : public QObject, public PlaybackTimers {
    Q_OBJECT
public:
    explicit PlaybackController(const PlaybackServices &services, QObject *parent = nullptr);

    PlaybackSession &session() { return session_; }
    const PlaybackState &state() const { return session_.state(); }
    Continuation &continuation() { return continuation_; }
    // The one writer of the playing item's position (the transport's stop
    // uses it too).
    PositionRecorder &positions() { return positions_; }
    StatusTick &statusTick() { return tick_; }
    EndOfPlayback &endOfPlayback() { return end_; }
    PlayArea &playArea() { return playArea_; }

    bool isTimerEnabled(PlaybackTimer timer) const override;
    void setTimerEnabled(PlaybackTimer timer, bool enabled) override;
    QTimer &timer(PlaybackTimer timer);

    // The player reported a change. The first report of an item playing
    // runs the status tick at once, so the picture shows without waiting up
    // to a second for the next tick.
    void playerChanged();

private:
    PlaybackSession &session_;
    Player *player_;
    QTimer timer1_, timer2_, timer4_;
    PositionRecorder positions_;
    Continuation continuation_;
    StatusTick tick_;
    EndOfPlayback end_;
    PlayArea playArea_;
};

} // namespace vantoli
