#pragma once
// The real asynchronous fetch, for tests that drive a layer against a
// loopback server and then wait for its replies to have been handled.

#include "platform/http_get.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace vantoli {

class WaitingHttpGet final : public AsyncHttpGet {
public:
    quint64 start(const QString &url, Reply reply) override {
        return real_->start(url, [this, reply = std::move(reply)](const QString &body) {
            reply(body);
            ++handled;
        });
    }
    void cancel(quint64 id) override { real_->cancel(id); }

    // Runs events until `count` replies in all were handled; false on time-out.
    bool waitForReplies(int count, int ms = 15000) {
        QElapsedTimer t;
        t.start();
        while (handled < count && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return handled >= count;
    }
    // Fetches one address and waits for its body.
    QString get(const QString &url, int ms = 15000) {
        QString body;
        const int before = handled;
        start(url, [&body](const QString &b) { body = b; });
        waitForReplies(before + 1, ms);
        return body;
    }

    int handled = 0;

private:
    std::unique_ptr<AsyncHttpGet> real_ = makeAsyncHttpGet();
};

} // namespace vantoli
