// The player programs' housekeeping: its rules on a fake table, and the
// real /proc table with copies of a harmless program that the tests start
// (and end) themselves.
#include "playback/player_processes.h"

#include "support/fake_process_table.h"
#include "playback/cache_folder.h"
#include "platform/process_table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

using namespace vantoli;

namespace {

// ---- rules, on a fake table ------------------------------------------------

class HousekeepingRules : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeProcessTable table;
    const QString component = QStringLiteral("/opt/vantoli/Peer/");
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};
    TablePlayerProcesses processes{table, settings, component};
    QString peerw() const { return settings.read(QStringLiteral("S_q"), QStringLiteral("peerw")); }
};

TEST_F(HousekeepingRules, NothingRunningStartsTheTerminalBesideTheProgramAndStoresNoFolder) {
    processes.runHousekeeping();
    EXPECT_EQ(table.started, QStringList{component + QStringLiteral("PeerTerminal")});
    EXPECT_EQ(processes.playerFolder(), QString());
    EXPECT_EQ(peerw(), QStringLiteral("0"));

    // The next run finds the terminal it started and learns the folder from it.
    table.add(40, component + QStringLiteral("PeerTerminal"));
    processes.runHousekeeping();
    EXPECT_EQ(table.started.size(), 1);
    EXPECT_EQ(processes.playerFolder(), component);
    EXPECT_EQ(peerw(), component);
}

TEST_F(HousekeepingRules, OnlyProgramsInThePlayersFoldersCount) {
    // Same names elsewhere: never ended, never taken for the terminal.
    table.add(10, QStringLiteral("/home/u/bin/PeerPlayer"));
    table.add(11, QStringLiteral("/tmp/PeerTerminal"));
    table.add(12, QStringLiteral("PeerPlayer")); // argv[0] only, folder unknown
    processes.runHousekeeping();
    EXPECT_TRUE(table.ended.isEmpty());
    EXPECT_EQ(table.started.size(), 1);
    EXPECT_FALSE(processes.endProcessByName(QStringLiteral("PeerPlayer")));
    EXPECT_FALSE(processes.endProcessByName(QStringLiteral("PeerTerminal")));
    processes.endPlayerPrograms();
    EXPECT_TRUE(table.ended.isEmpty());

    // The folder stored in peerw is the player's too.
    settings.write(QStringLiteral("S_q"), QStringLiteral("peerw"), QStringLiteral("/home/u/bin/"));
    EXPECT_TRUE(processes.endProcessByName(QStringLiteral("PeerPlayer")));
    EXPECT_EQ(table.ended, QList<qint64>{10});
}

TEST_F(HousekeepingRules, PeerqiIsReadAsANumberAsTheSettingsDialogShowsIt) {
    table.add(15, component + QStringLiteral("PeerPlayer"));
    for (const char *keep : {"1", " 1.0", "1e0"}) {
        settings.write(QStringLiteral("S_q"), QStringLiteral("peerqi"), QString::fromLatin1(keep));
        processes.runHousekeeping();
        EXPECT_TRUE(table.ended.isEmpty()) << keep;
    }
    settings.write(QStringLiteral("S_q"), QStringLiteral("peerqi"), QStringLiteral("1x"));
    processes.runHousekeeping();
    EXPECT_EQ(table.ended, QList<qint64>{15});
}

TEST_F(HousekeepingRules, EndByNameEndsTheFirstExactCaseMatchOnly) {
    table.add(20, component + QStringLiteral("peerplayer"));
    table.add(21, component + QStringLiteral("PeerPlayer"));
    table.add(22, component + QStringLiteral("PeerPlayer"));
    EXPECT_TRUE(processes.endProcessByName(QStringLiteral("PeerPlayer")));
    EXPECT_EQ(table.ended, QList<qint64>{21});
    EXPECT_FALSE(processes.endProcessByName(QStringLiteral("")));
    EXPECT_FALSE(processes.endProcessByName(QStringLiteral("PeerTerminal")));

    // The settings dialog's variant ends every one, names compared without case.
    table.add(23, component + QStringLiteral("PeerTerminal"));
    processes.endPlayerPrograms();
    EXPECT_EQ(table.ended, (QList<qint64>{21, 20, 22, 23}));
}

