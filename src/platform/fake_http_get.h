#pragma once
// A scripted HttpGet for tests of the layers that fetch: canned replies by
// URL, a record of what was fetched, and a hook that runs while a fetch is
// "in flight" so a test can do what a timer or queued call could do there
// (fetch again, abort).

#include "platform/http_get.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace vantoli {

class FakeHttpGet final : public HttpGet {
public:
    // url -> body; a URL not listed gives "".
    QHash<QString, QString> replies;
    // The fetches that ran, in order (a refused nested one is not listed).
    QStringList requested;
    // Nested get() calls refused because a fetch was running.
    int refusedNested = 0;
    // Called inside get(), with busy() true, before the reply is given.
    std::function<void(const QString &url)> duringGet;

    QString get(const QString &url) override {
        if (busy_) {
            ++refusedNested;
            return {};
        }
        requested << url;
        busy_ = true;
        aborted_ = false;
        if (duringGet)
            duringGet(url);
        busy_ = false;
        return aborted_ ? QString() : replies.value(url);
    }

    bool busy() const override { return busy_; }

    void abort() override {
        if (busy_)
            aborted_ = true;
    }

private:
    bool busy_ = false;
    bool aborted_ = false;
};

// A scripted AsyncHttpGet: fetches wait until the test answers them, so a
// test decides what happens while a lookup waits and in which order replies
// come.
class FakeAsyncHttpGet final : public AsyncHttpGet {
public:
    // url -> body for answerAll(); a URL not listed gives "".
    QHash<QString, QString> replies;
    // Every fetch started, in order.
    QStringList requested;
    // The URLs of fetches cancelled while they waited.
    QStringList cancelled;

    quint64 start(const QString &url, Reply reply) override {
        requested << url;
        waiting_.emplace(nextId_, Waiting{url, std::move(reply)});
        return nextId_++;
    }
    void cancel(quint64 id) override {
        const auto it = waiting_.find(id);
        if (it == waiting_.end())
            return;
        cancelled << it->second.url;
        waiting_.erase(it);
    }

    // The URLs still waiting, oldest first.
    QStringList waiting() const {
        QStringList out;
        for (const auto &[id, w] : waiting_)
            out << w.url;
        return out;
    }
    // Answers the oldest waiting fetch of `url` with `body`; false when none waits.
    bool answer(const QString &url, const QString &body) {
        for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
            if (it->second.url != url)
                continue;
            const Reply reply = std::move(it->second.reply);
            waiting_.erase(it);
            reply(body);
            return true;
        }
        return false;
    }
    // Answers every waiting fetch from `replies`, oldest first, including
    // those started by the replies themselves.
    void answerAll() {
        while (!waiting_.empty()) {
            const QString url = waiting_.begin()->second.url;
            answer(url, replies.value(url));
        }
    }

private:
    struct Waiting {
        QString url;
        Reply reply;
    };
    std::map<quint64, Waiting> waiting_;
    quint64 nextId_ = 1;
};

} // namespace vantoli
