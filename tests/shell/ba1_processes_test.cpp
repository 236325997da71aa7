// The window's player-process wiring: Timer3 after load and after a link
// execute, and the exit routine, on a fake process table.
#include "shell/ba1.h"
#include "playback/processes_module.h"

#include "support/fake_dialogs.h"
#include "support/fake_http_get.h"
#include "support/window_options.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace vantoli;
using namespace vantoli::shell;

namespace {

class BA1Processes : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeDialogs dialogs;
    WindowFakes fakes;
    FakeProcessTable &table = fakes.processes;
    FakeAsyncHttpGet &http = fakes.http;
    std::unique_ptr<BA1> window;
    const QString peer = QCoreApplication::applicationDirPath() + QStringLiteral("/Peer/");

    Settings settings() const { return Settings(dir.filePath(QStringLiteral("App.ini"))); }
    void start() {
        window = std::make_unique<BA1>(windowOptions(dir.path(), fakes), dialogs);
        ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
    }
    // Runs events until the table was listed that often.
    void waitForLists(int n) {
        QElapsedTimer t;
        t.start();
        while (table.lists < n && t.elapsed() < 5000) {
            QApplication::processEvents();
            QThread::msleep(5);
        }
        ASSERT_GE(table.lists, n);
    }
    // Runs the exit routine (or the given way to end) inside the
    // application's event loop; the exit code, or -1 when it did not end
    // the loop.
    int exitInLoop(std::function<void()> exit = {}) {
        if (!exit)
            exit = [this] { window->ttt_v(); };
        QTimer::singleShot(0, window.get(), exit);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
        watchdog.start(5000);
        return QApplication::exec();
    }
};

TEST_F(BA1Processes, HousekeepingRunsAfterLoadAndAgainAfterALinkExecute) {
    table.add(5, peer + QStringLiteral("PeerPlayer"));
    start();
    waitForLists(2); // one run lists twice
    EXPECT_EQ(table.ended, QList<qint64>{5});
    // With the user's own player configuration (in the program folder).
    EXPECT_EQ(table.started, QStringList{peer + QStringLiteral("PeerTerminal --player-folder ") +
                                         dir.filePath(QStringLiteral("Peer/"))});
    EXPECT_EQ(settings().read(QStringLiteral("S_q"), QStringLiteral("peerw")), peer);

    table.add(6, peer + QStringLiteral("PeerTerminal"));
    window->linkExecute(QString());
    waitForLists(4);
    EXPECT_EQ(table.started.size(), 1); // the terminal runs now
    // A media link asks for the terminal too; it runs, so nothing starts.
    window->processes()->ensureTerminalRunning();
    EXPECT_EQ(table.started.size(), 1);
}

TEST_F(BA1Processes, ExitEndsThePlayerProgramsWhenAskedCancelsTheFetchAndQuits) {
    settings().write(QStringLiteral("S_q"), QStringLiteral("peerk"), QStringLiteral("2"));
    start();
    waitForLists(2);
    table.add(7, peer + QStringLiteral("PeerPlayer"));
    table.add(8, peer + QStringLiteral("PeerTerminal"));
    table.add(9, QStringLiteral("/usr/bin/PeerPlayer"));

    // The exit command arrives while the control file is on its way.
    const QString control = kNobodyListens + QStringLiteral("lib/wen.txt");
    QElapsedTimer waited;
    waited.start();
    while (!http.waiting().contains(control) && waited.elapsed() < 10000) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    ASSERT_TRUE(http.waiting().contains(control));
    QTimer::singleShot(0, [this] { window->ttt_v(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(http.cancelled.contains(control));
    EXPECT_FALSE(http.answer(control, QStringLiteral("1====1====1====1====1====9.9")));
    EXPECT_EQ(table.ended, (QList<qint64>{7, 8}));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(BA1Processes, AnEndRequestRunsTheExitRoutineOnceAndEndsTheLoop) {
    settings().write(QStringLiteral("S_q"), QStringLiteral("peerk"), QStringLiteral("2"));
    start();
    waitForLists(2);
    table.add(7, peer + QStringLiteral("PeerPlayer"));
    table.add(8, peer + QStringLiteral("PeerTerminal"));
    EXPECT_EQ(exitInLoop([this] { window->endSession(); }), 0);
    EXPECT_EQ(table.ended, (QList<qint64>{7, 8}));
    EXPECT_FALSE(window->isVisible());

    // The exit routine already ran: a later request only ends the loop.
    table.add(9, peer + QStringLiteral("PeerTerminal"));
    const int lists = table.lists;
    EXPECT_EQ(exitInLoop([this] { window->endSession(); }), 0);
    EXPECT_EQ(table.lists, lists);
}

TEST_F(BA1Processes, AfterTheExitCommandAnEndRequestRunsNothingMore) {
    settings().write(QStringLiteral("S_q"), QStringLiteral("peerk"), QStringLiteral("2"));
    start();
    waitForLists(2);
    EXPECT_EQ(exitInLoop(), 0);
    table.add(8, peer + QStringLiteral("PeerTerminal"));
    EXPECT_EQ(exitInLoop([this] { window->endSession(); }), 0);
    EXPECT_TRUE(table.ended.isEmpty());
}

TEST_F(BA1Processes, ExitLeavesThePlayerProgramsRunningOtherwise) {
    settings().write(QStringLiteral("S_q"), QStringLiteral("peerk"), QStringLiteral("1"));
    start();
    waitForLists(2);
    table.add(7, peer + QStringLiteral("PeerTerminal"));
    const int listsBefore = table.lists;
    EXPECT_EQ(exitInLoop(), 0);
    EXPECT_TRUE(table.ended.isEmpty());
    EXPECT_EQ(table.lists, listsBefore);
}

} // namespace
