#include "terminal/peer_player/peer_session.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace vantoli::peer {

PeerSession::PeerSession(MediaEngine &engine, PeerView &view, QString workingDir)
    : engine_(engine), view_(view), workingDir_(std::move(workingDir)) {}

QString PeerSession::errorText(EngineError error, const QString &displayName) {
    switch (error) {
    case EngineError::CannotOpen:
        return QStringLiteral("无法打开：%1").arg(displayName);
    case EngineError::NotMedia:
        return QStringLiteral("无法播放：%1（不是媒体文件）").arg(displayName);
    case EngineError::NothingToPlay:
        return QStringLiteral("无法播放：%1（没有音视频）").arg(displayName);
    case EngineError::Other:
        break;
    }
    return QStringLiteral("无法播放：%1").arg(displayName);
}

QString PeerSession::windowTitle(const PlayTarget &target) {
    if (target.kind == PlayTarget::None)
        return QStringLiteral("PeerPlayer");
    return target.displayName + QStringLiteral(" - PeerPlayer");
}

void PeerSession::openItem(const QString &item) {
    const bool wasOpen = state_ == State::Opening || state_ == State::Playing || state_ == State::Paused ||
                         state_ == State::Finished;
    target_ = resolvePlayTarget(item, workingDir_);
    position_ = 0;
    duration_ = 0;
    showError({});
    view_.setTitle(windowTitle(target_));
    showTimes();

    QString refusal;
    if (target_.kind == PlayTarget::Unsupported) {
        refusal = QStringLiteral("不支持的地址：%1").arg(target_.address);
    } else if (target_.kind == PlayTarget::LocalFile) {
        const QFileInfo file(target_.address);
        if (!file.exists())
            refusal = QStringLiteral("找不到文件：%1").arg(target_.address);
        else if (!file.isFile() || !file.isReadable())
            refusal = errorText(EngineError::CannotOpen, target_.displayName);
    }
    if (target_.kind == PlayTarget::None || !refusal.isEmpty()) {
        // Whatever played before does not go on under another item's title.
        if (wasOpen)
            engine_.stop();
        showError(refusal);
        setState(refusal.isEmpty() ? State::Empty : State::Failed);
        return;
    }
    engine_.open(target_.address);
    setState(State::Opening);
}

void PeerSession::togglePlay() {
    switch (state_) {
    case State::Empty:
        break;
    case State::Failed:
        // The file may be there now, or the server back.
        if (target_.kind != PlayTarget::Unsupported)
            openItem(target_.address);
        break;
    case State::Stopped:
        position_ = 0;
        engine_.open(target_.address);
        setState(State::Opening);
        break;
    case State::Opening:
    case State::Playing:
        engine_.setPaused(true);
        setState(State::Paused);
        break;
    case State::Paused:
        engine_.setPaused(false);
        setState(State::Playing);
        break;
    case State::Finished:
        // Play at the end starts the item over.
        engine_.seek(0);
        engine_.setPaused(false);
        position_ = 0;
        showTimes();
        setState(State::Playing);
        break;
    }
}

void PeerSession::stop() {
    if (state_ != State::Opening && state_ != State::Playing && state_ != State::Paused &&
        state_ != State::Finished)
        return;
    engine_.stop();
    position_ = 0;
    showTimes();
    setState(State::Stopped);
}

bool PeerSession::canSeek() const {
    return (state_ == State::Playing || state_ == State::Paused || state_ == State::Finished) && duration_ > 0;
}

void PeerSession::seekTo(int seconds) {
    if (!canSeek())
        return;
    const double target = std::clamp<double>(seconds, 0, duration_);
    engine_.seek(target);
    position_ = target;
    showTimes();
    // The engine holds still at the end; a seek back leaves it paused there.
    if (state_ == State::Finished)
        setState(State::Paused);
}

void PeerSession::seekBy(int seconds) {
    if (!canSeek())
        return;
    seekTo(int(std::floor(position_)) + seconds);
}

void PeerSession::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    engine_.setVolume(volume_);
    view_.setVolume(volume_);
}

void PeerSession::changeVolume(int delta) {
    setVolume(volume_ + delta);
}

void PeerSession::engineStarted(double duration) {
    if (state_ != State::Opening && state_ != State::Paused)
        return;
    duration_ = std::max(0.0, duration);
    showTimes();
    if (state_ == State::Opening)
        setState(State::Playing);
}

void PeerSession::engineProgress(double position, double duration) {
    if (state_ == State::Empty || state_ == State::Stopped || state_ == State::Failed)
        return;
    const int before = int(position_), beforeLength = int(duration_);
    position_ = std::max(0.0, position);
    duration_ = std::max(0.0, duration);
    if (int(position_) != before || int(duration_) != beforeLength)
        showTimes();
}

void PeerSession::enginePaused(bool paused) {
    if (state_ == State::Playing && paused)
        setState(State::Paused);
    else if ((state_ == State::Paused || state_ == State::Finished) && !paused)
        setState(State::Playing);
}

void PeerSession::engineFinished() {
    if (state_ == State::Playing || state_ == State::Paused || state_ == State::Opening)
        setState(State::Finished);
}

void PeerSession::engineFailed(EngineError error) {
    if (state_ == State::Empty || state_ == State::Stopped)
        return; // a late report about an item already closed
    showError(errorText(error, target_.displayName));
    position_ = 0;
    duration_ = 0;
    showTimes();
    setState(State::Failed);
}

void PeerSession::engineClosed() {
    if (state_ == State::Playing || state_ == State::Paused || state_ == State::Finished) {
        position_ = 0;
        showTimes();
        setState(State::Stopped);
    }
}

void PeerSession::setState(State state) {
    state_ = state;
    view_.setPlayOffered(state != State::Playing && state != State::Opening);
}

void PeerSession::showError(const QString &text) {
    error_ = text;
    view_.setError(text);
}

void PeerSession::showTimes() {
    view_.setTimes(int(position_), int(duration_));
}

} // namespace vantoli::peer
