#include "controls/seek_volume.h"

#include "playback/view_geometry.h"

#include <QRect>

#include <algorithm>
#include <cmath>

namespace vantoli::controls {

namespace {

constexpr Part kSeekTrack = Part::SeekTrack;
constexpr Part kSeekKnob = Part::SeekKnob;
constexpr Part kPlayedPart = Part::PlayedBar;
constexpr Part kLoadedPart = Part::BufferedBar;
constexpr Part kVolumeTrack = Part::VolumeTrack;
constexpr Part kVolumeKnob = Part::VolumeKnob;
constexpr Part kVolumeFill = Part::VolumeFill;

constexpr int kSecondsBack = 2;

} // namespace

SeekVolumeBars::SeekVolumeBars(Player &player, PlaybackView &view, TransportCommands &commands,
                               PlaybackSession &session)
    : player_(player), view_(view), commands_(commands), session_(session) {}

int SeekVolumeBars::seekRange() const {
    return std::max(0, view_.geometryOf(kSeekTrack).width() -
                           view_.geometryOf(kSeekKnob).width());
}

int SeekVolumeBars::volumeRange() const {
    return std::max(0, view_.geometryOf(kVolumeTrack).width() -
                           view_.geometryOf(kVolumeKnob).width());
}

void SeekVolumeBars::setSeekKnob(int left) {
    left = std::clamp(left, 0, seekRange());
    setLeftOf(view_, kSeekKnob, left);
    setWidthOf(view_, kPlayedPart, left);
}

void SeekVolumeBars::setVolumeKnob(int left) {
    const int range = volumeRange();
    left = std::clamp(left, 0, range);
    setLeftOf(view_, kVolumeKnob, left);
    setWidthOf(view_, kVolumeFill, left);
    if (range > 0)
        player_.setVolume(left * 100 / range);
    view_.setStatus(QStringLiteral("音量：") + QString::number(player_.Volume()) + u'%');
}

void SeekVolumeBars::unmuteIfMuted() {
    if (player_.Mute() != kPlayerTrue)
        return;
    // The mute command goes by the state; make sure it takes the unmute way,
    // and that a stale suppress flag from an earlier right press on a button
    // does not swallow it.
    session_.setMuted(true);
    view_.setClickSuppress(false);
    commands_.bo_but_Click(2);
}

void SeekVolumeBars::seekFromKnob(int secondsBack) {
    const int range = seekRange();
    // Without a known length there is no position the knob stands for.
    if (range <= 0 || !lengthKnown())
        return;
    const int knob = view_.geometryOf(kSeekKnob).left();
    // Multiplied first, so that an exact half stays exact.
    const double target = double(knob) * player_.Duration() / range - secondsBack;
    // Halves go to the even neighbour (the default rounding mode). A negative
    // target would read as "from the end" to some engines: start instead.
    player_.setPosition(std::max(0, int(std::nearbyint(target))));
    const int duration = player_.Duration();
    if (duration < player_.Position())
        player_.setPosition(std::max(0, duration - kSecondsBack));
}

bool SeekVolumeBars::lengthKnown() const { return player_.Duration() > 0; }

void SeekVolumeBars::press(Part control, Qt::MouseButton button, int x) {
    if (button != Qt::LeftButton)
        return;
    if (control == kSeekTrack) {
        if (!player_.Url().isEmpty() && lengthKnown())
            setSeekKnob(x);
    } else if (control == kPlayedPart || control == kLoadedPart) {
        if (lengthKnown())
            setSeekKnob(x);
    } else if (control == kVolumeTrack || control == kVolumeFill) {
        unmuteIfMuted();
        setVolumeKnob(x);
    }
}

void SeekVolumeBars::move(Part control, Qt::MouseButtons held, int x) {
    if (!(held & Qt::LeftButton))
        return;
    if (control == kSeekKnob) {
        if (!player_.Url().isEmpty() && lengthKnown())
            setSeekKnob(view_.geometryOf(kSeekKnob).left() + x);
    } else if (control == kVolumeKnob) {
        unmuteIfMuted();
        setVolumeKnob(view_.geometryOf(kVolumeKnob).left() + x);
    }
}

void SeekVolumeBars::release(Part control, int /*x*/) {
    if (control == kSeekTrack) {
        if (!player_.Url().isEmpty())
            seekFromKnob(0);
    } else if (control == kSeekKnob) {
        // Close to the start the step back is left out: the proportional
        // second is kept.
        seekFromKnob(view_.geometryOf(kSeekKnob).left() > 2 ? kSecondsBack : 0);
    } else if (control == kPlayedPart || control == kLoadedPart) {
        seekFromKnob(kSecondsBack);
    }
}

void SeekVolumeBars::placeVolumeKnob(int volume) {
    const int range = volumeRange();
    const int left = std::clamp(int(qint64(range) * volume / 100), 0, range);
    setLeftOf(view_, kVolumeKnob, left);
    setWidthOf(view_, kVolumeFill, left);
}

bool SeekVolumeBars::placeSeekKnob(int position, int duration) {
    if (duration <= 0)
        return false;
    const int range = seekRange();
    const int left = int(std::lround(double(position) / duration * range));
    const int clamped = std::clamp(left, 0, range);
    setLeftOf(view_, kSeekKnob, clamped);
    setWidthOf(view_, kPlayedPart, clamped);
    return true;
}

} // namespace vantoli::controls
