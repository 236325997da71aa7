#pragma once
// A D-Bus daemon of the test's own, so nothing here reaches the user's or
// the system's buses; and calls that wait for an answer while the event
// loop runs, so a service in this thread can answer them.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace vantoli::test {

class PrivateBus {
public:
    PrivateBus() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (daemon_.waitForStarted(5000) && daemon_.waitForReadyRead(5000))
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.kill(); // our own child, by its pid
            daemon_.waitForFinished(5000);
        }
    }
    const QString &address() const { return address_; }
    QDBusConnection connect(const QString &name) const { return QDBusConnection::connectToBus(address_, name); }

private:
    QProcess daemon_;
    QString address_;
};

// Sends the call and runs the event loop until its answer comes.
inline QDBusMessage callAndWait(const QDBusConnection &bus, const QDBusMessage &call, int ms = 5000) {
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, ms));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return watcher.reply();
}

// Runs the event loop until the condition holds or the time is up.
inline bool spinUntil(const std::function<bool()> &done, int ms = 3000) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace vantoli::test
