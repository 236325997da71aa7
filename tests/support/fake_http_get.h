#pragma once
// A scripted AsyncHttpGet for tests of the layers that fetch: canned
// replies by URL, a record of what was fetched and cancelled, and replies
// that come only when the test gives them.

#include "platform/http_get.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace vantoli {

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