TEST_F(HousekeepingRules, TerminalOnDemandNeedsAKnownFolder) {
    // Neither learned nor stored: nothing is started.
    processes.ensureTerminalRunning();
    settings.write(QStringLiteral("S_q"), QStringLiteral("peerw"), QStringLiteral("relative/Peer/"));
    processes.ensureTerminalRunning();
    EXPECT_TRUE(table.started.isEmpty());
    EXPECT_EQ(processes.knownPlayerFolder(), QString());

    settings.write(QStringLiteral("S_q"), QStringLiteral("peerw"), QStringLiteral("/srv/peer"));
    EXPECT_EQ(processes.knownPlayerFolder(), QStringLiteral("/srv/peer/"));
    processes.ensureTerminalRunning();
    EXPECT_EQ(table.started, QStringList{QStringLiteral("/srv/peer/PeerTerminal")});

    table.add(30, QStringLiteral("/srv/peer/PeerTerminal"));
    processes.ensureTerminalRunning();
    EXPECT_EQ(table.started.size(), 1);

    // A failing start is not an error for anyone.
    table.startWorks = false;
    processes.startTerminal();
    EXPECT_EQ(table.started.last(), QStringLiteral("/srv/peer/PeerTerminal"));
}

TEST_F(HousekeepingRules, ProgramsBesideTheProgramAreKnownBeforeAnyRunSawThem) {
    const QString own = dir.filePath(QStringLiteral("Peer")) + u'/';
    QDir().mkpath(own);
    TablePlayerProcesses fresh(table, settings, own);
    EXPECT_EQ(fresh.knownPlayerFolder(), QString()); // nothing installed there yet
    QFile terminal(own + QStringLiteral("PeerTerminal"));
    ASSERT_TRUE(terminal.open(QIODevice::WriteOnly));
    terminal.close();
    EXPECT_EQ(fresh.knownPlayerFolder(), own);
    fresh.ensureTerminalRunning();
    EXPECT_EQ(table.started, QStringList{own + QStringLiteral("PeerTerminal")});
    // A stored folder still comes first.
    settings.write(QStringLiteral("S_q"), QStringLiteral("peerw"), QStringLiteral("/srv/peer/"));
    EXPECT_EQ(fresh.knownPlayerFolder(), QStringLiteral("/srv/peer/"));
    EXPECT_EQ(peerw(), QStringLiteral("/srv/peer/"));
}

// ---- the real table, with processes started here ----------------------------

class RealProcesses : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString peer, other;
    std::unique_ptr<ProcessTable> table = makeProcessTable(300);
    std::vector<std::unique_ptr<QProcess>> children;
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};

    void SetUp() override {
        peer = dir.filePath(QStringLiteral("Peer")) + u'/';
        other = dir.filePath(QStringLiteral("other")) + u'/';
        QDir().mkpath(peer);
        QDir().mkpath(other);
    }
    void TearDown() override {
        // Everything this test started, directly or through the code under
        // test, is recorded in the .starts files of its folders.
        for (const QString &folder : {peer, other}) {
            for (const QString &log : QDir(folder).entryList({QStringLiteral("*.starts")})) {
                QFile f(folder + log);
                if (!f.open(QIODevice::ReadOnly))
                    continue;
                for (const QByteArray &line : f.readAll().split('\n')) {
                    const qint64 pid = line.trimmed().toLongLong();
                    if (pid > 0 && QFile::exists(QStringLiteral("/proc/%1/exe").arg(pid)) &&
                        QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).startsWith(dir.path()))
                        ::kill(pid_t(pid), SIGKILL);
                }
            }
        }
        for (auto &c : children)
            c->waitForFinished(3000);
    }
    void install(const QString &path) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTOLI_FAKE_PEER_PROGRAM), path));
        QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QProcess *run(const QString &path, const QStringList &args = {}) {
        auto p = std::make_unique<QProcess>();
        p->start(path, args);
        EXPECT_TRUE(p->waitForStarted(5000)) << path.toStdString();
        children.push_back(std::move(p));
        return children.back().get();
    }
    // Started (and not yet ended) copies of a program, from its .starts file.
    int starts(const QString &path, int atLeast = 0) const {
        QElapsedTimer t;
        t.start();
        int n = 0;
        do {
            QFile f(path + QStringLiteral(".starts"));
            n = f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
            if (n >= atLeast)
                break;
            QThread::msleep(20);
        } while (t.elapsed() < 5000);
        return n;
    }
    bool listed(const QString &executable) const {
        for (const ProcessEntry &p : table->list())
            if (p.executable == executable)
                return true;
        return false;
    }
    QString peerw() const { return settings.read(QStringLiteral("S_q"), QStringLiteral("peerw")); }
};

