// The PeerTerminal program itself, started by the test in a runtime folder
// and home of its own: one per user, the cache folder of PeerCfg.ini, the
// port file while it runs.

#include "app/settings_file.h"
#include "platform/private_folder.h"
#include "terminal/peer_terminal/terminal_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>
#include <thread>

using namespace vantoli;

namespace {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(runtime_.isValid());
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(player_.isValid());
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("XDG_RUNTIME_DIR", runtime_.path());
        env_.insert("HOME", home_.path());
        env_.insert("XDG_CONFIG_HOME", QDir(home_.path()).filePath(".config"));
        env_.remove("XDG_VIDEOS_DIR");
    }
    void TearDown() override {
        for (auto &p : processes_) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate(); // only processes this test started
                if (!p->waitForFinished(5000))
                    p->kill();
            }
        }
    }
    QProcess *start() {
        processes_.push_back(std::make_unique<QProcess>());
        QProcess *p = processes_.back().get();
        p->setProcessEnvironment(env_);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(PEER_TERMINAL_BINARY), {"--player-folder", player_.path()});
        return p;
    }
    QString portFile() const { return QDir(runtime_.path()).filePath("vantoli-PeerTerminal.port"); }
    int waitForPort() const {
        for (int i = 0; i < 500; ++i) {
            if (const int port = terminal::readPortFile(portFile()).port)
                return port;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    QTemporaryDir runtime_, home_, player_;
    QProcessEnvironment env_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

} // namespace

TEST_F(ProgramTest, OnePerUserWithThePortFileWhileItRuns) {
    const QString cache = QDir(home_.path()).filePath("films/cache/");
    writeSetting(QDir(player_.path()).filePath("PeerCfg.ini"), "NBPEERTERMINAL", "defaultsavepath", cache);
    QProcess *first = start();
    const int port = waitForPort();
    ASSERT_GT(port, 0);
    EXPECT_TRUE(QFileInfo(cache).isDir()); // made when missing

    httplib::Client client("127.0.0.1", port);
    auto ping = client.Get("/ping");
    ASSERT_TRUE(ping);
    EXPECT_EQ(ping->body, "PeerTerminal\n");

    // Everything but the ping needs the token of the port file, which only
    // this user can read.
    const QString token = terminal::readPortFile(portFile()).token;
    EXPECT_GE(token.size(), 16);
    EXPECT_EQ(QFileInfo(portFile()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    const std::string status = "/status?url=http%3A%2F%2F127.0.0.1%2Fa";
    EXPECT_EQ(client.Get(status)->status, 403);
    EXPECT_EQ(client.Get(status + "&t=" + std::string(token.size(), '0'))->status, 403);
    EXPECT_EQ(client.Get(status + "&t=" + token.toStdString())->status, 200);

    QProcess *second = start();
    ASSERT_TRUE(second->waitForFinished(5000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(terminal::readPortFile(portFile()).port, port); // the first one's, untouched
    EXPECT_TRUE(client.Get("/ping")); // the first one still serves

    first->terminate();
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(portFile()));

    // Once it has ended, a new start runs again.
    start();
    EXPECT_GT(waitForPort(), 0);
}

TEST_F(ProgramTest, WithoutPeerCfgTheCacheIsAFolderOfItsOwnInVideos) {
    start();
    ASSERT_GT(waitForPort(), 0);
    // Never a folder the user keeps films of their own in, as ~/Media was.
    EXPECT_TRUE(QFileInfo(QDir(home_.path()).filePath("Videos/Vantoli")).isDir());
    EXPECT_FALSE(QFileInfo::exists(QDir(home_.path()).filePath("Media")));
}

TEST_F(ProgramTest, EndsWhenItsRuntimeFolderIsRemoved) {
    // The session's end (or a test's clean-up) removes the runtime folder;
    // a terminal no client can find any more must not linger.
    QProcess *terminal = start();
    ASSERT_GT(waitForPort(), 0);
    ASSERT_TRUE(QDir(runtime_.path()).removeRecursively());
    ASSERT_TRUE(terminal->waitForFinished(10000));
    EXPECT_EQ(terminal->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(terminal->exitCode(), 0);
}

// Without a private runtime folder the lock and the port file (with the
// token in it) must not go to a fixed name in a shared folder: the terminal
// uses a folder of its own, made with mode 0700, or does not start.
TEST_F(ProgramTest, WithoutAPrivateRuntimeFolderItUsesItsOwnOrDoesNotStart) {
    QTemporaryDir shared;
    ASSERT_TRUE(QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                           QFile::ExeOther));
    env_.insert("TMPDIR", shared.path());
    const QString own = QDir(shared.path()).filePath(QStringLiteral("vantoli-%1").arg(::geteuid()));
    QProcess *terminal = start();
    int port = 0;
    for (int i = 0; i < 500 && !port; ++i) {
        port = terminal::readPortFile(QDir(own).filePath("vantoli-PeerTerminal.port")).port;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(port, 0);
    EXPECT_EQ(QFileInfo(own).permissions() & 0x0077, 0) << "a folder only its owner can enter";
    EXPECT_FALSE(QFileInfo::exists(portFile()));
    terminal->terminate();
    ASSERT_TRUE(terminal->waitForFinished(10000));

    // A folder of that name that others may write into (or that another
    // user made) may hold planted files: refused, with a message.
    QTemporaryDir planted;
    env_.insert("TMPDIR", planted.path());
    const QString theirs = QDir(planted.path()).filePath(QStringLiteral("vantoli-%1").arg(::geteuid()));
    ASSERT_TRUE(QDir().mkpath(theirs));
    ASSERT_EQ(::chmod(QFile::encodeName(theirs).constData(), 0777), 0);
    QProcess refused;
    refused.setProcessEnvironment(env_);
    refused.start(QStringLiteral(PEER_TERMINAL_BINARY), {"--player-folder", player_.path()});
    ASSERT_TRUE(refused.waitForFinished(10000));
    EXPECT_NE(refused.exitCode(), 0);
    EXPECT_TRUE(refused.readAllStandardError().contains("not started"));
    EXPECT_TRUE(QDir(theirs).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(portFile()));
}

namespace {
// A loopback connection to the terminal that sends a request head a byte
// at a time and never finishes it.
int slowConnection(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    ::send(fd, "G", 1, MSG_NOSIGNAL);
    return fd;
}
// Whether the other side closed the connection (without waiting).
bool closedByPeer(int fd) {
    char c;
    const ssize_t got = ::recv(fd, &c, 1, MSG_DONTWAIT);
    return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}
} // namespace

// Twenty connections that never finish their request used to hold every
// server thread: no answer to anything, not even a ping, for as long as
// they trickled. Their requests now must arrive whole within a deadline,
// and the server's threads only ever see whole requests.
TEST_F(ProgramTest, SlowConnectionsNeitherStallItNorStay) {
    start();
    const int port = waitForPort();
    ASSERT_GT(port, 0);
    std::vector<int> slow;
    for (int i = 0; i < 20; ++i)
        slow.push_back(slowConnection(port));
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1);
    client.set_read_timeout(1);
    const auto t0 = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(3)) {
        for (const int fd : slow)
            ::send(fd, "E", 1, MSG_NOSIGNAL); // a byte now and then keeps a read time-out alive
        const auto asked = std::chrono::steady_clock::now();
        const auto ping = client.Get("/ping");
        ASSERT_TRUE(ping) << "no answer while slow connections trickle";
        EXPECT_EQ(ping->status, 200);
        EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(900));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // Past the deadline for a whole request head the terminal closes them.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    int closed = 0;
    for (const int fd : slow) {
        ::send(fd, "T", 1, MSG_NOSIGNAL);
        closed += closedByPeer(fd);
        ::close(fd);
    }
    EXPECT_EQ(closed, 20);
}

// Another local user gets only a few connections at once; the terminal's
// own user (its player) is not limited. Needs root, to be another user.
TEST_F(ProgramTest, AnotherUserGetsOnlyAFewConnections) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect as another user";
    start();
    const int port = waitForPort();
    ASSERT_GT(port, 0);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int fds[10];
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // As nobody: ten connections at once; report how many stay open.
        // (Only plain system calls here: the parent has threads.)
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        for (int &fd : fds)
            fd = slowConnection(port);
        ::usleep(500 * 1000);
        char open = 0;
        for (const int fd : fds)
            open += fd >= 0 && !closedByPeer(fd);
        (void)!::write(pipeFds[1], &open, 1);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char open = -1;
    ASSERT_EQ(::read(pipeFds[0], &open, 1), 1);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(open, 4);

    // Ten of the owner's own stay open.
    std::vector<int> own;
    for (int i = 0; i < 10; ++i)
        own.push_back(slowConnection(port));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    int ownOpen = 0;
    for (const int fd : own) {
        ownOpen += fd >= 0 && !closedByPeer(fd);
        ::close(fd);
    }
    EXPECT_EQ(ownOpen, 10);
}

// Which folders count as private: a real folder of this user with mode 0700
// and nothing else (a link to one could be changed by whoever owns the link's
// folder).
TEST(PrivateRuntimeFolder, OnlyARealFolderOfThisUserWithMode0700) {
    QTemporaryDir dir;
    const QString good = dir.filePath("good");
    ASSERT_EQ(::mkdir(QFile::encodeName(good).constData(), 0700), 0);
    EXPECT_TRUE(isPrivateFolder(good));
    const QString link = dir.filePath("link");
    ASSERT_TRUE(QFile::link(good, link));
    EXPECT_FALSE(isPrivateFolder(link));
    const QString open = dir.filePath("open");
    ASSERT_EQ(::mkdir(QFile::encodeName(open).constData(), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0750), 0);
    EXPECT_FALSE(isPrivateFolder(open));
    EXPECT_FALSE(isPrivateFolder(dir.filePath("missing")));
    if (::geteuid() == 0) {
        const QString theirs = dir.filePath("theirs");
        ASSERT_EQ(::mkdir(QFile::encodeName(theirs).constData(), 0700), 0);
        ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
        EXPECT_FALSE(isPrivateFolder(theirs));
    }

    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmp = qgetenv("TMPDIR");
    qputenv("XDG_RUNTIME_DIR", link.toUtf8());
    qputenv("TMPDIR", dir.path().toUtf8());
    QString why;
    const QString chosen = privateRuntimeFolder(&why);
    EXPECT_EQ(chosen, QDir(dir.path()).filePath(QStringLiteral("vantoli-%1").arg(::geteuid())));
    EXPECT_TRUE(isPrivateFolder(chosen));
    qputenv("XDG_RUNTIME_DIR", good.toUtf8());
    EXPECT_EQ(privateRuntimeFolder(), good);
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", tmp);
}
