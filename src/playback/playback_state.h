#pragma once
// What the main window's playback is at one moment: what the play area
// shows, the item playing, its next episode and resume point, what the status
// tick last read and the transport's toggles. A plain value: PlaybackSession
// owns the one the window uses and is the only one that changes it; everyone
// else reads it as const.

#include <QString>

namespace vantoli {

// What the play area shows.
enum PlayAreaMode : int {
    kPlayAreaNone = 0,   // nothing shown yet
    kPlayAreaWeb = 1,    // web playback pane
    kPlayAreaPlayer = 2, // player component
    kPlayAreaTv = 3,     // TV channel pane
};

// Where an item's position is remembered.
enum PlaySource : int {
    kSourceNetwork = 1, // date.dat
    kSourceLocal = 2,   // date_f.dat
};

// Markers of the next-episode state and the prebuffer link.
inline const QString kNothing = QStringLiteral("0");
inline const QString kNoNextEpisode = QStringLiteral("1");
inline const QString kLookupFailed = QStringLiteral("3");

struct PlaybackState {
    int playAreaMode = kPlayAreaNone;

    // id "-" source "-" episode "-" escaped title of the network episode
    // playing, or "0".
    QString currentItemKey = kNothing;
    // The episode name of that network episode as the title bar shows it
    // (unescaped); "" for anything else.
    QString currentEpisodeName;
    // "0" nothing prepared, "1" no next episode, "3" lookup failed (retry
    // pending), otherwise the media link of the next episode.
    QString nextEpisodeState = kNothing;
    // "0" not looked up, "1" no next episode, otherwise the plain address.
    QString prebufferLink = kNothing;
    int prebufferStarted = 0; // also blocks lookups while a retry is pending
    int lookupRetryCount = 0; // retry-timer ticks since the last failure
    // Counts item starts, so that a lookup's late reply can tell whether the
    // item it was made for is still the current one.
    quint64 itemSerial = 0;

    // History key of the item: network id as text, local path, or "0".
    QString currentItemReference = kNothing;
    int playSource = kSourceNetwork;
    int resumePosition = 0; // seconds; then follows Position while playing
    int resumeDone = 0;

    // Written by every status tick.
    int lastPosition = 0;
    int lastState = 0;
    int lastSpeed = 0;

    // 0 at start, 1 its page failed to load, 2 the control file enabled it.
    int pauseAdState = 0;
    int stopAdState = 0;

    // The two transport toggles: button 0 shows its pause face (tooltip
    // "暂停") while playing; button 2 reads "取消静音" while muted.
    bool pauseFace = false;
    bool muted = false;
    // The after-playback choice of the player menu: shut the computer down
    // once the last episode has played.
    bool shutdownAfterPlayback = false;

    // Whether the next-episode state holds a prepared media link.
    bool nextEpisodePrepared() const {
        return !nextEpisodeState.isEmpty() && nextEpisodeState != kNothing &&
               nextEpisodeState != kNoNextEpisode && nextEpisodeState != kLookupFailed;
    }

    bool operator==(const PlaybackState &) const = default;
};

} // namespace vantoli
