#pragma once
// Next-episode continuation: the look-ahead lookup the status tick asks for
// while a network episode plays (it prepares the next media link and the
// address to prebuffer), its retry about 100 s after a failure, and the
// previous/next episode commands. Everything is keyed by the current item
// key "id-source-episode-title" of the playback state.
//
// The lookups do not wait for the server: each asks it and returns, and what
// follows the reply happens when the reply arrives. A reply for an item that
// is no longer the current one is dropped.

#include "app/settings_file.h"
#include "platform/http_get.h"
#include "playback/playback_session.h"
#include "playback/playback_view.h"

#include <QString>

#include <functional>

namespace vantoli {

class Continuation : public EpisodeStepper {
public:
    Continuation(PlaybackSession &session, PlaybackView &view, PlaybackTimers &timers, AsyncHttpGet &http,
                 const Settings &settings, QString contentBase);

    // The look-ahead: asks the content server for episode + 1 and records
    // the answer in the next-episode state and the prebuffer link; then runs
    // `then`. While a look-ahead for the current item waits, another call
    // without `then` leaves it waiting (the status tick asks every second).
    void lookUpNextEpisode(std::function<void()> then = {});
    // One tick of the retry timer; the second tick after a failure runs the
    // lookup again.
    void retryTick();
    // Previous (1) or next (other values) episode: plays it through the
    // catalog pane. Fails silently. A second press while the first one's
    // lookup waits replaces it.
    void stepEpisode(int direction) override;
    // Drops the lookups still waiting (the window is closing).
    void cancelLookups();

private:
    struct Key {
        QString id, source, title;
        int episode = 0;
    };
    // nullopt-like: ok false when the key is "0" or has no "-".
    bool splitKey(Key &key) const;
    QString lookupUrl(const Key &key, int episode) const;
    void lookAheadReplied(const Key &key, const QString &reply);
    void stepReplied(const Key &key, int episode, const QString &reply);

    const PlaybackState &state() const { return session_.state(); }

    PlaybackSession &session_;
    PlaybackView &view_;
    PlaybackTimers &timers_;
    const Settings &settings_;
    QString contentBase_;
    SingleFetch lookAhead_;
    quint64 lookAheadItem_ = 0; // the item serial the waiting look-ahead is for
    SingleFetch step_;
};

} // namespace vantoli
