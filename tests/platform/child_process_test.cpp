// Starting programs: the started program holds none of our descriptors, is
// not our child, and a failed start is reported. Every program started here
// is a short sleep that the test ends by its pid.

#include "platform/child_process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vantoli {
namespace {

QStringList openDescriptors(qint64 pid) {
    return QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries,
                                                                 QDir::Name);
}

QString statField(qint64 pid, int field) { // fields after the command name, 3 = state
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = f.readAll();
    const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return QString::fromLatin1(rest.value(field - 3));
}

// The program's executable once exec has replaced the starting process.
QString executableOf(qint64 pid) {
    return QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
}

class ChildProcess : public ::testing::Test {
protected:
    QList<qint64> started;
    void TearDown() override {
        for (qint64 pid : started)
            ::kill(pid_t(pid), SIGKILL);
    }
};

TEST_F(ChildProcess, TheProgramHoldsOnlyTheStandardDescriptorsAndIsNotOurChild) {
    // What the window holds: descriptors open across exec (a socket pair as
    // the web engine keeps to its helpers, a plain file), some at high numbers.
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int file = ::open("/proc/self/exe", O_RDONLY);
    ASSERT_GE(file, 0);
    const int high = ::fcntl(file, F_DUPFD, 300);
    ASSERT_GE(high, 300);

    qint64 pid = 0;
    ASSERT_TRUE(startDetachedProgram({QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, QDir::tempPath()}, &pid));
    started << pid;
    QDeadlineTimer deadline(5000);
    while (!executableOf(pid).endsWith(QStringLiteral("sleep")) && !deadline.hasExpired())
        QThread::msleep(10);
    EXPECT_EQ(openDescriptors(pid), (QStringList{"0", "1", "2"}));
    for (const char *fd : {"0", "1", "2"})
        EXPECT_EQ(QFile::symLinkTarget(QStringLiteral("/proc/%1/fd/%2").arg(pid).arg(QLatin1String(fd))),
                  QStringLiteral("/dev/null"));
    EXPECT_NE(statField(pid, 4).toLongLong(), qint64(::getpid()));  // parent
    EXPECT_NE(statField(pid, 6).toLongLong(), qint64(::getsid(0))); // session
    EXPECT_EQ(QFile::symLinkTarget(QStringLiteral("/proc/%1/cwd").arg(pid)), QDir(QDir::tempPath()).canonicalPath());

    // Ours stay open here.
    EXPECT_EQ(::fcntl(pair[0], F_GETFD), 0);
    EXPECT_EQ(::fcntl(high, F_GETFD), 0);
    for (int fd : {pair[0], pair[1], file, high})
        ::close(fd);
}

TEST_F(ChildProcess, TheDesktopsHandlerGetsTheAddressAndNoneOfOurSockets) {
    // A stand-in xdg-open on PATH records its argument and what it holds.
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("record"));
    QFile script(dir.filePath(QStringLiteral("xdg-open")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\n{ printf '%s\\n' \"$1\"; for f in /proc/$$/fd/*; do readlink \"$f\"; done; } "
                                "> '%1.part'; mv '%1.part' '%1'\n")
                     .arg(record)
                     .toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toLocal8Bit() + ':' + path);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);

    EXPECT_TRUE(openWithDesktop(QStringLiteral("https://example.invalid/a?b=c d")));
    qputenv("PATH", path);
    ::close(pair[0]);
    ::close(pair[1]);
    QDeadlineTimer deadline(5000);
    while (!QFile::exists(record) && !deadline.hasExpired())
        QThread::msleep(10);
    QFile f(record);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines.value(0), "https://example.invalid/a?b=c d");
    for (const QByteArray &line : lines)
        EXPECT_FALSE(line.startsWith("socket:")) << line.constData();
}

TEST_F(ChildProcess, AStartThatCannotRunIsAFailure) {
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("not-a-program"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("data");
    f.close();
    qint64 pid = -5;
    EXPECT_FALSE(startDetachedProgram({plain, {}}, &pid));
    EXPECT_FALSE(startDetachedProgram({dir.filePath(QStringLiteral("missing")), {}}));
    EXPECT_FALSE(startDetachedProgram({QStringLiteral("no-such-program-anywhere"), {}}));
    EXPECT_FALSE(startDetachedProgram({QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, dir.filePath("gone")}));
    EXPECT_EQ(pid, -5);

    // A bare name is found on PATH; arguments arrive as given, one each.
    ASSERT_TRUE(startDetachedProgram({QStringLiteral("sleep"), {QStringLiteral("30")}}, &pid));
    started << pid;
    QDeadlineTimer deadline(5000);
    QByteArray cmdline;
    while (!cmdline.startsWith("/") && !deadline.hasExpired()) {
        QFile c(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (c.open(QIODevice::ReadOnly) && executableOf(pid).endsWith(QStringLiteral("sleep")))
            cmdline = c.readAll();
        QThread::msleep(10);
    }
    EXPECT_TRUE(cmdline.endsWith(QByteArray("sleep\0" "30\0", 9))) << cmdline.constData();
}

} // namespace
} // namespace vantoli
