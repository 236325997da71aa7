#pragma once
// The seek bar (track gunt, knob gunt1, played part gunt2, downloaded part
// huan) and the volume bar (track yin, knob bo_v, filled part bo_y) of the
// main window: pointer positions to a playback position and to a volume.
//
// Every x is in pixels. On Linux each widget, labels included, reports the
// pointer in pixels, so presses on the labels gunt2, huan and bo_y take x as
// given like the picture boxes do. For moves on the knobs gunt1 and bo_v, x
// is relative to the knob's left edge.

#include "playback/playback_session.h"
#include "playback/playback_view.h"
#include "playback/player.h"

#include <QString>
#include <Qt>

namespace vantoli::controls {

class SeekVolumeBars {
public:
    SeekVolumeBars(Player &player, PlaybackView &view, TransportCommands &commands,
                   PlaybackSession &session);

    // Mouse events on the seek and volume tracks, knobs and bars; other
    // parts are ignored. The knobs stay inside their tracks. The seek bar
    // does nothing while the item's length is unknown (Duration 0: a live or
    // endless stream, or a length still to arrive).
    void press(Part part, Qt::MouseButton button, int x);
    void move(Part part, Qt::MouseButtons held, int x);
    void release(Part part, int x);

    // Volume knob at range × volume / 100 (kept inside the track), filled
    // part up to it.
    void placeVolumeKnob(int volume);
    // Seek knob at position / duration × range (kept inside the track),
    // played part up to it. A duration of 0 or less leaves both alone and
    // returns false.
    bool placeSeekKnob(int position, int duration);

    // Track width minus knob width, never below 0.
    int seekRange() const;
    int volumeRange() const;

    // When the player reads muted, runs the mute command (bo_but_Click(2)) so
    // that it unmutes and the button and menu follow.
    void unmuteIfMuted();

private:
    bool lengthKnown() const;
    void setSeekKnob(int left);
    void seekFromKnob(int secondsBack);
    void setVolumeKnob(int left);

    Player &player_;
    PlaybackView &view_;
    TransportCommands &commands_;
    PlaybackSession &session_;
};

} // namespace vantoli::controls
