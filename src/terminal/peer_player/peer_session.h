#pragma once
// What PeerPlayer's window does, without the window: which item is open, the
// transport state, the times and the error line. The engine reports to it on
// the UI thread; it drives the engine and tells the view what to show. Tested
// with a fake engine and a fake view.

#include "terminal/peer_player/command_line.h"

#include <QString>

namespace vantoli::peer {

// The playback engine as the session drives it. Every call returns at once.
class MediaEngine {
public:
    virtual ~MediaEngine() = default;
    // Replaces whatever is open with address and starts playing it.
    virtual void open(const QString &address) = 0;
    virtual void setPaused(bool paused) = 0;
    // Closes the item.
    virtual void stop() = 0;
    virtual void seek(double seconds) = 0;
    virtual void setVolume(int volume) = 0; // 0 to 100
};

// Why an item could not be played.
enum class EngineError { CannotOpen, NotMedia, NothingToPlay, Other };

// What the engine reports about the item it last opened.
class EngineListener {
public:
    virtual ~EngineListener() = default;
    virtual void engineStarted(double duration) = 0; // playback began (the first frame is out)
    virtual void engineProgress(double position, double duration) = 0;
    virtual void enginePaused(bool paused) = 0;
    virtual void engineFinished() = 0; // reached the end; the last frame stays
    virtual void engineFailed(EngineError error) = 0;
    virtual void engineClosed() = 0;   // nothing open any more (after stop)
};

class PeerView {
public:
    virtual ~PeerView() = default;
    virtual void setTitle(const QString &title) = 0;
    // Whether the play button offers to play (true) or to pause.
    virtual void setPlayOffered(bool offered) = 0;
    virtual void setTimes(int position, int duration) = 0; // whole seconds
    virtual void setVolume(int volume) = 0;
    // An empty text hides the error line.
    virtual void setError(const QString &text) = 0;
};

class PeerSession final : public EngineListener {
public:
    enum class State { Empty, Opening, Playing, Paused, Finished, Stopped, Failed };

    PeerSession(MediaEngine &engine, PeerView &view, QString workingDir);

    // Opens an item from the command line or the open-file dialog; an empty
    // item leaves the window empty.
    void openItem(const QString &item);

    // The play/pause button and the space key.
    void togglePlay();
    void stop();
    void seekTo(int seconds);
    void seekBy(int seconds);
    void setVolume(int volume);
    void changeVolume(int delta);

    State state() const { return state_; }
    int volume() const { return volume_; }
    // The error shown, or empty.
    QString error() const { return error_; }

    // EngineListener
    void engineStarted(double duration) override;
    void engineProgress(double position, double duration) override;
    void enginePaused(bool paused) override;
    void engineFinished() override;
    void engineFailed(EngineError error) override;
    void engineClosed() override;

    static QString errorText(EngineError error, const QString &displayName);
    static QString windowTitle(const PlayTarget &target);

private:
    void setState(State state);
    void showError(const QString &text);
    void showTimes();
    bool canSeek() const;

    MediaEngine &engine_;
    PeerView &view_;
    QString workingDir_;
    PlayTarget target_;
    State state_ = State::Empty;
    QString error_;
    double position_ = 0;
    double duration_ = 0;
    int volume_ = 100;
};

} // namespace vantoli::peer
