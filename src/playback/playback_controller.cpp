#include "playback/playback_controller.h"

#include "catalog/links.h"
#include "playback/player.h"

namespace vantoli {

PlaybackController::PlaybackController(const PlaybackServices &s, QObject *parent)
    : QObject(parent), session_(*s.session), player_(s.player), positions_(session_.state(), *s.history),
      continuation_(session_, *s.view, *this, *s.lookups, *s.settings, s.contentBase),
      tick_(*s.player, session_, *s.view, *this, *s.settings, positions_, continuation_, s.clock),
      end_(session_, *s.view, *this, *s.power, playEndedUrl(s.contentBase)),
      playArea_(session_, *s.view, *s.transport, s.contentBase) {
    timer1_.setInterval(1000);
    timer2_.setInterval(2000);
    timer4_.setInterval(50000);
    connect(&timer1_, &QTimer::timeout, this, [this] { tick_.tick(); });
    connect(&timer2_, &QTimer::timeout, this, [this] { end_.tick(); });
    connect(&timer4_, &QTimer::timeout, this, [this] { continuation_.retryTick(); });
    timer1_.start();
}

void PlaybackController::playerChanged() {
    if (timer1_.isActive() && state().lastState != kStatePlaying &&
        player_->PlayState() == kStatePlaying)
        tick_.tick();
}

QTimer &PlaybackController::timer(PlaybackTimer t) {
    switch (t) {
    case PlaybackTimer::Status: return timer1_;
    case PlaybackTimer::EndOfPlayback: return timer2_;
    case PlaybackTimer::LookupRetry: break;
    }
    return timer4_;
}

bool PlaybackController::isTimerEnabled(PlaybackTimer t) const {
    return const_cast<PlaybackController *>(this)->timer(t).isActive();
}

void PlaybackController::setTimerEnabled(PlaybackTimer t, bool enabled) {
    QTimer &q = timer(t);
    if (!enabled)
        q.stop();
    else if (!q.isActive())
        q.start();
}

} // namespace vantoli