TEST_F(RealProcesses, HousekeepingEndsThePlayerStartsTheTerminalOnceAndStoresTheFolder) {
    install(peer + QStringLiteral("PeerPlayer"));
    install(peer + QStringLiteral("PeerTerminal"));
    install(other + QStringLiteral("PeerPlayer"));
    QProcess *player = run(peer + QStringLiteral("PeerPlayer"));
    QProcess *stranger = run(other + QStringLiteral("PeerPlayer"));

    TablePlayerProcesses processes(*table, settings, peer);
    processes.runHousekeeping();
    EXPECT_TRUE(player->waitForFinished(3000));
    EXPECT_EQ(processes.playerFolder(), peer);
    EXPECT_EQ(peerw(), peer);
    EXPECT_EQ(starts(peer + QStringLiteral("PeerTerminal"), 1), 1);
    EXPECT_EQ(stranger->state(), QProcess::Running);

    // The terminal now runs: a second run leaves it alone.
    QElapsedTimer t;
    t.start();
    while (!listed(peer + QStringLiteral("PeerTerminal")) && t.elapsed() < 5000)
        QThread::msleep(20);
    processes.runHousekeeping();
    EXPECT_EQ(starts(peer + QStringLiteral("PeerTerminal")), 1);

    // On exit: the terminal ends by name, the stranger still runs.
    EXPECT_TRUE(processes.endProcessByName(QStringLiteral("PeerTerminal")));
    EXPECT_FALSE(listed(peer + QStringLiteral("PeerTerminal")));
    EXPECT_FALSE(processes.endProcessByName(QStringLiteral("PeerPlayer")));
    EXPECT_EQ(stranger->state(), QProcess::Running);
}

TEST_F(RealProcesses, KeptPlayerStillTeachesTheFolderAndLowerCaseNamesAreFolders) {
    install(peer + QStringLiteral("peerplayer"));
    install(peer + QStringLiteral("PeerTerminal"));
    QProcess *player = run(peer + QStringLiteral("peerplayer"));
    settings.write(QStringLiteral("S_q"), QStringLiteral("peerqi"), QStringLiteral("1"));

    TablePlayerProcesses processes(*table, settings, peer);
    processes.runHousekeeping();
    EXPECT_EQ(processes.playerFolder(), peer); // a folder, not the program's path
    EXPECT_EQ(peerw(), peer);
    EXPECT_FALSE(player->waitForFinished(300));

    settings.write(QStringLiteral("S_q"), QStringLiteral("peerqi"), QStringLiteral("2"));
    processes.runHousekeeping();
    EXPECT_TRUE(player->waitForFinished(3000));
}

TEST_F(RealProcesses, AFolderReachedThroughALinkIsTheSameFolder) {
    install(peer + QStringLiteral("PeerTerminal"));
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(peer, link));
    run(peer + QStringLiteral("PeerTerminal"));

    TablePlayerProcesses processes(*table, settings, link);
    processes.runHousekeeping();
    EXPECT_EQ(processes.playerFolder(), peer);
    EXPECT_EQ(starts(peer + QStringLiteral("PeerTerminal")), 1); // found running, not started again
}

TEST_F(RealProcesses, RunsRightAfterEachOtherStartOneTerminal) {
    // The load-time run, then at once a link-time run (a second start of
    // the program) and a media link asking for the terminal: a start
    // returns only once the terminal runs as itself, so the later ones see it.
    install(peer + QStringLiteral("PeerTerminal"));
    TablePlayerProcesses processes(*table, settings, peer);
    processes.runHousekeeping();
    processes.runHousekeeping();
    processes.ensureTerminalRunning();
    EXPECT_EQ(starts(peer + QStringLiteral("PeerTerminal"), 1), 1);
    QThread::msleep(200);
    EXPECT_EQ(starts(peer + QStringLiteral("PeerTerminal")), 1);
}

