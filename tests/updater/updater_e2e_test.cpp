// End to end with the reference server: the operator publishes a signed
// release, the update check announces it, the real updater installs it
// into a program folder of this test once "the program" (a process the
// test started) has ended, and the new version starts. A release signed
// with another key and a truncated download are refused with the old
// version intact.

#include "app/fake_dialogs.h"
#include "app/settings_file.h"
#include "platform/http_get.h"
#include "playback/playback_state.h"
#include "update/update_check.h"
#include "update/updater_launcher.h"
#include "updater/release.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>

using namespace vantoli;

namespace {

const QString kServer = QStringLiteral(VANTOLI_SERVER_BINARY);

bool waitFor(const std::function<bool()> &done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

void writeFile(const QString &path, const QByteArray &bytes, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every file under a folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder) {
    QMap<QString, QByteArray> out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        out.insert(QDir(folder).relativeFilePath(p), readFile(p));
    }
    return out;
}

struct Host : UpdateHost {
    QStringList calls;
    QString recommend = QStringLiteral("0");
    void setRecommendAtExit(const QString &flag) override { recommend = flag; }
    void loadNoticePopup() override { calls << QStringLiteral("popup"); }
    void gun_ad() override { calls << QStringLiteral("gun_ad"); }
    void showStopAdPane() override { calls << QStringLiteral("bo_pad"); }
    void ttt_v() override { calls << QStringLiteral("exit"); }
};

struct Outcome {
    int status = -1;
    QString err;
};

Outcome run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    Outcome r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

class UpdaterEndToEnd : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString data = tmp.filePath(QStringLiteral("data"));
    QString app = tmp.filePath(QStringLiteral("app"));
    QProcess server;
    QString base;

    void SetUp() override {
        const Outcome demo = run(kServer, {QStringLiteral("demo"), QStringLiteral("--data"), data,
                                       QStringLiteral("--clip-seconds"), QStringLiteral("1"),
                                       QStringLiteral("--size"), QStringLiteral("64x36")});
        ASSERT_EQ(demo.status, 0) << demo.err.toStdString();
        // A new user sees no switch on and no release.
        ASSERT_EQ(readFile(data + QStringLiteral("/lib/wen.txt")), "0====0====0====0====0====1.0");

        server.setProcessChannelMode(QProcess::MergedChannels);
        // A test that dies does not leave its server behind.
        server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server.start(kServer, {QStringLiteral("serve"), QStringLiteral("--data"), data, QStringLiteral("--port"),
                               QStringLiteral("0")});
        ASSERT_TRUE(server.waitForStarted());
        const QRegularExpression serving(QStringLiteral("on (http://127\\.0\\.0\\.1:\\d+/)"));
        QString out;
        ASSERT_TRUE(waitFor(
            [&] {
                out += QString::fromUtf8(server.readAll());
                const auto m = serving.match(out);
                if (m.hasMatch())
                    base = m.captured(1);
                return !base.isEmpty();
            },
            10000))
            << out.toStdString();

        // The installed program: a stand-in that records its start, the
        // real updater, the user's settings and history.
        writeFile(app + QStringLiteral("/vantoli"), "#!/bin/sh\necho old \"$@\" \"refused=$VANTOLI_UPDATE_REFUSED\" > \"$(dirname \"$0\")/started.txt\"\n", true);
        writeFile(app + QStringLiteral("/VERSION"), "1.0");
        writeFile(app + QStringLiteral("/App.ini"), "[S_q]\r\nup=1\r\n");
        writeFile(app + QStringLiteral("/date.dat"), "history line\r\n");
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTOLI_UPDATER_BINARY), app + QStringLiteral("/vantoli-update")));
    }

    void TearDown() override {
        server.terminate();
        server.waitForFinished(5000);
    }

    Outcome publish(const QString &version, const QByteArray &programBody) {
        const QString rel = tmp.filePath(QStringLiteral("rel-") + version);
        writeFile(rel + QStringLiteral("/vantoli"), programBody, true);
        writeFile(rel + QStringLiteral("/VERSION"), version.toUtf8());
        return run(kServer, {QStringLiteral("operator"), QStringLiteral("--data"), data,
                             QStringLiteral("publish-release"), version, rel + QStringLiteral("/vantoli"),
                             rel + QStringLiteral("/VERSION")});
    }

    Outcome update(const QString &version) {
        return run(app + QStringLiteral("/vantoli-update"),
                   updaterArguments(base, version, app, 0, QStringLiteral("vantoli"), {}));
    }

    // A refused update starts the installed version again, telling it
    // which version was refused.
    void expectOldVersionRestarted(const QString &version) {
        const QString started = app + QStringLiteral("/started.txt");
        ASSERT_TRUE(waitFor([&] { return QFile::exists(started) && readFile(started).endsWith('\n'); }, 10000));
        EXPECT_EQ(readFile(started), "old refused=" + version.toUtf8() + "\n");
        QFile::remove(started);
    }

    void expectNoLeftovers() {
        EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot).filter(u".update-"),
                  QStringList());
    }
};

