#include "playback/play_state.h"

#include <gtest/gtest.h>

using namespace vantoli;

// The cases where several conditions hold at once decide the code.
TEST(PlayStateTest, PrecedenceOfOverlappingConditions) {
    EngineCondition c;
    EXPECT_EQ(mapPlayState(c), kStateIdle);
    c.stoppedByUser = true;
    EXPECT_EQ(mapPlayState(c), kStateStopped);

    c = {};
    c.loading = true;
    EXPECT_EQ(mapPlayState(c), kStatePreparing);
    c.network = true;
    EXPECT_EQ(mapPlayState(c), kStateConnecting);
    c.stopping = true; // a stop while opening
    EXPECT_EQ(mapPlayState(c), kStateStopping);

    c = {};
    c.loaded = true;
    c.pausedForCache = true;
    EXPECT_EQ(mapPlayState(c), kStateBuffering);
    c.paused = true; // a caller's pause wins over waiting for data
    EXPECT_EQ(mapPlayState(c), kStatePaused);
    c.endReached = true; // the engine pauses itself at the end
    EXPECT_EQ(mapPlayState(c), kStateFinished);
}
