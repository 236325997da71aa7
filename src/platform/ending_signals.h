#pragma once
// The signals a desktop or a terminal uses to end a program (SIGTERM at
// logout, shutdown or `kill`, SIGHUP when the terminal goes, SIGINT for
// Ctrl+C), turned into a Qt signal on the thread that made this object, so
// the program can end the way its own exit command does (positions saved,
// its programs ended) instead of dying on the spot.
//
// The handler only writes the signal's number into a pipe; a socket notifier
// reads it in the event loop. One object per process.

#include <QObject>

class QSocketNotifier;

namespace vantoli {

class EndingSignals : public QObject {
    Q_OBJECT
public:
    explicit EndingSignals(QObject *parent = nullptr);
    ~EndingSignals() override; // the default actions come back

    // False when the handlers could not be installed.
    bool installed() const { return notifier_ != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *notifier_ = nullptr;
};

} // namespace vantoli