TEST_F(UpdaterEndToEnd, AnnouncedReleaseIsInstalledAndStartedAfterTheProgramEnds) {
    const Outcome pub = publish(QStringLiteral("1.1"),
                            "#!/bin/sh\necho new \"$@\" > \"$(dirname \"$0\")/started.txt\"\n");
    ASSERT_EQ(pub.status, 0) << pub.err.toStdString();

    // "The program": a process of this test the updater must wait for.
    QProcess program;
    program.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(program.waitForStarted());

    const std::unique_ptr<HttpGet> http = makeHttpGet();
    FakeDialogs dialogs;
    dialogs.answer = true;
    QTemporaryDir home;
    Settings settings(home.filePath(QStringLiteral("App.ini")));
    PlaybackState state;
    Host host;
    ProcessUpdaterLauncher launcher(base, app, QStringLiteral("vantoli"), {QStringLiteral("--after-update")},
                                    program.processId());
    ASSERT_TRUE(launcher.localUpdaterExists());
    UpdateCheck check(*http, dialogs, settings, state, host, launcher, base);
    check.timedCheck();
    EXPECT_EQ(dialogs.questions,
              QStringList{kDialogTitle + QStringLiteral("检测到最新版本 1.1 ,你需要现在升级吗？")});
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("exit")});

    // While the program runs nothing is replaced.
    QThread::msleep(1500);
    EXPECT_EQ(readFile(app + QStringLiteral("/VERSION")), "1.0");
    EXPECT_FALSE(QFile::exists(app + QStringLiteral("/started.txt")));

    program.kill();
    program.waitForFinished();
    ASSERT_TRUE(waitFor([&] { return QFile::exists(app + QStringLiteral("/started.txt")); }, 30000));
    EXPECT_EQ(readFile(app + QStringLiteral("/started.txt")), "new --after-update\n");
    EXPECT_EQ(readFile(app + QStringLiteral("/VERSION")), "1.1");
    EXPECT_EQ(readFile(app + QStringLiteral("/App.ini")), "[S_q]\r\nup=1\r\n");
    EXPECT_EQ(readFile(app + QStringLiteral("/date.dat")), "history line\r\n");
    EXPECT_TRUE(QFileInfo(app + QStringLiteral("/vantoli-update")).isExecutable());
    EXPECT_EQ(readFile(app + QStringLiteral(".previous/VERSION")), "1.0");
    ASSERT_TRUE(waitFor([&] { return QDir(tmp.path()).entryList(QDir::Dirs | QDir::Hidden).filter(u".update-").isEmpty(); },
                        5000));
}

