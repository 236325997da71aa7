#include "platform/process_table.h"

#include "platform/child_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantoli {
namespace {

// Called through syscall(): the C library's declarations of these two lack
// C linkage in this version.
int openPidfd(qint64 pid) {
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0u));
}

int sendSignal(int pidfd, int sig) {
    return int(::syscall(SYS_pidfd_send_signal, pidfd, sig, nullptr, 0u));
}

QString procPath(qint64 pid, const char *entry) {
    return QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(entry));
}

// The executable's path, "" when it cannot be read (another user's process,
// a kernel thread, a process that has just left).
QString executableOf(qint64 pid) {
    const QByteArray link = QFile::encodeName(procPath(pid, "exe"));
    char buffer[4096];
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    QString path = QFile::decodeName(QByteArray(buffer, int(n)));
    // An executable replaced or removed while it runs is still the same program.
    static const QString deleted = QStringLiteral(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

QString argv0Of(qint64 pid) {
    QFile f(procPath(pid, "cmdline"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = f.read(4096);
    return QFile::decodeName(all.left(all.indexOf('\0') < 0 ? all.size() : all.indexOf('\0')));
}

// Gone, or a zombie waiting for its parent: either way it no longer runs.
bool hasExited(qint64 pid) {
    QFile f(procPath(pid, "stat"));
    if (!f.open(QIODevice::ReadOnly))
        return true;
    const QByteArray stat = f.readAll();
    // The state follows the command name, which is in parentheses and may
    // itself hold ") ".
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0 || close + 2 >= stat.size())
        return true;
    const char state = stat.at(close + 2);
    return state == 'Z' || state == 'X';
}

bool waitForExit(int pidfd, qint64 pid, int ms) {
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, ms);
        } while (r < 0 && errno == EINTR);
        return r > 0;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!hasExited(pid)) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class ProcTable final : public ProcessTable {
public:
    explicit ProcTable(int graceMs) : graceMs_(graceMs) {}

    QList<ProcessEntry> list() override {
        QList<ProcessEntry> out;
        const uid_t me = ::geteuid();
        const QStringList names = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &entry : names) {
            bool number = false;
            const qint64 pid = entry.toLongLong(&number);
            if (!number || pid <= 0)
                continue;
            struct stat st {};
            if (::stat(QFile::encodeName(QStringLiteral("/proc/") + entry).constData(), &st) != 0 ||
                st.st_uid != me)
                continue;
            ProcessEntry p;
            p.pid = pid;
            p.executable = executableOf(pid);
            p.name = (p.executable.isEmpty() ? argv0Of(pid) : p.executable).section(u'/', -1);
            if (p.name.isEmpty())
                continue;
            out.append(p);
        }
        std::sort(out.begin(), out.end(), [](const ProcessEntry &a, const ProcessEntry &b) { return a.pid < b.pid; });
        return out;
    }

    bool end(const ProcessEntry &process) override {
        if (process.pid <= 0 || process.pid == ::getpid() || process.executable.isEmpty())
            return false;
        // A pid file descriptor holds on to this very process, so the check
        // below and the signals cannot reach another one that got its number.
        const int pidfd = openPidfd(process.pid);
        if (pidfd < 0 && errno == ESRCH)
            return true;
        const auto closeFd = [pidfd] {
            if (pidfd >= 0)
                ::close(pidfd);
        };
        if (executableOf(process.pid) != process.executable) {
            closeFd();
            return hasExited(process.pid);
        }
        const bool done = signal(pidfd, process.pid, SIGTERM) && waitForExit(pidfd, process.pid, graceMs_);
        const bool gone = done || (signal(pidfd, process.pid, SIGKILL) && waitForExit(pidfd, process.pid, 2000));
        closeFd();
        return gone;
    }

    bool start(const QString &program, const QStringList &arguments) override {
        // A bare name would be searched on PATH; only a given file is started.
        if (!QDir::isAbsolutePath(program) || !QFileInfo(program).isExecutable())
            return false;
        return startDetachedProgram({program, arguments, QFileInfo(program).absolutePath()});
    }

private:
    static bool signal(int pidfd, qint64 pid, int sig) {
        if (pidfd >= 0)
            return sendSignal(pidfd, sig) == 0 || errno == ESRCH;
        return ::kill(pid_t(pid), sig) == 0 || errno == ESRCH;
    }

    int graceMs_;
};

} // namespace

std::unique_ptr<ProcessTable> makeProcessTable(int graceMs) {
    return std::make_unique<ProcTable>(graceMs);
}

} // namespace vantoli
