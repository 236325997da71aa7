#include "platform/ending_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace vantoli {
namespace {

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGINT};

int pipeEnds[2] = {-1, -1};

void onSignal(int sig) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(sig);
    // A full pipe already holds a request to end; one more adds nothing.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &number, 1);
    errno = saved;
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kEndingSignals)
        ::sigaction(sig, &action, nullptr);
}

} // namespace

EndingSignals::EndingSignals(QObject *parent) : QObject(parent) {
    if (pipeEnds[0] >= 0 || ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &EndingSignals::readPipe);
    setHandler(onSignal);
}

EndingSignals::~EndingSignals() {
    if (!notifier_)
        return;
    setHandler(SIG_DFL);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void EndingSignals::readPipe() {
    unsigned char numbers[16];
    ssize_t n;
    while ((n = ::read(pipeEnds[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit received(numbers[i]);
    }
}

} // namespace vantoli
