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

} // namespace vantoli
