// The update check against a scripted control file, fake dialogs and a
// fake updater: switches, ad states, the version decision and shengji.

#include "update/update_check.h"
#include "update/updater_launcher.h"

#include "support/fake_dialogs.h"
#include "app/settings_file.h"
#include "support/fake_http_get.h"
#include "playback/playback_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8260/");
const QString kControl = kBase + QStringLiteral("lib/wen.txt");

struct Host : UpdateHost {
    QStringList calls;
    QString recommend = QStringLiteral("0");
    void setRecommendAtExit(const QString &flag) override { recommend = flag; }
    void loadNoticePopup() override { calls << QStringLiteral("popup"); }
    void gun_ad() override { calls << QStringLiteral("gun_ad"); }
    void showStopAdPane() override { calls << QStringLiteral("bo_pad"); }
    void ttt_v() override { calls << QStringLiteral("exit"); }
};

struct Launcher : UpdaterLauncher {
    bool exists = false;
    QStringList started;
    bool localUpdaterExists() const override { return exists; }
    bool startLocalUpdater(const QString &version) override {
        started << version;
        return true;
    }
};

class UpdateCheckTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};
    FakeAsyncHttpGet http;
    FakeDialogs dialogs;
    PlaybackSession session;
    const PlaybackState &state = session.state();
    Host host;
    Launcher launcher;
    UpdateCheck check{http, dialogs, settings, session, host, launcher, kBase};

    void run(const QString &reply) {
        http.replies[kControl] = reply;
        check.timedCheck();
        http.answerAll();
    }
    static QString question(const QString &v) {
        return kDialogTitle + QStringLiteral("检测到最新版本 ") + v + QStringLiteral(" ,你需要现在升级吗？");
    }
};

TEST_F(UpdateCheckTest, SwitchesOfAControlFileWithoutARelease) {
    run(QStringLiteral("1====0====1====0====1====1.0\r\n"));
    EXPECT_EQ(host.recommend, u"1");
    EXPECT_EQ(state.pauseAdState, 2);
    EXPECT_EQ(state.stopAdState, 2);
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("bo_pad")});
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(check.latestVersion(), u"1.0");
    EXPECT_EQ(http.requested, QStringList{kControl});

    // Once per run.
    check.timedCheck();
    EXPECT_EQ(http.requested.size(), 1);
}

// The control file arrives while the window goes on; an exit before it
// arrives drops it, so nothing is shown or started on the way out.
TEST_F(UpdateCheckTest, AControlFileArrivingAfterTheExitBeganDoesNothing) {
    check.timedCheck();
    EXPECT_EQ(http.waiting(), QStringList{kControl});
    EXPECT_EQ(host.recommend, u"0");
    check.cancel();
    EXPECT_FALSE(http.answer(kControl, QStringLiteral("1====1====1====1====1====9.9")));
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(host.recommend, u"0");
    {
        UpdateCheck gone(http, dialogs, settings, session, host, launcher, kBase);
        gone.timedCheck();
    }
    EXPECT_TRUE(http.waiting().isEmpty());
}

TEST_F(UpdateCheckTest, NoticeSwitchesAndBlankDigits) {
    run(QStringLiteral("0==== 1====0====1 ====0====1.0"));
    EXPECT_EQ(host.calls, (QStringList{QStringLiteral("popup"), QStringLiteral("gun_ad")}));
    EXPECT_EQ(state.pauseAdState, 0);
    EXPECT_EQ(state.stopAdState, 0);
    EXPECT_EQ(host.recommend, u"0");
}

TEST_F(UpdateCheckTest, FailedAdPagesKeepTheirState) {
    session.adPageFailed(AdPane::Pause);
    session.adPageFailed(AdPane::Stop);
    run(QStringLiteral("0====0====1====0====1====1.0"));
    EXPECT_EQ(state.pauseAdState, 1);
    EXPECT_EQ(state.stopAdState, 1);
    EXPECT_TRUE(host.calls.isEmpty());
}

