#include "desktop/play_inhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace vantoli {
namespace {

const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");

// A screensaver that does not answer must not hold up the exit.
constexpr int kReleaseWaitMs = 1000;

} // namespace

PlayInhibitor::PlayInhibitor(const Player &player, InhibitBuses buses, QObject *parent)
    : QObject(parent), player_(player), buses_(std::move(buses)) {}

PlayInhibitor::~PlayInhibitor() {
    wanted_ = false;
    releaseScreenSaver(true);
    idleLock_ = QDBusUnixFileDescriptor();
}

void PlayInhibitor::start(int pollMs) {
    if (!poll_) {
        poll_ = new QTimer(this);
        connect(poll_, &QTimer::timeout, this, &PlayInhibitor::update);
    }
    poll_->start(pollMs);
    update();
}

void PlayInhibitor::update() { setPlaying(player_.PlayState() == kStatePlaying && !player_.Url().isEmpty()); }

void PlayInhibitor::setPlaying(bool playing) {
    if (playing == wanted_)
        return;
    wanted_ = playing;
    if (playing) {
        inhibitScreenSaver();
        inhibitIdle();
    } else {
        releaseScreenSaver(false);
        idleLock_ = QDBusUnixFileDescriptor();
    }
}

void PlayInhibitor::inhibitScreenSaver() {
    if (!buses_.screenSaver || !buses_.screenSaver->isConnected() || cookie_ || screenSaverPending_)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverService,
                                                       QStringLiteral("Inhibit"));
    call << buses_.application << buses_.reason;
    screenSaverPending_ = true;
    auto *watcher = new QDBusPendingCallWatcher(buses_.screenSaver->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        screenSaverPending_ = false;
        const QDBusPendingReply<uint> reply = *w;
        // No screensaver on this desktop: nothing to keep awake.
        if (reply.isError())
            return;
        cookie_ = reply.value();
        // Playing ended while the request was on its way.
        if (!wanted_)
            releaseScreenSaver(false);
    });
}

void PlayInhibitor::releaseScreenSaver(bool wait) {
    if (!cookie_ || !buses_.screenSaver)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverService,
                                                       QStringLiteral("UnInhibit"));
    call << *cookie_;
    cookie_.reset();
    if (wait)
        buses_.screenSaver->call(call, QDBus::Block, kReleaseWaitMs);
    else
        buses_.screenSaver->asyncCall(call);
}

void PlayInhibitor::inhibitIdle() {
    if (!buses_.logind || !buses_.logind->isConnected() || idleLock_.isValid() || idlePending_)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager,
                                                       QStringLiteral("Inhibit"));
    call << QStringLiteral("idle") << buses_.application << buses_.reason << QStringLiteral("block");
    idlePending_ = true;
    auto *watcher = new QDBusPendingCallWatcher(buses_.logind->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        idlePending_ = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        // Holding the descriptor is the inhibition; dropping it ends it.
        if (!reply.isError() && wanted_)
            idleLock_ = reply.value();
    });
}

} // namespace vantoli
