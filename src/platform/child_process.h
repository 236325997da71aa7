#pragma once
// The one way this program starts another program: detached (it is not our
// child and outlives us), in a session of its own, with an argument list
// (never a shell), and with only descriptors 0 to 2 open. Everything else
// this process holds (the web engine's sockets to its helper processes, its
// DevTools socket, the instance link) stays here: a child that inherited
// them would keep the web engine's helpers alive after the window ends and
// could talk to them.
//
// Qt's own detached start cannot do this in Qt 6.4 (its child-process hook
// is not called for detached starts), hence the fork and exec here.

#include <QString>
#include <QStringList>

namespace vantoli {

struct DetachedStart {
    QString program;        // an absolute path; a bare name is searched on PATH
    QStringList arguments = {};
    QString workingFolder = {}; // "" keeps ours
    // Standard output and error go to the null device unless this is set: a
    // program that outlives us must not hold our output open (whoever waits
    // for the end of our output would wait for it too).
    bool keepOutput = false;
};

// Starts the program and waits only until it runs (exec succeeded). True
// when it runs; *pid (when given) is its process id.
bool startDetachedProgram(const DetachedStart &start, qint64 *pid = nullptr);

// Opens an address or a local path with the desktop's handler (xdg-open),
// started as above; false when there is no handler to start.
bool openWithDesktop(const QString &address);

} // namespace vantoli
