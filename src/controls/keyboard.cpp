#include "controls/keyboard.h"

#include "app/text_util.h"

#include <algorithm>

namespace vantoli::controls {

Keyboard::Keyboard(Player &player, const PlaybackState &state, PlaybackView &view,
                   PlaybackTimers &timers, TransportCommands &commands, SeekVolumeBars &bars)
    : player_(player), state_(state), view_(view), timers_(timers), commands_(commands),
      bars_(bars) {}

bool Keyboard::keyDown(int qtKey) {
    const int key = qtKey & ~int(Qt::KeyboardModifierMask);
    if (state_.playAreaMode != kPlayAreaPlayer)
        return false;

    bool shortcut = true;
    switch (key) {
    case Qt::Key_Space:
        // A key is not a click: a suppress flag left by an earlier right
        // press on a button must not swallow it.
        view_.setClickSuppress(false);
        commands_.bo_but_Click(0);
        break;
    case Qt::Key_Left: seekBack(); break;
    case Qt::Key_Right: seekForward(); break;
    case Qt::Key_Up: changeVolume(kVolumeStep); break;
    case Qt::Key_Down: changeVolume(-kVolumeStep); break;
    default: shortcut = false; break;
    }
    // Whatever the key was, also after a stop: any key in the player view
    // leaves the status tick running.
    timers_.setTimerEnabled(PlaybackTimer::Status, true);
    return shortcut;
}

void Keyboard::showSeek(int knobPosition) {
    const int duration = player_.Duration();
    if (!bars_.placeSeekKnob(knobPosition, duration))
        return;
    view_.setTimes(timeText(player_.Position()) + QStringLiteral(" / ") + timeText(duration));
}

void Keyboard::seekBack() {
    // The tick would move the knob between the seek and its read-back.
    timers_.setTimerEnabled(PlaybackTimer::Status, false);
    const int position = player_.Position();
    if (position <= 0) // nothing has played yet
        return;
    player_.setPosition(position - kSeekStepSeconds);
    if (player_.Position() < 0)
        player_.setPosition(0);
    showSeek(player_.Position());
}

void Keyboard::seekForward() {
    timers_.setTimerEnabled(PlaybackTimer::Status, false);
    const int position = player_.Position();
    if (position <= 0)
        return;
    player_.setPosition(position + kSeekStepSeconds);
    // Past the end: back to two seconds before it. A length of 0 is not
    // known yet, and a stream of unknown length has no end to go back from.
    const int duration = player_.Duration();
    if (duration > 0 && duration < player_.Position())
        player_.setPosition(std::max(0, duration - 2));
    // The knob goes a step ahead of the position read back.
    showSeek(player_.Position() + kSeekStepSeconds);
}

void Keyboard::changeVolume(int step) {
    bars_.unmuteIfMuted();
    player_.setVolume(std::clamp(player_.Volume() + step, 0, 100));
    const int volume = player_.Volume();
    view_.setStatus(QStringLiteral("音量：") + QString::number(volume) + u'%');
    bars_.placeVolumeKnob(volume);
}

} // namespace vantoli::controls
