#include "playback/status_tick.h"

#include "app/app_settings.h"
#include "app/text_util.h"
#include "history/position_recorder.h"
#include "playback/continuation.h"
#include "playback/player.h"

#include <cmath>

namespace vantoli {
namespace {

const QString kPlayTip = QStringLiteral("播放");
const QString kPauseTip = QStringLiteral("暂停");

int roundToInt(double v) { return int(std::nearbyint(v)); } // halves to even

} // namespace

StatusTick::StatusTick(Player &player, PlaybackSession &session, PlaybackView &view, PlaybackTimers &timers,
                       const Settings &settings, PositionRecorder &positions,
                       Continuation &continuation, Clock clock)
    : player_(player), session_(session), view_(view), timers_(timers), settings_(settings),
      positions_(positions), continuation_(continuation), clock_(std::move(clock)) {}

void StatusTick::showPlayFace(PlaybackView &view, PlaybackSession &session) {
    view.paintTransportFrame(0, kStripPlay, 0);
    view.setTransportToolTip(0, kPlayTip);
    session.setPauseFace(false);
}

void StatusTick::showPauseFace(PlaybackView &view, PlaybackSession &session) {
    view.paintTransportFrame(0, kStripPlay, 116);
    view.setTransportToolTip(0, kPauseTip);
    session.setPauseFace(true);
}

bool StatusTick::balloonsWanted() const {
    return AppSettings(settings_).balloonsWanted();
}

void StatusTick::tick() {
    // 1. Nothing loaded: the clock instead of the times.
    if (player_.Url().isEmpty()) {
        view_.setTransportToolTip(0, kPlayTip);
        session_.setPauseFace(false);
        view_.setStatus(QStringLiteral("准备就绪"));
        view_.hideBuffered();
        view_.setTimes(clock_ ? clock_() : QString(), TimesLine::Tick);
        return;
    }

    // 2.
    session_.recordPosition(player_.Position());
    const int d = player_.Duration();
    const int p1 = player_.Position();
    const int p2 = player_.Position();

    // 3. The last two seconds of the item. A length of 0 is unknown (a live
    // or endless stream, or one whose length has not arrived yet): such an
    // item has no end to come near.
    if (d > 0 && d - 2 < p1 && p2 > 0) {
        positions_.recordEnd();
        timers_.setTimerEnabled(PlaybackTimer::EndOfPlayback, true);
        if (!balloonsWanted())
            return;
        if (state().shutdownAfterPlayback)
            view_.balloon(QStringLiteral("即将播放完毕，正准备自动关机！"));
        else if (state().nextEpisodePrepared())
            view_.balloon(QStringLiteral("正在准备播放下一集！"));
    }

    // 4. Look-ahead.
    if (player_.DownloadProgress() > 601 && state().prebufferLink != kNoNextEpisode &&
        state().prebufferStarted == 0) {
        if (state().prebufferLink != kNothing) {
            player_.Prebuffer(state().prebufferLink);
            session_.markPrebufferStarted();
            if (balloonsWanted())
                view_.balloon(QStringLiteral("开始缓冲下一集！"));
        } else {
            continuation_.lookUpNextEpisode();
        }
    }

    // 5.
    const int speed = player_.DownloadSpeed();
    session_.recordPlayerState(player_.PlayState(), speed);

    // 6. to 8.
    const int playState = state().lastState;
    showPanesFor(playState);
    if (playState == kStatePlaying)
        whilePlaying();
    else
        showStateText(playState);

    // 9. to 11.
    const int position = player_.Position();
    const int duration = player_.Duration();
    view_.setTimes(timeText(position) + QStringLiteral(" / ") + timeText(duration), TimesLine::Tick);
    placeBars(position, duration, player_.DownloadProgress());
}

void StatusTick::showPanesFor(int playState) {
    auto visible = [this](Part part) { return view_.isShown(part); };
    auto show = [this](Part part, bool v) { view_.setShown(part, v); };
    if (playState == kStatePlaying)
        return;
    if (playState == kStateIdle || playState == kStateStopped) {
        if (visible(Part::PauseAdPane))
            show(Part::PauseAdPane, false);
        if (state().stopAdState == 2 && !visible(Part::StopAdPane))
            show(Part::StopAdPane, true);
    } else if (state().pauseAdState == 2 && !visible(Part::PauseAdPane)) {
        show(Part::PauseAdPane, true);
        show(Part::StopAdPane, false);
    }
    if (!visible(Part::Cover)) {
        show(Part::Cover, true);
        show(Part::VideoHost, false);
    }
}

void StatusTick::whilePlaying() {
    // Resume once per item.
    const PlaybackState &st = state();
    if (st.resumePosition > 0 && st.resumeDone == 0) {
        if (player_.Position() < st.resumePosition) {
            if (st.playSource == kSourceLocal) {
                player_.setPosition(st.resumePosition);
            } else {
                // Only the part already fetched can be played at once.
                const int playable = roundToInt(player_.DownloadProgress() / 1000.0 * player_.Duration());
                if (st.resumePosition < playable)
                    player_.setPosition(st.resumePosition);
                else if (playable >= 201)
                    player_.setPosition(playable - 50);
            }
        }
        session_.markResumed();
    }
    if (view_.isShown(Part::Cover)) {
        view_.setShown(Part::Cover, false);
        view_.setShown(Part::VideoHost, true);
    }
    session_.followPosition(player_.Position());
    if (view_.isShown(Part::NextEpisodeNotice))
        view_.setShown(Part::NextEpisodeNotice, false);
    if (!st.pauseFace)
        showPauseFace(view_, session_);
    const QString text = st.lastSpeed > 0 && player_.Position() > 6
                             ? QStringLiteral("播放中(%1 Kbps/S)").arg(st.lastSpeed)
                             : QStringLiteral("播放中(%1 Kbps)").arg(player_.BitRate());
    view_.setStatus(text);
}

void StatusTick::showStateText(int playState) {
    const int lastSpeed = state().lastSpeed;
    const QString speed = QString::number(lastSpeed);
    QString text;
    switch (playState) {
    case kStateIdle:
        text = player_.Url().isEmpty() ? QStringLiteral("准备就绪") : QStringLiteral("停止播放");
        view_.setTransportToolTip(0, kPlayTip);
        session_.setPauseFace(false);
        player_.setFullScreen(kPlayerFalse);
        break;
    case kStateStopped:
        text = QStringLiteral("已停止");
        view_.setTransportToolTip(0, kPlayTip);
        session_.setPauseFace(false);
        break;
    case kStatePaused:
        text = lastSpeed > 0 ? QStringLiteral("已暂停 (") + speed + QStringLiteral("Kbps/S)")
                                    : QStringLiteral("已暂停");
        showPlayFace(view_, session_);
        break;
    case kStateBuffering: text = QStringLiteral("正在缓冲 (") + speed + QStringLiteral("Kbps/S)"); break;
    case kStateWaiting: text = QStringLiteral("等待中"); break;
    case kStateFinished: text = QStringLiteral("播放结束"); break;
    case kStatePreparing: text = QStringLiteral("准备读"); break;
    case kStateReconnecting: text = QStringLiteral("重连中"); break;
    case kStateFetchingSeed: text = QStringLiteral("BT种子下载中"); break;
    case kStateConnecting: text = QStringLiteral("正在连接 (") + speed + QStringLiteral("KB/S)"); break;
    case kStateStopping: text = QStringLiteral("正在停止"); break;
    default: return;
    }
    view_.setStatus(text);
}

void StatusTick::placeBars(int position, int duration, int progress) {
    view_.setProgress(position, duration, progress);
    view_.setToolTipOf(Part::SeekKnob, timeText(position));
}

} // namespace vantoli
