#include "controls/seek_volume.h"

#include "playback/view_geometry.h"

#include <QRect>

#include <algorithm>
#include <cmath>

namespace vantoli::controls {

namespace {

const QString kSeekTrack = QStringLiteral("gunt");
const QString kSeekKnob = QStringLiteral("gunt1");
const QString kPlayedPart = QStringLiteral("gunt2");
const QString kLoadedPart = QStringLiteral("huan");
const QString kVolumeTrack = QStringLiteral("yin");
const QString kVolumeKnob = QStringLiteral("bo_v");
const QString kVolumeFill = QStringLiteral("bo_y");

constexpr int kSecondsBack = 2;

} // namespace

SeekVolumeBars::SeekVolumeBars(Player &player, PlaybackView &view, TransportCommands &commands,
                               PlaybackState &state)
    : player_(player), view_(view), commands_(commands), state_(state) {}

int SeekVolumeBars::seekRange() const {
    return std::max(0, view_.controlGeometry(kSeekTrack).width() -
                           view_.controlGeometry(kSeekKnob).width());
}

int SeekVolumeBars::volumeRange() const {
    return std::max(0, view_.controlGeometry(kVolumeTrack).width() -
                           view_.controlGeometry(kVolumeKnob).width());
}

void SeekVolumeBars::setSeekKnob(int left) {
    left = std::clamp(left, 0, seekRange());
    setControlLeft(view_, kSeekKnob, left);
    setControlWidth(view_, kPlayedPart, left);
}

void SeekVolumeBars::setVolumeKnob(int left) {
    const int range = volumeRange();
    left = std::clamp(left, 0, range);
    setControlLeft(view_, kVolumeKnob, left);
    setControlWidth(view_, kVolumeFill, left);
    if (range > 0)
        player_.setVolume(left * 100 / range);
    view_.setLabelText(QStringLiteral("zhun"),
                       QStringLiteral("音量：") + QString::number(player_.Volume()) + u'%');
}

void SeekVolumeBars::unmuteIfMuted() {
    if (player_.Mute() != kPlayerTrue)
        return;
    // The mute command goes by the state; make sure it takes the unmute way,
    // and that a stale suppress flag from an earlier right press on a button
    // does not swallow it.
    state_.muted = true;
    view_.setClickSuppress(false);
    commands_.bo_but_Click(2);
}

void SeekVolumeBars::seekFromKnob(int secondsBack) {
    const int range = seekRange();
    // Without a known length there is no position the knob stands for.
    if (range <= 0 || !lengthKnown())
        return;
    const int knob = view_.controlGeometry(kSeekKnob).left();
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

void SeekVolumeBars::press(const QString &control, Qt::MouseButton button, int x) {
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

void SeekVolumeBars::move(const QString &control, Qt::MouseButtons held, int x) {
    if (!(held & Qt::LeftButton))
        return;
    if (control == kSeekKnob) {
        if (!player_.Url().isEmpty() && lengthKnown())
            setSeekKnob(view_.controlGeometry(kSeekKnob).left() + x);
    } else if (control == kVolumeKnob) {
        unmuteIfMuted();
        setVolumeKnob(view_.controlGeometry(kVolumeKnob).left() + x);
    }
}

void SeekVolumeBars::release(const QString &control, int /*x*/) {
    if (control == kSeekTrack) {
        if (!player_.Url().isEmpty())
            seekFromKnob(0);
    } else if (control == kSeekKnob) {
        // Close to the start the step back is left out: the proportional
        // second is kept.
        seekFromKnob(view_.controlGeometry(kSeekKnob).left() > 2 ? kSecondsBack : 0);
    } else if (control == kPlayedPart || control == kLoadedPart) {
        seekFromKnob(kSecondsBack);
    }
}

void SeekVolumeBars::placeVolumeKnob(int volume) {
    const int range = volumeRange();
    const int left = std::clamp(int(qint64(range) * volume / 100), 0, range);
    setControlLeft(view_, kVolumeKnob, left);
    setControlWidth(view_, kVolumeFill, left);
}

bool SeekVolumeBars::placeSeekKnob(int position, int duration) {
    if (duration <= 0)
        return false;
    const int range = seekRange();
    const int left = int(std::lround(double(position) / duration * range));
    const int clamped = std::clamp(left, 0, range);
    setControlLeft(view_, kSeekKnob, clamped);
    setControlWidth(view_, kPlayedPart, clamped);
    return true;
}

} // namespace vantoli::controls