TEST_F(UpdaterEndToEnd, ReleasesSignedWithAnotherKeyOrCutShortAreRefused) {
    const QMap<QString, QByteArray> before = snapshot(app);
    const QByteArray body = "#!/bin/sh\necho new > \"$(dirname \"$0\")/started.txt\"\n";

    // The operator's key is replaced by a new one the program does not know.
    ASSERT_TRUE(QDir().rename(data + QStringLiteral("/keys"), data + QStringLiteral("/demo-keys")));
    ASSERT_EQ(run(kServer, {QStringLiteral("operator"), QStringLiteral("--data"), data, QStringLiteral("release-key")})
                  .status,
              0);
    // A folder with a key of its own keeps it.
    EXPECT_EQ(run(kServer, {QStringLiteral("operator"), QStringLiteral("--data"), data, QStringLiteral("use-demo-key")})
                  .status,
              1);
    Outcome pub = publish(QStringLiteral("1.2"), body);
    ASSERT_EQ(pub.status, 0) << pub.err.toStdString();
    Outcome r = update(QStringLiteral("1.2"));
    EXPECT_EQ(r.status, 1);
    expectOldVersionRestarted(QStringLiteral("1.2"));
    EXPECT_TRUE(r.err.contains(u"signature")) << r.err.toStdString();
    EXPECT_EQ(snapshot(app), before);

    // Signed with the right key, but the archive the server hands out is
    // cut short.
    QDir(data + QStringLiteral("/keys")).removeRecursively();
    ASSERT_TRUE(QDir().rename(data + QStringLiteral("/demo-keys"), data + QStringLiteral("/keys")));
    pub = publish(QStringLiteral("1.3"), body);
    ASSERT_EQ(pub.status, 0) << pub.err.toStdString();
    const QString archive = data + QStringLiteral("/update/1.3/release.tar");
    QFile(archive).resize(QFileInfo(archive).size() / 2);
    r = update(QStringLiteral("1.3"));
    EXPECT_EQ(r.status, 1);
    expectOldVersionRestarted(QStringLiteral("1.3"));
    EXPECT_TRUE(r.err.contains(u"incomplete")) << r.err.toStdString();
    EXPECT_EQ(snapshot(app), before);

    // A version that was never published.
    r = update(QStringLiteral("9.9"));
    EXPECT_EQ(r.status, 1);
    expectOldVersionRestarted(QStringLiteral("9.9"));
    EXPECT_TRUE(r.err.contains(u"404") || r.err.contains(u"Not Found")) << r.err.toStdString();
    EXPECT_EQ(snapshot(app), before);

    // A version no release can have (the control file is the operator's text).
    r = update(QStringLiteral("1.1 beta"));
    EXPECT_EQ(r.status, 1);
    expectOldVersionRestarted(QStringLiteral("1.1 beta"));
    EXPECT_EQ(snapshot(app), before);
    EXPECT_FALSE(QFile::exists(app + QStringLiteral(".previous")));
    expectNoLeftovers();
}

TEST_F(UpdaterEndToEnd, OperatorCommandsWriteWhatTheProgramReads) {
    auto op = [&](const QStringList &args) {
        return run(kServer, QStringList{QStringLiteral("operator"), QStringLiteral("--data"), data} + args);
    };
    EXPECT_EQ(op({QStringLiteral("set-switches"), QStringLiteral("--recommend"), QStringLiteral("1"),
                  QStringLiteral("--stop-ad"), QStringLiteral("1")})
                  .status,
              0);
    EXPECT_EQ(readFile(data + QStringLiteral("/lib/wen.txt")), "1====0====0====0====1====1.0");
    EXPECT_EQ(op({QStringLiteral("set-switches"), QStringLiteral("--popup"), QStringLiteral("2")}).status, 2);
    EXPECT_EQ(op({QStringLiteral("set-switches"), QStringLiteral("--latest"), QStringLiteral("1====1")}).status, 1);
    EXPECT_EQ(readFile(data + QStringLiteral("/lib/wen.txt")), "1====0====0====0====1====1.0");

    EXPECT_EQ(op({QStringLiteral("notice-schedule"), QStringLiteral("--delay"), QStringLiteral("0"),
                  QStringLiteral("--show"), QStringLiteral("5"), QStringLiteral("--cycle"),
                  base + QStringLiteral("notice/1.htm"), base + QStringLiteral("notice/2.htm")})
                  .status,
              0);
    EXPECT_EQ(readFile(data + QStringLiteral("/lib/tan.txt")),
              QStringLiteral("0||5||1||%1notice/1.htm$$$%1notice/2.htm").arg(base).toUtf8());
    EXPECT_EQ(op({QStringLiteral("notice-schedule"), QStringLiteral("--delay"), QStringLiteral("1"),
                  QStringLiteral("--show"), QStringLiteral("1"), QStringLiteral("ftp://x/")})
                  .status,
              1);

    EXPECT_EQ(op({QStringLiteral("notice-line"), QStringLiteral("新片上线"), base + QStringLiteral("v/1.htm"),
                  QStringLiteral("欢迎"), QStringLiteral("*")})
                  .status,
              0);
    EXPECT_EQ(readFile(data + QStringLiteral("/lib/gun.txt")),
              QStringLiteral("新片上线||%1v/1.htm$$$欢迎||*$$$").arg(base).toUtf8());
    EXPECT_EQ(op({QStringLiteral("notice-line"), QStringLiteral("a||b"), QStringLiteral("*")}).status, 1);

    // The program reads the switches as the operator set them.
    const std::unique_ptr<HttpGet> http = makeHttpGet();
    FakeDialogs dialogs;
    QTemporaryDir home;
    Settings settings(home.filePath(QStringLiteral("App.ini")));
    PlaybackState state;
    Host host;
    struct : UpdaterLauncher {
        bool localUpdaterExists() const override { return false; }
        bool startLocalUpdater(const QString &) override { return false; }
    } noUpdater;
    UpdateCheck check(*http, dialogs, settings, state, host, noUpdater, base);
    check.timedCheck();
    EXPECT_EQ(host.recommend, u"1");
    EXPECT_EQ(state.stopAdState, 2);
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("bo_pad")});
    EXPECT_TRUE(dialogs.questions.isEmpty());

    // A release is never replaced under the same version.
    EXPECT_EQ(publish(QStringLiteral("2.0"), "#!/bin/sh\n").status, 0);
    EXPECT_EQ(publish(QStringLiteral("2.0"), "#!/bin/sh\n").status, 1);
    EXPECT_EQ(readFile(data + QStringLiteral("/lib/wen.txt")), "1====0====0====0====1====2.0");
}

