// Power against recording programs and a private D-Bus daemon that stands in
// for the system bus. Nothing here can reach the real logind or systemctl:
// makePower() is only used with the override variable set, and the other
// cases name their own bus and fallback program.

#include "platform/power.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDeadlineTimer>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace vantoli {
namespace {

// Writes a script that records its arguments, one a line, into `record`
// (written whole, then renamed, so a reader never sees half of it).
QString recordingScript(const QTemporaryDir &dir, const QString &name, const QString &record) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && mv '%1.part' '%1'\n")
                   .arg(record)
                   .toUtf8());
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

// The record's content once it appears, or "(none)" after the wait.
QString waitForRecord(const QString &record, int ms) {
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QFile file(record);
        if (file.open(QIODevice::ReadOnly))
            return QString::fromUtf8(file.readAll());
        QThread::msleep(10);
    }
    return QStringLiteral("(none)");
}

// Stands in for logind's manager object; lives on a thread of its own so the
// blocking call from the layer under test can be answered.
class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    bool refuse = false;

    QList<bool> calls() {
        QMutexLocker lock(&mutex_);
        return calls_;
    }

public slots:
    void PowerOff(bool interactive) {
        {
            QMutexLocker lock(&mutex_);
            calls_ << interactive;
        }
        if (refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("not allowed"));
    }

private:
    QMutex mutex_;
    QList<bool> calls_;
};

class PowerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        daemon = new QProcess;
        daemon->start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (daemon->waitForStarted(5000) && daemon->waitForReadyRead(5000))
            address = QString::fromUtf8(daemon->readLine()).trimmed();
    }
    static void TearDownTestSuite() {
        if (daemon->state() != QProcess::NotRunning) {
            daemon->kill();
            daemon->waitForFinished(5000);
        }
        delete daemon;
        daemon = nullptr;
    }

    void SetUp() override {
        qunsetenv(kPowerCommandVariable);
        ASSERT_TRUE(dir.isValid());
        fallbackRecord = dir.filePath("fallback.txt");
        options.fallbackProgram = recordingScript(dir, "fallback.sh", fallbackRecord);
        options.busAddress = address;
        options.busTimeoutMs = 3000;
    }
    void TearDown() override {
        qunsetenv(kPowerCommandVariable);
        if (logind) {
            QDBusConnection bus(QStringLiteral("fake-logind"));
            bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
            bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
            QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
            thread.quit();
            thread.wait();
            delete logind;
        }
    }

    // Puts the stand-in logind on the private bus.
    void startLogind(bool refuse) {
        ASSERT_FALSE(address.isEmpty()) << "dbus-daemon (package dbus-daemon) did not start";
        logind = new FakeLogind;
        logind->refuse = refuse;
        logind->moveToThread(&thread);
        thread.start();
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("fake-logind"));
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/login1"), logind,
                                       QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.login1")));
    }

    static QProcess *daemon;
    static QString address;
    QTemporaryDir dir;
    QString fallbackRecord;
    PowerOptions options;
    QThread thread;
    FakeLogind *logind = nullptr;
};
QProcess *PowerTest::daemon = nullptr;
QString PowerTest::address;

TEST_F(PowerTest, OverrideProgramGetsPoweroffAndNothingElse) {
    const QString record = dir.filePath("override.txt");
    qputenv(kPowerCommandVariable, recordingScript(dir, "override.sh", record).toLocal8Bit());
    EXPECT_TRUE(makePower()->powerOff());
    EXPECT_EQ(waitForRecord(record, 5000), QStringLiteral("poweroff\n"));

    // Even with logind and the fallback at hand, the override is the only way.
    startLogind(false);
    QFile::remove(record);
    EXPECT_TRUE(makePower(options)->powerOff());
    EXPECT_EQ(waitForRecord(record, 5000), QStringLiteral("poweroff\n"));

    // A missing override program is a refusal, not a reason to try the others.
    qputenv(kPowerCommandVariable, dir.filePath("no-such-program").toLocal8Bit());
    EXPECT_FALSE(makePower(options)->powerOff());
    EXPECT_TRUE(logind->calls().isEmpty());
    EXPECT_EQ(waitForRecord(fallbackRecord, 200), QStringLiteral("(none)"));
}

TEST_F(PowerTest, OverrideValueIsNotGivenToAShell) {
    const QString marker = dir.filePath("injected");
    qputenv(kPowerCommandVariable, QStringLiteral("true; touch %1").arg(marker).toLocal8Bit());
    EXPECT_FALSE(makePower(options)->powerOff());
    EXPECT_EQ(waitForRecord(marker, 200), QStringLiteral("(none)"));
}

TEST_F(PowerTest, AsksLogindWithoutInteraction) {
    startLogind(false);
    EXPECT_TRUE(makePower(options)->powerOff());
    EXPECT_EQ(logind->calls(), QList<bool>{false});
    EXPECT_EQ(waitForRecord(fallbackRecord, 200), QStringLiteral("(none)"));
}

TEST_F(PowerTest, FallsBackWhenLogindRefuses) {
    startLogind(true);
    EXPECT_TRUE(makePower(options)->powerOff());
    EXPECT_EQ(logind->calls(), QList<bool>{false});
    EXPECT_EQ(waitForRecord(fallbackRecord, 5000), QStringLiteral("poweroff\n"));
}

TEST_F(PowerTest, FallsBackWithoutLogindOrBus) {
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon (package dbus-daemon) did not start";
    // The bus answers, but nobody owns the name.
    EXPECT_TRUE(makePower(options)->powerOff());
    EXPECT_EQ(waitForRecord(fallbackRecord, 5000), QStringLiteral("poweroff\n"));

    // No bus at all.
    QFile::remove(fallbackRecord);
    options.busAddress = QStringLiteral("unix:path=%1").arg(dir.filePath("no-bus"));
    EXPECT_TRUE(makePower(options)->powerOff());
    EXPECT_EQ(waitForRecord(fallbackRecord, 5000), QStringLiteral("poweroff\n"));

    // Every way refused.
    options.fallbackProgram = dir.filePath("no-such-program");
    EXPECT_FALSE(makePower(options)->powerOff());
}

} // namespace
} // namespace vantoli

#include "power_test.moc"
