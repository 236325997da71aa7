#pragma once
// The running processes of the current user, as the player housekeeping
// needs them: listed from /proc, ended by pid (SIGTERM, then SIGKILL after a
// short wait), and programs started detached with an argument list, never
// through a shell.

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace vantoli {

struct ProcessEntry {
    qint64 pid = 0;
    // File name of the executable; argv[0]'s file name when the executable
    // cannot be read.
    QString name;
    // Absolute path of the executable; "" when it is unknown.
    QString executable;
};

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
    // Processes owned by the current user, in ascending pid order.
    virtual QList<ProcessEntry> list() = 0;
    // Ends the listed process if it is still the same program (same
    // executable). True when it is gone afterwards.
    virtual bool end(const ProcessEntry &process) = 0;
    // Starts a program without waiting for it, in its own folder. True when
    // it was started.
    virtual bool start(const QString &program, const QStringList &arguments = {}) = 0;
};

// The real table on /proc. graceMs is how long a process gets to leave after
// SIGTERM before it is killed.
std::unique_ptr<ProcessTable> makeProcessTable(int graceMs = 1500);

} // namespace vantoli
