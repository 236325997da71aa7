#include "playback/continuation.h"

#include "app/app_settings.h"
#include "catalog/escape.h"
#include "catalog/links.h"
#include "platform/http_get.h"

namespace vantoli {

Continuation::Continuation(PlaybackSession &session, PlaybackView &view, PlaybackTimers &timers,
                           AsyncHttpGet &http, const Settings &settings, QString contentBase)
    : session_(session), view_(view), timers_(timers), settings_(settings), contentBase_(std::move(contentBase)),
      lookAhead_(&http), step_(&http) {}

bool Continuation::splitKey(Key &key) const {
    const auto parts = splitItemKey(state().currentItemKey);
    if (!parts)
        return false;
    key.id = parts->id;
    key.source = parts->source;
    key.episode = toIntOrZero(parts->episode);
    key.title = parts->title;
    return true;
}

QString Continuation::lookupUrl(const Key &key, int episode) const {
    return episodeLookupUrl(contentBase_, toIntOrZero(key.id), key.source, QString::number(episode));
}

void Continuation::cancelLookups() {
    lookAhead_.cancel();
    step_.cancel();
}

void Continuation::lookUpNextEpisode(std::function<void()> then) {
    if (!AppSettings(settings_).bufferNextEpisode()) {
        session_.setNextEpisode(kNothing);
        if (then)
            then();
        return;
    }
    Key key;
    if (!splitKey(key)) {
        if (then)
            then();
        return;
    }
    const quint64 item = state().itemSerial;
    if (lookAhead_.waiting() && lookAheadItem_ == item && !then)
        return;
    lookAheadItem_ = item;
    lookAhead_.start(lookupUrl(key, key.episode + 1), [this, key, item, then](const QString &body) {
        if (state().itemSerial != item)
            return;
        lookAheadReplied(key, body.trimmed());
        if (then)
            then();
    });
}

void Continuation::lookAheadReplied(const Key &key, const QString &reply) {
    if (reply == kNoNextEpisode || reply == kNothing) {
        session_.setLookAhead(reply);
        return;
    }
    if (const auto r = parseEpisodeLookupReply(reply)) {
        // Whatever kind the server names, the look-ahead link plays in the
        // player; the title is the key's, still escaped.
        MediaLink next;
        next.kind = QStringLiteral("peer");
        next.address = escapeText(r->address);
        next.title = key.title;
        next.episodeName = r->episodeName;
        next.videoId = toIntOrZero(key.id);
        next.source = key.source;
        next.episode = QString::number(key.episode + 1);
        next.listRefresh = QStringLiteral("0");
        session_.nextEpisodeFound(buildMediaLink(next), r->address);
        return;
    }
    session_.lookAheadFailed();
    view_.balloon(QStringLiteral("读取下一集数据出错，稍后将重新读取！"));
    timers_.setTimerEnabled(PlaybackTimer::LookupRetry, true);
}

void Continuation::retryTick() {
    if (session_.countRetryTick() != 1)
        return;
    timers_.setTimerEnabled(PlaybackTimer::LookupRetry, false);
    lookUpNextEpisode([this] { session_.retryFinished(); });
}

void Continuation::stepEpisode(int direction) {
    const int step = direction == 1 ? -1 : 1;
    Key key;
    if (!splitKey(key))
        return;
    if (direction == 1 && key.episode == 0)
        return;
    const int episode = key.episode + step;
    const quint64 item = state().itemSerial;
    step_.start(lookupUrl(key, episode), [this, key, episode, item](const QString &body) {
        if (state().itemSerial == item)
            stepReplied(key, episode, body.trimmed());
    });
}

void Continuation::stepReplied(const Key &key, int episode, const QString &reply) {
    if (reply == kNoNextEpisode || reply == kNothing)
        return;
    const auto r = parseEpisodeLookupReply(reply);
    if (!r)
        return;
    MediaLink link;
    link.kind = r->kind;
    link.address = escapeText(r->address);
    link.title = key.title;
    link.episodeName = r->episodeName;
    link.videoId = toIntOrZero(key.id);
    link.source = key.source;
    link.episode = QString::number(episode);
    link.listRefresh = QStringLiteral("0");
    view_.navigatePane(1, buildMediaLink(link));
}

} // namespace vantoli
