#pragma once
// Small helpers the window benchmarks share: running the event loop for a
// while, as the program sleeps in it, and waiting for a condition.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace vantoli::bench {

// Runs the event loop for ms, sleeping in it (no polling of our own, which
// would show up in CPU figures).
inline void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Polls pred every pollMs until it holds or timeoutMs passed.
inline bool waitFor(const std::function<bool()> &pred, int timeoutMs, int pollMs = 5) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        spin(pollMs);
    }
    return true;
}

} // namespace vantoli::bench
