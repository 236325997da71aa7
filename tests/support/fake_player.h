#pragma once
// A player for tests of the layers above it: every value is a public field the
// test sets, and every call is recorded in order ("Play", "setPosition(30)").
// With autoState on, Play/Pause/Stop move PlayState the way a player would;
// turn it off to script the state by hand.

#include "playback/player.h"

#include <QStringList>

#include <algorithm>

namespace vantoli {

class FakePlayer : public Player {
public:
    QString url;
    int position = 0;
    int duration = 0;
    int state = kStateIdle;
    int downloadSpeed = 0;
    int bitRate = 0;
    int downloadProgress = 0;
    int volume = 100;
    int mute = kPlayerFalse;
    int fullScreen = kPlayerFalse;
    int pictureMode = kPictureFit;
    int audioChannel = kChannelMixed;
    QString adUrl;
    QStringList prebuffered;
    bool openFailed = false;

    bool autoState = true;
    QStringList calls;
    mutable int reads = 0; // getter calls, for tests that count component reads

    QString Url() const override { return ++reads, url; }
    void setUrl(const QString &u) override {
        record(QStringLiteral("setUrl(%1)").arg(u));
        url = u;
    }
    void Play() override {
        record(QStringLiteral("Play"));
        if (autoState && !url.isEmpty())
            state = kStatePlaying;
    }
    void Pause() override {
        record(QStringLiteral("Pause"));
        if (autoState && (state == kStatePlaying || state == kStateBuffering))
            state = kStatePaused;
    }
    void Stop() override {
        record(QStringLiteral("Stop"));
        if (autoState && state != kStateIdle)
            state = kStateStopped;
    }
    bool OpenFailed() const override { return openFailed; }
    int Position() const override { return ++reads, position; }
    void setPosition(int s) override {
        record(QStringLiteral("setPosition(%1)").arg(s));
        position = s;
    }
    int Duration() const override { return ++reads, duration; }
    int PlayState() const override { return ++reads, state; }
    int DownloadSpeed() const override { return ++reads, downloadSpeed; }
    int BitRate() const override { return ++reads, bitRate; }
    int DownloadProgress() const override { return ++reads, downloadProgress; }
    int Volume() const override { return ++reads, volume; }
    void setVolume(int v) override {
        record(QStringLiteral("setVolume(%1)").arg(v));
        volume = std::clamp(v, 0, 100);
    }
    int Mute() const override { return ++reads, mute; }
    void setMute(int m) override {
        record(QStringLiteral("setMute(%1)").arg(m));
        mute = m ? kPlayerTrue : kPlayerFalse;
    }
    void setFullScreen(int f) override {
        record(QStringLiteral("setFullScreen(%1)").arg(f));
        fullScreen = f ? kPlayerTrue : kPlayerFalse;
    }
    void SetPictureMode(int m) override {
        record(QStringLiteral("SetPictureMode(%1)").arg(m));
        pictureMode = m;
    }
    void SetAudioChannel(int c) override {
        record(QStringLiteral("SetAudioChannel(%1)").arg(c));
        audioChannel = c;
    }
    void Prebuffer(const QString &link) override {
        record(QStringLiteral("Prebuffer(%1)").arg(link));
        prebuffered.append(link);
    }
    void setAdUrl(const QString &u) override {
        record(QStringLiteral("setAdUrl(%1)").arg(u));
        adUrl = u;
    }

private:
    void record(const QString &call) { calls.append(call); }
};

} // namespace vantoli