TEST_F(UpdateCheckTest, RepliesWithoutFieldsChangeNothing) {
    for (const QString &reply : {QString(), QStringLiteral("1===1===1"), QStringLiteral("<html>404</html>")}) {
        UpdateCheck fresh(http, dialogs, settings, session, host, launcher, kBase);
        http.replies[kControl] = reply;
        fresh.timedCheck();
        http.answerAll();
        EXPECT_EQ(host.recommend, u"0") << reply.toStdString();
        EXPECT_TRUE(fresh.latestVersion().isEmpty());
    }
    EXPECT_EQ(state.pauseAdState, 0);
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

TEST_F(UpdateCheckTest, ShortFileCountsMissingFieldsAsEmpty) {
    run(QStringLiteral("1====1"));
    EXPECT_EQ(host.recommend, u"1");
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("popup")});
    EXPECT_TRUE(check.latestVersion().isEmpty());
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

TEST_F(UpdateCheckTest, AnnouncedOnlyWhenNumericAndDifferent) {
    EXPECT_FALSE(announcesRelease(QString()));
    EXPECT_FALSE(announcesRelease(QStringLiteral("0")));
    EXPECT_FALSE(announcesRelease(QStringLiteral("0.0")));
    EXPECT_FALSE(announcesRelease(QStringLiteral("1.0")));
    EXPECT_FALSE(announcesRelease(QStringLiteral("beta")));
    EXPECT_TRUE(announcesRelease(QStringLiteral("0.9"))); // inequality, not order
    EXPECT_TRUE(announcesRelease(QStringLiteral("2.0 ")));
    EXPECT_TRUE(announcesRelease(QStringLiteral("1.1")));
    // A file saved with a line break does not offer the running version.
    EXPECT_FALSE(announcesRelease(QStringLiteral("1.0\n")));
    EXPECT_FALSE(announcesRelease(QStringLiteral("1.0 ")));
    // Release versions compare number by number against the installed one.
    const QString installed = QStringLiteral("1.1");
    EXPECT_FALSE(announcesRelease(QStringLiteral("1.1.0"), installed));
    EXPECT_FALSE(announcesRelease(QStringLiteral(" 1.1 "), installed));
    EXPECT_TRUE(announcesRelease(QStringLiteral("1.10"), installed));
    EXPECT_TRUE(announcesRelease(QStringLiteral("1.0"), installed));
    EXPECT_TRUE(announcesRelease(QStringLiteral("1.1-fix"), installed)); // not a release version: as text
    EXPECT_EQ(leadingNumber(QStringLiteral(" 1")), 1.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("1x")), 1.0);
    EXPECT_EQ(leadingNumber(QStringLiteral("x1")), 0.0);
}

// The version the build calls itself is the one the check compares: a
// control file naming it, in any of its forms, never offers it again (with
// "up" at "2" that would quit and reinstall at every start).
TEST_F(UpdateCheckTest, TheBuildsOwnVersionIsNeverOffered) {
    settings.write(QStringLiteral("S_q"), QStringLiteral("up"), QStringLiteral("2"));
    launcher.exists = true;
    const QString own = programVersion();
    for (const QString &v : {own, own + QStringLiteral("\r\n"), majorMinor(own), own + QStringLiteral(".0")}) {
        UpdateCheck fresh(http, dialogs, settings, session, host, launcher, kBase);
        http.replies[kControl] = QStringLiteral("0====0====0====0====0====") + v;
        fresh.timedCheck();
        http.answerAll();
        fresh.shengji();
        EXPECT_TRUE(launcher.started.isEmpty()) << v.toStdString();
    }
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(dialogs.opened.isEmpty());
    EXPECT_TRUE(host.calls.isEmpty());
    EXPECT_EQ(dialogs.questionMessages.size(), 4); // "no upgrade needed"
    EXPECT_EQ(QStringLiteral(VANTOLI_VERSION), own);
}

