#include "playback/play_state.h"

namespace vantoli {

// Engine condition                         -> code
//   stop asked for, file not closed yet    -> 11 stopping
//   load asked for, file not open yet:
//     network address                      -> 10 connecting
//     local file                           ->  7 preparing to read
//   file open:
//     end reached (last frame kept)        ->  6 finished
//     paused by a caller                   ->  2 paused
//     engine waiting for data (cache)      ->  4 buffering
//     otherwise                            ->  3 playing
//   nothing open:
//     ended by Stop                        ->  1 stopped
//     never loaded, failed or closed       ->  0 idle
// Codes 5 (waiting), 8 (reconnecting) and 9 (fetching a seed) have no engine
// counterpart and are not produced.
int mapPlayState(const EngineCondition &c) {
    if (c.stopping)
        return kStateStopping;
    if (c.loading)
        return c.network ? kStateConnecting : kStatePreparing;
    if (c.loaded) {
        if (c.endReached)
            return kStateFinished;
        if (c.paused)
            return kStatePaused;
        if (c.pausedForCache)
            return kStateBuffering;
        return kStatePlaying;
    }
    return c.stoppedByUser ? kStateStopped : kStateIdle;
}

} // namespace vantoli
