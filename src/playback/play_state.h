#pragma once
// How the engine's condition becomes a PlayState code.

#include "playback/player.h"

namespace vantoli {

// What the player knows about the engine at one moment.
struct EngineCondition {
    bool loading = false;        // a load was asked for and the file is not open yet
    bool network = false;        // the item is read over the network
    bool loaded = false;         // a file is open
    bool stopping = false;       // a stop was asked for and the file is not closed yet
    bool stoppedByUser = false;  // the last item was ended by Stop
    bool paused = false;         // paused by a caller
    bool pausedForCache = false; // the engine waits for data before it goes on
    bool endReached = false;     // the end of the item was reached; its last frame is kept
};

int mapPlayState(const EngineCondition &c);

} // namespace vantoli