TEST_F(UpdateCheckTest, ZeroVersionsAnnounceNothingAndSwitchesStillApply) {
    for (const QString &v : {QStringLiteral("0"), QStringLiteral("0.0")}) {
        UpdateCheck fresh(http, dialogs, settings, session, host, launcher, kBase);
        http.replies[kControl] = QStringLiteral("0====0====0====1====0====") + v;
        fresh.timedCheck();
        http.answerAll();
        EXPECT_EQ(fresh.latestVersion(), v);
    }
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(host.calls, (QStringList{QStringLiteral("gun_ad"), QStringLiteral("gun_ad")}));
}

TEST_F(UpdateCheckTest, NewerVersionAsksWhenUpIsAbsentAndNoKeepsRunning) {
    dialogs.answer = false;
    run(QStringLiteral("1====1====0====1====1====1.1\r\n"));
    EXPECT_EQ(dialogs.questions, QStringList{question(QStringLiteral("1.1"))});
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_TRUE(dialogs.opened.isEmpty());
    // No: the rest of the file applies, the program goes on.
    EXPECT_EQ(host.calls, (QStringList{QStringLiteral("popup"), QStringLiteral("gun_ad"), QStringLiteral("bo_pad")}));
    EXPECT_EQ(host.recommend, u"1");
}

TEST_F(UpdateCheckTest, YesStartsTheLocalUpdaterAndQuitsWithoutRecommendation) {
    dialogs.answer = true;
    launcher.exists = true;
    settings.write(QStringLiteral("S_q"), QStringLiteral("up"), QStringLiteral("1"));
    run(QStringLiteral("1====1====1====1====1====0.9"));
    EXPECT_EQ(dialogs.questions, QStringList{question(QStringLiteral("0.9"))});
    EXPECT_EQ(launcher.started, QStringList{QStringLiteral("0.9")});
    EXPECT_TRUE(dialogs.opened.isEmpty());
    EXPECT_EQ(host.recommend, u"0");
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("exit")}); // no notices on the way out
    EXPECT_EQ(state.pauseAdState, 2); // set before the version decision
}

TEST_F(UpdateCheckTest, YesWithoutLocalUpdaterOpensTheRemoteOne) {
    dialogs.answer = true;
    run(QStringLiteral("0====0====0====0====0====2.0 "));
    EXPECT_EQ(dialogs.questions, QStringList{question(QStringLiteral("2.0 "))});
    EXPECT_EQ(dialogs.opened, QStringList{kBase + QStringLiteral("update/")});
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("exit")});
}

TEST_F(UpdateCheckTest, UpTwoUpdatesWithoutAsking) {
    settings.write(QStringLiteral("S_q"), QStringLiteral("up"), QStringLiteral("2"));
    launcher.exists = true;
    run(QStringLiteral("1====0====0====0====0====2.0 "));
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(launcher.started, QStringList{QStringLiteral("2.0")}); // blanks are not part of a version
    EXPECT_EQ(host.recommend, u"0");
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("exit")});
}

TEST_F(UpdateCheckTest, UpTwoWithoutLocalUpdaterSaysSoAndOpensTheRemoteOne) {
    settings.write(QStringLiteral("S_q"), QStringLiteral("up"), QStringLiteral("2"));
    run(QStringLiteral("1====0====0====0====0====1.1"));
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(dialogs.messages,
              QStringList{kDialogTitle + QStringLiteral("检测到最新版本 1.1 ,请下载最新版本的软件!")});
    EXPECT_EQ(dialogs.opened, QStringList{kBase + QStringLiteral("update/")});
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_EQ(host.recommend, u"0");
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("exit")});
}

TEST_F(UpdateCheckTest, ShengjiBeforeTheTimedCheckReportsTheNewestVersion) {
    check.shengji();
    EXPECT_TRUE(http.requested.isEmpty());
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(dialogs.questionMessages, QStringList{kDialogTitle + QStringLiteral("你现在使用的是最新版本，无需升级!")});
}

