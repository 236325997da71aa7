#pragma once
// The owner of the main window's playback state. The controllers that change
// it (status tick, continuation, end of playback, play area, transport, the
// panes' handlers and events, the update check) do so through the operations
// below, each named for what happened; everyone else reads state() as const.
// changed() follows every operation that changed something, once.

#include "playback/playback_state.h"

#include <QObject>
#include <QString>

namespace vantoli {

// The two advertisement panes whose state the session keeps.
enum class AdPane { Pause, Stop };

class PlaybackSession final : public QObject {
    Q_OBJECT
public:
    explicit PlaybackSession(QObject *parent = nullptr) : QObject(parent) {}

    const PlaybackState &state() const { return state_; }

    void setPlayAreaMode(int mode);

    // An item starts. Nothing of the previous one carries over: its key,
    // episode name, next episode, prebuffer link and lookup retry, resume
    // point and what the status tick last read go back to nothing, and the
    // item serial moves on, so that late lookup replies for it are dropped.
    //
    // A network item: key "id-source-episode-title", its episode name as
    // shown, and the history reference positions are written to (its task id;
    // "0" for web playback, which has none).
    void startNetworkItem(const QString &key, const QString &episodeName, const QString &reference,
                          int resumePosition = 0);
    // A local play, by its path or address.
    void startLocalItem(const QString &path, int resumePosition);
    // No history entry takes positions any more (the item could not be
    // opened, or a web playback comes from the network list); `source` is the
    // list of what plays now. Keeps the rest of the item.
    void dropItemReference(int source);

    // What the status tick read: the position first, the state and download
    // speed later in the same tick.
    void recordPosition(int seconds);
    void recordPlayerState(int playState, int speed);

    // The resume point: once per item the tick resumes there; while playing
    // it follows the position.
    void followPosition(int seconds);
    void markResumed();
    // The play button: the next playing tick checks the resume point again.
    void resumeOnNextPlay();
    // Stopped: nothing to resume from and nothing to record.
    void itemStopped();
    // Played to its end: both read 1, the item's start.
    void itemEnded();

    // The next episode. `next` alone: "0" none prepared, "1" there is none.
    void setNextEpisode(const QString &next);
    // The look-ahead's answer without a link: next-episode state and
    // prebuffer link both "0" (nothing known) or both "1" (no next episode).
    void setLookAhead(const QString &answer);
    // The look-ahead found the next episode: its media link, and the address
    // to prebuffer (not yet started).
    void nextEpisodeFound(const QString &mediaLink, const QString &prebufferAddress);
    // The look-ahead failed: "3" until a retry; prebuffering and further
    // look-aheads wait for it.
    void lookAheadFailed();
    // One tick of the retry timer; returns the ticks counted before it.
    int countRetryTick();
    // The retry's lookup has answered: look-aheads may run again.
    void retryFinished();
    void markPrebufferStarted();

    // An advertisement pane's page failed to load: it stays off.
    void adPageFailed(AdPane pane);
    // The control file turns the pane on, unless its page failed; returns
    // whether it is on.
    bool enableAd(AdPane pane);

    void setPauseFace(bool pause);
    void setMuted(bool muted);
    void setShutdownAfterPlayback(bool on);

signals:
    void changed();

private:
    void startItem(PlaybackState &s);
    template <typename Change>
    void update(Change change);

    PlaybackState state_;
};

} // namespace vantoli
