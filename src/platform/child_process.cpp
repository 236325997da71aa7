#include "platform/child_process.h"

#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantoli {
namespace {

// Between fork and exec this process has many threads' memory but only one
// thread: what runs there may only make async-signal-safe calls (no
// allocation, no locks). Everything it needs is prepared before the fork.
struct Prepared {
    QByteArray file;
    std::vector<QByteArray> argBytes;
    std::vector<char *> argv;
    QByteArray folder;
    bool keepOutput = false;
    int devNull = -1;
    int pidPipe[2] = {-1, -1};  // the middle process sends the program's pid
    int execPipe[2] = {-1, -1}; // the program sends errno when exec fails
    long fdLimit = 1024;
};

void writeAll(int fd, const void *data, size_t size) {
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        size -= size_t(n);
    }
}

// True when exactly size bytes came before the end of the pipe.
bool readAll(int fd, void *data, size_t size) {
    char *p = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// Every descriptor from 3 up is closed at exec. Marking instead of closing
// keeps the exec report pipe open until the exec itself.
void closeAboveStandardAtExec(long fdLimit) {
    if (::syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    // Kernels before 5.11: the open descriptors as /proc lists them, read
    // with plain system calls.
    const int dir = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        alignas(8) char buffer[4096];
        long n;
        while ((n = ::syscall(SYS_getdents64, dir, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < n;) {
                const auto *entry = reinterpret_cast<const dirent64 *>(buffer + at);
                at += entry->d_reclen;
                int fd = 0;
                const char *c = entry->d_name;
                if (*c < '0' || *c > '9')
                    continue;
                for (; *c >= '0' && *c <= '9'; ++c)
                    fd = fd * 10 + (*c - '0');
                if (fd > 2)
                    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
        }
        ::close(dir);
        if (n == 0)
            return;
    }
    for (long fd = 3; fd < fdLimit; ++fd)
        ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
}

// Makes fd the given standard descriptor, open across exec.
void becomeStandard(int fd, int standard) {
    if (fd == standard)
        ::fcntl(fd, F_SETFD, 0);
    else
        ::dup2(fd, standard);
}

[[noreturn]] void runProgram(const Prepared &p) {
    ::close(p.pidPipe[1]);
    becomeStandard(p.devNull, 0);
    if (!p.keepOutput) {
        becomeStandard(p.devNull, 1);
        becomeStandard(p.devNull, 2);
    }
    int failure = 0;
    if (!p.folder.isEmpty() && ::chdir(p.folder.constData()) != 0)
        failure = errno;
    if (failure == 0) {
        // Our handlers and ignored signals are ours, not the program's.
        struct sigaction standardAction {};
        standardAction.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig)
            ::sigaction(sig, &standardAction, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        closeAboveStandardAtExec(p.fdLimit);
        ::execv(p.file.constData(), p.argv.data());
        failure = errno;
    }
    writeAll(p.execPipe[1], &failure, sizeof failure);
    ::_exit(127);
}

// The middle process: leaves our session, starts the program and ends, so
// that the program is nobody's child here and needs nobody to reap it.
[[noreturn]] void runMiddle(const Prepared &p) {
    ::close(p.pidPipe[0]);
    ::close(p.execPipe[0]);
    ::setsid();
    const pid_t program = ::_Fork();
    if (program == 0)
        runProgram(p);
    writeAll(p.pidPipe[1], &program, sizeof program);
    ::_exit(0);
}

// Keeps our pipes away from the standard descriptors, which the program's
// side replaces.
int aboveStandard(int fd) {
    if (fd < 0 || fd > 2)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

void closeIfOpen(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

bool startDetachedProgram(const DetachedStart &start, qint64 *pid) {
    QString path = start.program;
    if (!path.contains(u'/'))
        path = QStandardPaths::findExecutable(path);
    if (path.isEmpty())
        return false;

    Prepared p;
    p.file = QFile::encodeName(path);
    p.argBytes.push_back(p.file);
    for (const QString &a : start.arguments)
        p.argBytes.push_back(a.toLocal8Bit());
    for (QByteArray &a : p.argBytes)
        p.argv.push_back(a.data());
    p.argv.push_back(nullptr);
    p.folder = QFile::encodeName(start.workingFolder);
    p.keepOutput = start.keepOutput;
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        p.fdLimit = long(limit.rlim_cur);

    p.devNull = aboveStandard(::open("/dev/null", O_RDWR | O_CLOEXEC));
    const bool pipes = ::pipe2(p.pidPipe, O_CLOEXEC) == 0 && ::pipe2(p.execPipe, O_CLOEXEC) == 0;
    for (int *fd : {&p.pidPipe[0], &p.pidPipe[1], &p.execPipe[0], &p.execPipe[1]})
        *fd = aboveStandard(*fd);
    const auto closeAll = [&p] {
        for (int *fd : {&p.devNull, &p.pidPipe[0], &p.pidPipe[1], &p.execPipe[0], &p.execPipe[1]})
            closeIfOpen(*fd);
    };
    if (p.devNull < 0 || !pipes || p.pidPipe[0] < 0 || p.pidPipe[1] < 0 || p.execPipe[0] < 0 ||
        p.execPipe[1] < 0) {
        closeAll();
        return false;
    }

    // No handler of ours may run in the new processes before exec (ours
    // write to descriptors of this process).
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t middle = ::fork();
    if (middle == 0)
        runMiddle(p);
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    closeIfOpen(p.devNull);
    closeIfOpen(p.pidPipe[1]);
    closeIfOpen(p.execPipe[1]);
    if (middle < 0) {
        closeAll();
        return false;
    }
    pid_t program = -1;
    const bool gotPid = readAll(p.pidPipe[0], &program, sizeof program);
    int failure = 0;
    // Nothing before the end of the pipe: exec closed it, the program runs.
    const bool execFailed = gotPid && program > 0 && readAll(p.execPipe[0], &failure, sizeof failure);
    closeAll();
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!gotPid || program <= 0 || execFailed)
        return false;
    if (pid)
        *pid = program;
    return true;
}

bool openWithDesktop(const QString &address) {
    return startDetachedProgram({QStringLiteral("xdg-open"), {address}});
}

} // namespace vantoli
