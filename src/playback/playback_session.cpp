#include "playback/playback_session.h"

namespace vantoli {
namespace {

int &adState(PlaybackState &s, AdPane pane) { return pane == AdPane::Pause ? s.pauseAdState : s.stopAdState; }

} // namespace

template <typename Change>
void PlaybackSession::update(Change change) {
    const PlaybackState before = state_;
    change(state_);
    if (!(state_ == before))
        emit changed();
}

void PlaybackSession::startItem(PlaybackState &s) {
    ++s.itemSerial;
    s.lastPosition = 0;
    s.lastState = 0;
    s.lastSpeed = 0;
    s.currentItemKey = kNothing;
    s.currentEpisodeName.clear();
    s.nextEpisodeState = kNothing;
    s.prebufferLink = kNothing;
    s.prebufferStarted = 0;
    s.lookupRetryCount = 0;
    s.resumePosition = 0;
    s.resumeDone = 0;
}

void PlaybackSession::setPlayAreaMode(int mode) {
    update([&](PlaybackState &s) { s.playAreaMode = mode; });
}

void PlaybackSession::startNetworkItem(const QString &key, const QString &episodeName, const QString &reference,
                                       int resumePosition) {
    update([&](PlaybackState &s) {
        startItem(s);
        s.currentItemKey = key;
        s.currentEpisodeName = episodeName;
        s.currentItemReference = reference;
        s.playSource = kSourceNetwork;
        s.resumePosition = resumePosition;
    });
}

void PlaybackSession::startLocalItem(const QString &path, int resumePosition) {
    update([&](PlaybackState &s) {
        startItem(s);
        s.currentItemReference = path;
        s.playSource = kSourceLocal;
        s.resumePosition = resumePosition;
    });
}

void PlaybackSession::dropItemReference(int source) {
    update([&](PlaybackState &s) {
        s.currentItemReference = kNothing;
        s.playSource = source;
    });
}

void PlaybackSession::recordPosition(int seconds) {
    update([&](PlaybackState &s) { s.lastPosition = seconds; });
}

void PlaybackSession::recordPlayerState(int playState, int speed) {
    update([&](PlaybackState &s) {
        s.lastState = playState;
        s.lastSpeed = speed;
    });
}

void PlaybackSession::followPosition(int seconds) {
    update([&](PlaybackState &s) { s.resumePosition = seconds; });
}

void PlaybackSession::markResumed() {
    update([](PlaybackState &s) { s.resumeDone = 1; });
}

void PlaybackSession::resumeOnNextPlay() {
    update([](PlaybackState &s) { s.resumeDone = 0; });
}

void PlaybackSession::itemStopped() {
    update([](PlaybackState &s) {
        s.lastPosition = 0;
        s.resumePosition = 0;
    });
}

void PlaybackSession::itemEnded() {
    update([](PlaybackState &s) {
        s.resumePosition = 1;
        s.lastPosition = 1;
    });
}

void PlaybackSession::setNextEpisode(const QString &next) {
    update([&](PlaybackState &s) { s.nextEpisodeState = next; });
}

void PlaybackSession::setLookAhead(const QString &answer) {
    update([&](PlaybackState &s) {
        s.nextEpisodeState = answer;
        s.prebufferLink = answer;
    });
}

void PlaybackSession::nextEpisodeFound(const QString &mediaLink, const QString &prebufferAddress) {
    update([&](PlaybackState &s) {
        s.prebufferLink = prebufferAddress;
        s.prebufferStarted = 0;
        s.nextEpisodeState = mediaLink;
    });
}

void PlaybackSession::lookAheadFailed() {
    update([](PlaybackState &s) {
        s.nextEpisodeState = kLookupFailed;
        s.prebufferLink = kNothing;
        s.lookupRetryCount = 0;
        s.prebufferStarted = 1;
    });
}

int PlaybackSession::countRetryTick() {
    const int before = state_.lookupRetryCount;
    update([](PlaybackState &s) { ++s.lookupRetryCount; });
    return before;
}

void PlaybackSession::retryFinished() {
    update([](PlaybackState &s) {
        s.prebufferStarted = 0;
        s.lookupRetryCount = 0;
    });
}

void PlaybackSession::markPrebufferStarted() {
    update([](PlaybackState &s) { s.prebufferStarted = 1; });
}

void PlaybackSession::adPageFailed(AdPane pane) {
    update([&](PlaybackState &s) { adState(s, pane) = 1; });
}

bool PlaybackSession::enableAd(AdPane pane) {
    bool on = false;
    update([&](PlaybackState &s) {
        int &ad = adState(s, pane);
        on = ad != 1;
        if (on)
            ad = 2;
    });
    return on;
}

void PlaybackSession::setPauseFace(bool pause) {
    update([&](PlaybackState &s) { s.pauseFace = pause; });
}

void PlaybackSession::setMuted(bool muted) {
    update([&](PlaybackState &s) { s.muted = muted; });
}

void PlaybackSession::setShutdownAfterPlayback(bool on) {
    update([&](PlaybackState &s) { s.shutdownAfterPlayback = on; });
}

} // namespace vantoli
