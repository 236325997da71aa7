// End to end with the reference server: the operator publishes a signed
// release, the update check announces it, the updater installs it into a
// program folder of this test once "the program" (a process the test
// started) has ended, and the new version starts. The updater is built
// from the program's updater source with the tests' own key pair (made in
// the build folder); the server signs with that pair's secret. Releases
// signed with another key or with the key once committed to the
// repository, releases that are not newer and truncated downloads are
// refused with the old version intact; a build without a release key opens
// the update page instead of starting an updater.

#include "support/fake_dialogs.h"
#include "support/waiting_http_get.h"
#include "app/settings_file.h"
#include "app/version.h"
#include "platform/http_get.h"
#include "playback/playback_session.h"
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
// An updater that trusts the tests' key; the program's own (built only with
// a configured release key) or "".
const QString kTestUpdater = QStringLiteral(VANTOLI_TEST_UPDATER_BINARY);
const QString kProgramUpdater = QStringLiteral(VANTOLI_UPDATER_BINARY);
// The secret half of the key earlier versions of this project built into
// every updater made without a configured key. It was committed to the
// repository, so anyone can sign with it: the attacker's key here.
const QByteArray kRetiredSecretHex = "09c2bb9f2ed5fd8da596825b7a71ddd12806ba9897513869e89ee44ff2060c4a";

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

// The seed in a key file as the content server writes it.
QByteArray secretFrom(const QString &keyFile) {
    for (const QByteArray &line : readFile(keyFile).split('\n'))
        if (!line.startsWith('#'))
            if (const auto seed = release::fromHex(line, release::kKeyBytes))
                return *seed;
    return {};
}

