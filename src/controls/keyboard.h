#pragma once
// Keyboard shortcuts of the main window while the player is shown: space
// plays or pauses, left and right seek by 10 seconds, up and down change the
// volume by 10. Shift, Ctrl and Alt make no difference.

#include "controls/seek_volume.h"
#include "playback/playback_state.h"
#include "playback/playback_view.h"
#include "playback/player.h"

namespace vantoli::controls {

inline constexpr int kSeekStepSeconds = 10;
inline constexpr int kVolumeStep = 10;

class Keyboard {
public:
    Keyboard(Player &player, const PlaybackState &state, PlaybackView &view, PlaybackTimers &timers,
             TransportCommands &commands, SeekVolumeBars &bars);

    // Key-down with a Qt key code (modifier bits, if any, are ignored).
    // While the player is shown any key leaves the status timer running;
    // true when the key was one of the five, so the window consumes it.
    bool keyDown(int qtKey);

private:
    void seekBack();
    void seekForward();
    void changeVolume(int step);
    void showSeek(int knobPosition);

    Player &player_;
    const PlaybackState &state_;
    PlaybackView &view_;
    PlaybackTimers &timers_;
    TransportCommands &commands_;
    SeekVolumeBars &bars_;
};

} // namespace vantoli::controls