TEST_F(UpdateCheckTest, ShengjiRepeatsTheDecisionWithoutFetchingOrReadingUp) {
    dialogs.answer = false;
    run(QStringLiteral("0====0====0====0====0====1.2"));
    settings.write(QStringLiteral("S_q"), QStringLiteral("up"), QStringLiteral("2"));
    dialogs.questions.clear();
    check.shengji(); // No: nothing
    EXPECT_EQ(dialogs.questions, QStringList{question(QStringLiteral("1.2"))});
    EXPECT_TRUE(host.calls.isEmpty());

    dialogs.answer = true;
    check.shengji(); // Yes, no local updater: the remote one, without a message
    EXPECT_EQ(dialogs.opened, QStringList{kBase + QStringLiteral("update/")});
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("exit")});
    EXPECT_EQ(http.requested.size(), 1);
}

TEST_F(UpdateCheckTest, ShengjiAfterACurrentVersion) {
    run(QStringLiteral("0====0====0====0====0====1.0"));
    check.shengji();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(dialogs.questionMessages.size(), 1);
}

} // namespace

namespace {

TEST_F(UpdateCheckTest, AVersionTheUpdaterRefusedIsNotOfferedAgainByTheTimedCheck) {
    settings.write(QStringLiteral("S_q"), QStringLiteral("up"), QStringLiteral("2"));
    launcher.exists = true;
    check.setRefusedVersion(QStringLiteral("1.1"));
    run(QStringLiteral("0====0====0====1====0====1.1 "));
    EXPECT_TRUE(launcher.started.isEmpty());
    EXPECT_EQ(host.calls, QStringList{QStringLiteral("gun_ad")}); // the program goes on
    // The user may still ask for it.
    dialogs.answer = true;
    check.shengji();
    EXPECT_EQ(launcher.started, QStringList{QStringLiteral("1.1")});
}

} // namespace

namespace {

TEST(ProcessUpdaterLauncher, OnlyASelfContainedProgramFolderUpdatesItself) {
    QTemporaryDir dir;
    auto makeUpdater = [](const QString &path) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    };
    const QString folder = dir.filePath(QStringLiteral("vantoli-1.0"));
    QDir().mkpath(folder);
    ProcessUpdaterLauncher launcher(QStringLiteral("http://127.0.0.1:1/"), folder, QStringLiteral("vantoli"), {},
                                    true);
    EXPECT_FALSE(launcher.localUpdaterExists());
    makeUpdater(folder + QStringLiteral("/vantoli-update"));
    EXPECT_TRUE(launcher.localUpdaterExists());
    // A build without a release key never starts an updater it finds.
    EXPECT_FALSE(ProcessUpdaterLauncher(QStringLiteral("http://127.0.0.1:1/"), folder, QStringLiteral("vantoli"), {},
                                        false)
                     .localUpdaterExists());

    // bin/ of an installed layout, even with an updater under lib/vantoli/.
    const QString bin = dir.filePath(QStringLiteral("prefix/bin"));
    makeUpdater(bin + QStringLiteral("/vantoli-update"));
    makeUpdater(dir.filePath(QStringLiteral("prefix/lib/vantoli/vantoli-update")));
    EXPECT_FALSE(ProcessUpdaterLauncher(QStringLiteral("http://127.0.0.1:1/"), bin, QStringLiteral("vantoli"), {}, true)
                     .localUpdaterExists());

    EXPECT_EQ(updaterArguments(QStringLiteral("http://h/"), QStringLiteral("1.1"), folder, 42,
                               QStringLiteral("vantoli"), {QStringLiteral("--home"), QStringLiteral("/h")}),
              (QStringList{QStringLiteral("--content-base"), QStringLiteral("http://h/"), QStringLiteral("--version"),
                           QStringLiteral("1.1"), QStringLiteral("--installed-version"), programVersion(),
                           QStringLiteral("--install"), folder, QStringLiteral("--wait-pid"),
                           QStringLiteral("42"), QStringLiteral("--restart"), QStringLiteral("vantoli"),
                           QStringLiteral("--"), QStringLiteral("--home"), QStringLiteral("/h")}));
}

} // namespace