// The three files of a release of `version` holding one program file,
// signed with `secret`, written into `folder` as a server serves them.
void writeSignedRelease(const QString &folder, const QString &version, const QByteArray &programBody,
                        const QByteArray &secret) {
    QTemporaryDir work;
    writeFile(work.filePath(QStringLiteral("vantoli")), programBody, true);
    const QString tar = folder + u'/' + release::kArchiveName;
    QDir().mkpath(folder);
    ASSERT_EQ(release::packArchive(tar, {work.filePath(QStringLiteral("vantoli"))}), QString());
    const QByteArray archive = readFile(tar);
    const QByteArray manifest = release::manifestText(
        {version, archive.size(), QCryptographicHash::hash(archive, QCryptographicHash::Sha256)});
    writeFile(folder + u'/' + release::kManifestName, manifest);
    writeFile(folder + u'/' + release::kSignatureName, release::sign(secret, manifest)->toHex() + "\n");
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
    QString err, out;
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
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
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
        // The demo makes no key; this server signs with the tests' key.
        ASSERT_FALSE(QFile::exists(data + QStringLiteral("/keys")));
        ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/keys")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTOLI_TEST_SECRET_FILE), keyFile()));

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
        ASSERT_TRUE(QFile::copy(kTestUpdater, app + QStringLiteral("/vantoli-update")));
    }

    QString keyFile() const { return data + QStringLiteral("/keys/release-signing.key"); }

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

    Outcome update(const QString &version, const QString &updater = {}) {
        return run(updater.isEmpty() ? app + QStringLiteral("/vantoli-update") : updater,
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

    WaitingHttpGet http;
    FakeDialogs dialogs;
    dialogs.answer = true;
    QTemporaryDir home;
    Settings settings(home.filePath(QStringLiteral("App.ini")));
    PlaybackSession session;
    Host host;
    ProcessUpdaterLauncher launcher(base, app, QStringLiteral("vantoli"), {QStringLiteral("--after-update")}, true,
                                    program.processId());
    ASSERT_TRUE(launcher.localUpdaterExists());
    UpdateCheck check(http, dialogs, settings, session, host, launcher, base);
    check.timedCheck();
    ASSERT_TRUE(http.waitForReplies(http.handled + 1));
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
    ASSERT_TRUE(QDir().rename(data + QStringLiteral("/keys"), data + QStringLiteral("/test-keys")));
    ASSERT_EQ(run(kServer, {QStringLiteral("operator"), QStringLiteral("--data"), data, QStringLiteral("release-key")})
                  .status,
              0);
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
    ASSERT_TRUE(QDir().rename(data + QStringLiteral("/test-keys"), data + QStringLiteral("/keys")));
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

// The key an earlier version built into every updater made without a
// configured key has a public secret. A content server (or anyone on the
// way to it) signs a release with it: no updater this build makes accepts
// it, and a content server that still holds that key makes a new one
// instead of signing with it.
TEST_F(UpdaterEndToEnd, AReleaseSignedWithTheKeyOnceInTheRepositoryIsRefused) {
    const QByteArray retired = *release::fromHex(kRetiredSecretHex, release::kKeyBytes);
    ASSERT_TRUE(release::retiredKey(*release::publicKeyOf(retired)));
    const QMap<QString, QByteArray> before = snapshot(app);
    writeSignedRelease(data + QStringLiteral("/update/1.4"), QStringLiteral("1.4"),
                       "#!/bin/sh\necho attacker > \"$(dirname \"$0\")/started.txt\"\n", retired);
    QStringList updaters{app + QStringLiteral("/vantoli-update")};
    if (!kProgramUpdater.isEmpty())
        updaters << kProgramUpdater; // the program's own, with the configured key
    for (const QString &updater : updaters) {
        const Outcome r = update(QStringLiteral("1.4"), updater);
        EXPECT_EQ(r.status, 1) << updater.toStdString();
        EXPECT_TRUE(r.err.contains(u"signature")) << r.err.toStdString();
        expectOldVersionRestarted(QStringLiteral("1.4"));
        EXPECT_EQ(snapshot(app), before);
    }
    EXPECT_FALSE(QFile::exists(app + QStringLiteral(".previous")));

    // A data folder that still signs with the retired key.
    writeFile(keyFile(), "# old demo key\n" + kRetiredSecretHex + "\n");
    const Outcome key = run(kServer, {QStringLiteral("operator"), QStringLiteral("--data"), data,
                                      QStringLiteral("release-key")});
    ASSERT_EQ(key.status, 0) << key.err.toStdString();
    const QByteArray now = secretFrom(keyFile());
    ASSERT_FALSE(now.isEmpty());
    EXPECT_NE(now, retired);
    EXPECT_EQ(key.out.trimmed().toLatin1(), release::publicKeyOf(now)->toHex());
    EXPECT_EQ(QFileInfo(keyFile()).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    expectNoLeftovers();
}

// An old signed release announced again (a replay, or a downgrade to a
// version with known faults) is never installed, nor the installed version
// again.
TEST_F(UpdaterEndToEnd, ReleasesNotNewerThanTheInstalledVersionAreRefused) {
    const QMap<QString, QByteArray> before = snapshot(app);
    const QByteArray body = "#!/bin/sh\necho new > \"$(dirname \"$0\")/started.txt\"\n";
    for (const QString &version : {QStringLiteral("0.9"), majorMinor(programVersion()), programVersion()}) {
        const Outcome pub = publish(version, body);
        ASSERT_EQ(pub.status, 0) << pub.err.toStdString();
        const Outcome r = update(version);
        EXPECT_EQ(r.status, 1) << version.toStdString();
        EXPECT_TRUE(r.err.contains(u"not newer")) << r.err.toStdString();
        expectOldVersionRestarted(version);
        EXPECT_EQ(snapshot(app), before);
    }
    // The program's version counts when it is newer than the updater's own
    // (an updater the last release did not replace).
    ASSERT_EQ(publish(QStringLiteral("1.5"), body).status, 0);
    QStringList args = updaterArguments(base, QStringLiteral("1.5"), app, 0, QStringLiteral("vantoli"), {});
    args[args.indexOf(QStringLiteral("--installed-version")) + 1] = QStringLiteral("1.6");
    const Outcome r = run(app + QStringLiteral("/vantoli-update"), args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains(u"not newer than the installed version 1.6")) << r.err.toStdString();
    expectOldVersionRestarted(QStringLiteral("1.5"));
    EXPECT_EQ(snapshot(app), before);
    // Versions the updater cannot order are not published.
    EXPECT_EQ(publish(QStringLiteral("2.0-beta"), body).status, 1);
    EXPECT_FALSE(QFile::exists(app + QStringLiteral(".previous")));
    expectNoLeftovers();
}

// A build without a release key has no self-update: an announced release
// opens the content server's update page, even with an updater (left by an
// earlier build, or planted) beside the program.
TEST_F(UpdaterEndToEnd, WithoutAReleaseKeyAnAnnouncedReleaseOpensTheUpdatePage) {
    ASSERT_EQ(publish(QStringLiteral("1.1"), "#!/bin/sh\necho new > \"$(dirname \"$0\")/started.txt\"\n").status, 0);
    const QMap<QString, QByteArray> before = snapshot(app);
    WaitingHttpGet http;
    for (const QString &up : {QStringLiteral("2"), QStringLiteral("1")}) {
        FakeDialogs dialogs;
        dialogs.answer = true;
        QTemporaryDir home;
        Settings settings(home.filePath(QStringLiteral("App.ini")));
        settings.write(QStringLiteral("S_q"), QStringLiteral("up"), up);
        PlaybackSession session;
        Host host;
        ProcessUpdaterLauncher launcher(base, app, QStringLiteral("vantoli"), {}, false);
        EXPECT_FALSE(launcher.localUpdaterExists());
        UpdateCheck check(http, dialogs, settings, session, host, launcher, base);
        check.timedCheck();
        ASSERT_TRUE(http.waitForReplies(http.handled + 1));
        EXPECT_EQ(dialogs.opened, QStringList{base + QStringLiteral("update/")}) << up.toStdString();
        EXPECT_EQ(host.calls, QStringList{QStringLiteral("exit")});
    }
    EXPECT_TRUE(http.get(base + QStringLiteral("update/")).contains(u"1.1"));
    QThread::msleep(1500);
    EXPECT_EQ(snapshot(app), before); // no updater ran, nothing started
    expectNoLeftovers();
}

TEST(SelfUpdate, OnlyABuildWithAReleaseKeyUpdatesItself) {
    EXPECT_EQ(selfUpdateBuilt(), bool(VANTOLI_SELF_UPDATE_EXPECTED));
    EXPECT_EQ(selfUpdateBuilt(), !kProgramUpdater.isEmpty());
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
    WaitingHttpGet http;
    FakeDialogs dialogs;
    QTemporaryDir home;
    Settings settings(home.filePath(QStringLiteral("App.ini")));
    PlaybackSession session;
    Host host;
    struct : UpdaterLauncher {
        bool localUpdaterExists() const override { return false; }
        bool startLocalUpdater(const QString &) override { return false; }
    } noUpdater;
    UpdateCheck check(http, dialogs, settings, session, host, noUpdater, base);
    check.timedCheck();
    ASSERT_TRUE(http.waitForReplies(http.handled + 1));
    EXPECT_EQ(host.recommend, u"1");
    EXPECT_EQ(session.state().stopAdState, 2);
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("bo_pad")});
    EXPECT_TRUE(dialogs.questions.isEmpty());

    // A release is never replaced under the same version.
    EXPECT_EQ(publish(QStringLiteral("2.0"), "#!/bin/sh\n").status, 0);
    EXPECT_EQ(publish(QStringLiteral("2.0"), "#!/bin/sh\n").status, 1);
    EXPECT_EQ(readFile(data + QStringLiteral("/lib/wen.txt")), "1====0====0====0====1====2.0");
}

// A server whose release archive breaks off half way: the manifest is
// signed with the right key and promises the whole archive, the connection
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

    const QByteArray seed = secretFrom(QStringLiteral(VANTOLI_TEST_SECRET_FILE));
    ASSERT_FALSE(seed.isEmpty());
    const QByteArray manifest = release::manifestText(
        {QStringLiteral("1.5"), archive.size(), QCryptographicHash::hash(archive, QCryptographicHash::Sha256)});
    const QByteArray signature = release::sign(seed, manifest)->toHex();

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
    updater.start(kTestUpdater,
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
