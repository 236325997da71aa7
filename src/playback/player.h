#pragma once
// The player component as the rest of the program sees it. Everything above
// it (status tick, transport, continuation, catalog) drives playback through
// these operations only, on the UI thread. Getters return at once from what
// the player last observed; they never wait for the engine.

#include <QString>

namespace vantoli {

// Booleans cross this interface as integers: -1 true, 0 false.
inline constexpr int kPlayerTrue = -1;
inline constexpr int kPlayerFalse = 0;

// PlayState codes.
enum PlayStateCode : int {
    kStateIdle = 0,
    kStateStopped = 1,
    kStatePaused = 2,
    kStatePlaying = 3,
    kStateBuffering = 4,
    kStateWaiting = 5,
    kStateFinished = 6,
    kStatePreparing = 7, // preparing to read
    kStateReconnecting = 8,
    kStateFetchingSeed = 9,
    kStateConnecting = 10,
    kStateStopping = 11,
};

// SetPictureMode arguments.
enum PictureMode : int {
    kPictureStretch = 0, // fill the box, ignoring the aspect ratio
    kPictureFit = 1,     // as large as fits, keeping the video's own aspect ratio
    kPicture4x3 = 2,
    kPicture5x4 = 3,
    kPicture16x9 = 4,
};

// SetAudioChannel arguments.
enum AudioChannel : int {
    kChannelMixed = 0, // both channels as recorded
    kChannelLeft = 1,  // left channel on the left speaker only
    kChannelRight = 2, // right channel on the right speaker only
    kChannelLeftToBoth = 4,
    kChannelRightToBoth = 5,
};

class Player {
public:
    virtual ~Player() = default;

    // Link or file to play; "" while nothing is loaded. Setting it loads
    // nothing yet: Play does.
    virtual QString Url() const = 0;
    virtual void setUrl(const QString &url) = 0;

    // Starts playing Url, or resumes after Pause.
    virtual void Play() = 0;
    // True once the player gave up opening Url before it ever played (not a
    // media file, unreadable, unreachable, an address it does not take),
    // until the next Play of another item.
    virtual bool OpenFailed() const = 0;
    virtual void Pause() = 0;
    // Stops; Url keeps its value.
    virtual void Stop() = 0;

    // Playback position in whole seconds; setting it seeks.
    virtual int Position() const = 0;
    virtual void setPosition(int seconds) = 0;
    // Length in whole seconds; 0 until known.
    virtual int Duration() const = 0;
    // One of the PlayStateCode values.
    virtual int PlayState() const = 0;
    // Current transfer rate in KB/s (fits 16 bits).
    virtual int DownloadSpeed() const = 0;
    // The stream's bit rate in kbit/s.
    virtual int BitRate() const = 0;
    // Share of the item already fetched, in thousandths (0 to 1000).
    virtual int DownloadProgress() const = 0;

    // 0 to 100.
    virtual int Volume() const = 0;
    virtual void setVolume(int volume) = 0;
    // Boolean (-1/0).
    virtual int Mute() const = 0;
    virtual void setMute(int mute) = 0;
    // Boolean (-1/0): the video covers the whole screen while true.
    virtual void setFullScreen(int fullScreen) = 0;

    virtual void SetPictureMode(int mode) = 0;
    virtual void SetAudioChannel(int channel) = 0;
    // Begins fetching that link in the background; the current item keeps
    // playing.
    virtual void Prebuffer(const QString &link) = 0;
    // Advertisement page address for the component (set once at window start).
    virtual void setAdUrl(const QString &url) = 0;
};

} // namespace vantoli