// A server whose release archive breaks off half way: the manifest is
// signed with the demo key and promises the whole archive, the connection
// closes after half of it.
TEST(UpdaterDownload, AnArchiveThatBreaksOffChangesNothing) {
    QTemporaryDir tmp;
    const QString app = tmp.filePath(QStringLiteral("app"));
    writeFile(app + QStringLiteral("/vantoli"), "#!/bin/sh\n", true);
    writeFile(app + QStringLiteral("/VERSION"), "1.0");
    writeFile(tmp.filePath(QStringLiteral("rel/vantoli")), QByteArray(200000, '#'), true);
    const QString tar = tmp.filePath(QStringLiteral("release.tar"));
    ASSERT_EQ(release::packArchive(tar, {tmp.filePath(QStringLiteral("rel/vantoli"))}), QString());
    const QByteArray archive = readFile(tar);

    QFile keyFile(QStringLiteral(VANTOLI_DEMO_SECRET_FILE));
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
    std::optional<QByteArray> seed;
    for (const QByteArray &line : keyFile.readAll().split('\n'))
        if (!line.startsWith('#') && (seed = release::fromHex(line, release::kKeyBytes)))
            break;
    ASSERT_TRUE(seed);
    const QByteArray manifest = release::manifestText(
        {QStringLiteral("1.5"), archive.size(), QCryptographicHash::hash(archive, QCryptographicHash::Sha256)});
    const QByteArray signature = release::sign(*seed, manifest)->toHex();

    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *c = server.nextPendingConnection();
        QObject::connect(c, &QTcpSocket::readyRead, c, [c, &manifest, &signature, &archive] {
            const QByteArray head = c->readAll();
            auto reply = [c](const QByteArray &body, qint64 length) {
                c->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + QByteArray::number(length) +
                         "\r\n\r\n" + body);
                c->disconnectFromHost();
            };
            if (head.startsWith("GET /update/1.5/manifest.txt "))
                reply(manifest, manifest.size());
            else if (head.startsWith("GET /update/1.5/manifest.sig "))
                reply(signature, signature.size());
            else if (head.startsWith("GET /update/1.5/release.tar "))
                reply(archive.left(archive.size() / 2), archive.size());
            else
                reply({}, 0);
        });
        QObject::connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
    });

    const QMap<QString, QByteArray> before = snapshot(app);
    QProcess updater;
    updater.start(QStringLiteral(VANTOLI_UPDATER_BINARY),
                  updaterArguments(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()), QStringLiteral("1.5"),
                                   app, 0, QString(), {}));
    ASSERT_TRUE(waitFor([&] { return updater.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(updater.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(updater.readAllStandardError());
    EXPECT_TRUE(err.contains(u"release.tar")) << err.toStdString();
    EXPECT_EQ(snapshot(app), before);
    EXPECT_FALSE(QFile::exists(app + QStringLiteral(".previous")));
}

} // namespace

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
