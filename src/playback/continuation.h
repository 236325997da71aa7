#pragma once
// Next-episode continuation: the look-ahead lookup the status tick asks for
// while a network episode plays (it prepares the next media link and the
// address to prebuffer), its retry about 100 s after a failure, and the
// previous/next episode commands. Everything is keyed by the current item
// key "id-source-episode-title" of the playback state.

#include "app/settings_file.h"
#include "playback/playback_state.h"
#include "playback/playback_view.h"

#include <QString>

namespace vantoli {

class HttpGet;

class Continuation : public EpisodeStepper {
public:
    Continuation(PlaybackState &state, PlaybackView &view, PlaybackTimers &timers, HttpGet &http,
                 const Settings &settings, QString contentBase);

    // The look-ahead: asks the content server for episode + 1 and records
    // the answer in the next-episode state and the prebuffer link.
    void lookUpNextEpisode();
    // One tick of the retry timer; the second tick after a failure runs the
    // lookup again.
    void retryTick();
    // Previous (1) or next (other values) episode: plays it through the
    // catalog pane. Fails silently.
    void stepEpisode(int direction) override;

private:
    struct Key {
        QString id, source, title;
        int episode = 0;
    };
    // nullopt-like: ok false when the key is "0" or has no "-".
    bool splitKey(Key &key) const;
    QString lookup(const Key &key, int episode);

    PlaybackState &state_;
    PlaybackView &view_;
    PlaybackTimers &timers_;
    HttpGet &http_;
    const Settings &settings_;
    QString contentBase_;
};

} // namespace vantoli
