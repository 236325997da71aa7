#pragma once
// The real asynchronous fetch, for tests that drive a layer against a
// loopback server and then wait for its replies to have been handled, or
// that fetch one address and wait for its body.

#include "platform/http_get.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace vantoli {

class WaitingHttpGet final : public AsyncHttpGet {
public:
    explicit WaitingHttpGet(int timeoutMs = kHttpGetTimeoutMs) : real_(makeAsyncHttpGet(timeoutMs)) {}

    quint64 start(const QString &url, Reply reply) override {
        return real_->start(url, [this, reply = std::move(reply)](const QString &body) {
            reply(body);
            ++handled;
        });
    }
    quint64 startBytes(const QString &url, BytesReply reply) override {
        return real_->startBytes(url, [this, reply = std::move(reply)](const QByteArray &body) {
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
    // Fetches one address and waits for its body; a fetch that has not
    // replied within `ms` is cancelled and gives "".
    QString get(const QString &url, int ms = 15000) { return wait<QString>(url, ms, &WaitingHttpGet::start); }
    // The same for the undecoded bytes.
    QByteArray getBytes(const QString &url, int ms = 15000) {
        return wait<QByteArray>(url, ms, &WaitingHttpGet::startBytes);
    }

    int handled = 0;

private:
    template <typename Body, typename Start>
    Body wait(const QString &url, int ms, Start startFetch) {
        Body body;
        const int before = handled;
        const quint64 id = (this->*startFetch)(url, [&body](const Body &b) { body = b; });
        if (!waitForReplies(before + 1, ms))
            cancel(id); // the reply must not reach `body` once it is gone
        return body;
    }

    std::unique_ptr<AsyncHttpGet> real_;
};

} // namespace vantoli