TEST_F(RealProcesses, AStartedTerminalHoldsNoneOfTheWindowsDescriptors) {
    // The window holds sockets to the web engine's helpers open across exec;
    // a terminal that inherited them would keep the helpers alive.
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    install(peer + QStringLiteral("PeerTerminal"));
    TablePlayerProcesses processes(*table, settings, peer);
    processes.runHousekeeping();
    ASSERT_EQ(starts(peer + QStringLiteral("PeerTerminal"), 1), 1);
    QFile log(peer + QStringLiteral("PeerTerminal.starts"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const qint64 pid = log.readAll().trimmed().toLongLong();
    EXPECT_EQ(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries, QDir::Name),
              (QStringList{"0", "1", "2"}));
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST_F(RealProcesses, EndingChecksTheProgramAndKillsOneThatIgnoresTheRequest) {
    install(peer + QStringLiteral("PeerPlayer"));
    QProcess *stubborn = run(peer + QStringLiteral("PeerPlayer"), {QStringLiteral("--ignore-term")});
    ASSERT_EQ(starts(peer + QStringLiteral("PeerPlayer"), 1), 1); // its handler is set

    // The same pid under another program's name is not this process.
    ProcessEntry wrong{stubborn->processId(), QStringLiteral("PeerPlayer"), other + QStringLiteral("PeerPlayer")};
    EXPECT_FALSE(table->end(wrong));
    EXPECT_EQ(stubborn->state(), QProcess::Running);

    ProcessEntry right{stubborn->processId(), QStringLiteral("PeerPlayer"), peer + QStringLiteral("PeerPlayer")};
    EXPECT_TRUE(table->end(right));
    EXPECT_TRUE(stubborn->waitForFinished(3000));
    EXPECT_EQ(stubborn->exitStatus(), QProcess::CrashExit); // killed, not asked

    // Starting needs a real program file, never a bare name.
    EXPECT_FALSE(table->start(QStringLiteral("sleep"), {QStringLiteral("1")}));
    EXPECT_FALSE(table->start(peer + QStringLiteral("Missing")));
}

} // namespace

// An installed program's player folder belongs to the system: the cache
// folder is kept in the user's own configuration, and the terminal is
// started with it, so that "缓存设置" can change it at all.
TEST(PlayerConfiguration, IsTheUsersOwnAndTheTerminalStartsWithIt) {
    QTemporaryDir dir;
    const QString component = dir.filePath(QStringLiteral("lib/vantoli/Peer/"));
    const QString user = dir.filePath(QStringLiteral("home/Peer/"));
    ASSERT_TRUE(QDir().mkpath(component));
    for (const char *name : {"PeerTerminal", "PeerCfg.ini"}) {
        QFile f(component + QString::fromLatin1(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name[4] == 'C' ? "[NBPEERTERMINAL]\r\ndefaultsavepath=/srv/films/\r\n" : "");
    }
    FakeProcessTable table;
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};
    TablePlayerProcesses processes{table, settings, component};
    EXPECT_EQ(processes.configFolder(), component) << "without a folder of the user's own";

    processes.setUserConfigFolder(user);
    EXPECT_EQ(processes.configFolder(), user);
    EXPECT_EQ(lookUpCacheFolder(processes.configFolder()), QStringLiteral("/srv/films/")) << "carried over once";
    setCacheFolder(processes.configFolder(), QStringLiteral("/home/u/films/"));
    EXPECT_EQ(lookUpCacheFolder(user), QStringLiteral("/home/u/films/"));
    EXPECT_EQ(lookUpCacheFolder(component), QStringLiteral("/srv/films/")) << "the shared file is not written";
    EXPECT_EQ(lookUpCacheFolder(processes.configFolder()), QStringLiteral("/home/u/films/")) << "not copied again";

    processes.startTerminal();
    EXPECT_EQ(table.started, QStringList{component + QStringLiteral("PeerTerminal --player-folder ") + user});
}
