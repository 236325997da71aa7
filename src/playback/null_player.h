#pragma once
// The player the window holds when no engine could be made: it plays
// nothing and stays idle, keeps what it is told (address, volume, mute) so
// the controls read back what they set, and holds nothing else, however long
// the program runs.

#include "playback/player.h"

#include <algorithm>

namespace vantoli {

class NullPlayer final : public Player {
public:
    QString Url() const override { return url_; }
    void setUrl(const QString &url) override { url_ = url; }
    void Play() override {}
    bool OpenFailed() const override { return false; }
    void Pause() override {}
    void Stop() override {}
    int Position() const override { return 0; }
    void setPosition(int) override {}
    int Duration() const override { return 0; }
    int PlayState() const override { return kStateIdle; }
    int DownloadSpeed() const override { return 0; }
    int BitRate() const override { return 0; }
    int DownloadProgress() const override { return 0; }
    int Volume() const override { return volume_; }
    void setVolume(int volume) override { volume_ = std::clamp(volume, 0, 100); }
    int Mute() const override { return mute_; }
    void setMute(int mute) override { mute_ = mute ? kPlayerTrue : kPlayerFalse; }
    void setFullScreen(int) override {}
    void SetPictureMode(int) override {}
    void SetAudioChannel(int) override {}
    void Prebuffer(const QString &) override {}
    void setAdUrl(const QString &) override {}

private:
    QString url_;
    int volume_ = 100;
    int mute_ = kPlayerFalse;
};

} // namespace vantoli
