// The window end to end: the reference server with a demo catalog of short
// clips, the real panes and the real player. A click on an episode in the
// catalog plays it; past 601 thousandths the next episode is looked up and
// prebuffered; at the end the next one starts by itself.

#include "support/fake_dialogs.h"
#include "playback/mpv_player.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "playback/player_factory.h"
#include "playback/prebuffer_cache.h"
#include "support/fake_power.h"
#include "platform/power.h"
#include "platform/text_file.h"
#include "platform/web_pane.h"
#include "support/waiting_http_get.h"
#include "menus/popup_menus.h"
#include "shell/ba1.h"
#include "controls/playback_module.h"

#include <QAction>

#include <QApplication>
#include <QLabel>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/prctl.h>

#include <clocale>
#include <functional>

using namespace vantoli;
using namespace vantoli::shell;

namespace {

bool waitFor(const std::function<bool()> &done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

class PlaybackEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        data_ = new QTemporaryDir;
        QProcess demo;
        demo.start(QStringLiteral(VANTOLI_SERVER_BINARY),
                   {QStringLiteral("demo"), QStringLiteral("--data"), data_->filePath(QStringLiteral("d")),
                    QStringLiteral("--clip-seconds"), QStringLiteral("4"), QStringLiteral("--size"),
                    QStringLiteral("160x120")});
        demoMade_ = demo.waitForFinished(240000) && demo.exitCode() == 0;
    }
    static void TearDownTestSuite() {
        delete data_;
        data_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(demoMade_);
        // The real power layer only ever starts this recording script.
        powerLog_ = home_.filePath(QStringLiteral("power.log"));
        const QString script = home_.filePath(QStringLiteral("record-power.sh"));
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho \"$1\" >> \"" + powerLog_.toUtf8() + "\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(kPowerCommandVariable, script.toUtf8());
        realPower_ = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
                         .contains(QStringLiteral("Shut"));
        server_.setProcessChannelMode(QProcess::MergedChannels);
        // A test that dies does not leave its server behind.
        server_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server_.start(QStringLiteral(VANTOLI_SERVER_BINARY),
                      {QStringLiteral("serve"), QStringLiteral("--data"), data_->filePath(QStringLiteral("d")),
                       QStringLiteral("--port"), QStringLiteral("0")});
        ASSERT_TRUE(server_.waitForStarted());
        const QRegularExpression serving(QStringLiteral("on (http://127\\.0\\.0\\.1:\\d+/)"));
        QString out;
        ASSERT_TRUE(waitFor([&] {
            out += QString::fromUtf8(server_.readAll());
            return serving.match(out).hasMatch();
        }, 10000)) << out.toStdString();
        base_ = serving.match(out).captured(1);

        for (const char *n : {"date.dat", "date_f.dat"}) {
            QFile f(home_.filePath(QString::fromLatin1(n)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("\r\n");
        }
        Settings s(home_.filePath(QStringLiteral("App.ini")));
        for (const char *k : {"s_h", "s_bo", "s_pao"})
            s.write(QStringLiteral("S_q"), QString::fromLatin1(k), QStringLiteral("2"));

        statsBefore_ = stats();
        qputenv("VANTOLI_AUDIO_OUTPUT", "null");
        factory_ = makePlayerFactory();
        MainWindowOptions o;
        o.programFolder = home_.path();
        o.contentBase = base_;
        o.statsBase = base_ + QStringLiteral("stat/");
        o.playerFactory = factory_.get();
        o.power = realPower_ ? nullptr : &power_;
        o.sessionBus = false;
        window_ = std::make_unique<BA1>(o, dialogs_);
        ASSERT_EQ(window_->show(), MainWindowHost::ShowResult::Shown);
        std::setlocale(LC_NUMERIC, "C");
    }
    void TearDown() override {
        window_.reset();
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            server_.waitForFinished(5000);
        }
    }

    // The statistics server's counts of start and play pings.
    QPair<int, int> stats() const {
        const QString summary = WaitingHttpGet().get(base_ + QStringLiteral("stat/summary.json"));
        const QRegularExpression starts(QStringLiteral("\"starts\":(\\d+)"));
        const QRegularExpression plays(QStringLiteral("\"plays\":(\\d+)"));
        return {starts.match(summary).captured(1).toInt(), plays.match(summary).captured(1).toInt()};
    }

    static QTemporaryDir *data_;
    static bool demoMade_;
    QPair<int, int> statsBefore_;
    bool realPower_ = false;
    QProcess server_;
    QString base_;
    QTemporaryDir home_;
    FakeDialogs dialogs_;
    FakePower power_;
    QString powerLog_;
    std::unique_ptr<PlayerFactory> factory_;
    std::unique_ptr<BA1> window_;
};

// Runs a script in a pane's page and waits for its result.
QVariant runScript(WebPane *pane, const QString &script) {
    QVariant result;
    bool done = false;
    pane->view()->page()->runJavaScript(script, [&](const QVariant &v) {
        result = v;
        done = true;
    });
    waitFor([&] { return done; }, 10000);
    return result;
}

QString textOf(const QString &path) {
    const auto lines = readTextLines(path);
    return lines ? lines->join(u'\n') : QString();
}

QTemporaryDir *PlaybackEndToEnd::data_ = nullptr;
bool PlaybackEndToEnd::demoMade_ = false;

} // namespace

TEST_F(PlaybackEndToEnd, AnEpisodeClickedInTheCatalogPlaysPrebuffersTheNextAndGoesOnToIt) {
    auto *mpv = dynamic_cast<MpvPlayer *>(&window_->playbackModule().player());
    ASSERT_NE(mpv, nullptr) << "the window must host the real player";
    WebPane *catalog = window_->webPane(1);
    bool loaded = false;
    QObject::connect(catalog, &WebPane::documentComplete, [&](const QString &) { loaded = true; });
    catalog->navigate(base_);
    ASSERT_TRUE(waitFor([&] { return loaded; }, 20000));

    // A user's click on the first episode of the first series.
    catalog->view()->page()->runJavaScript(QStringLiteral("document.querySelector('a.ep').click();"));
    Player &player = window_->playbackModule().player();
    const PlaybackState &state = window_->playback().state();
    ASSERT_TRUE(waitFor([&] { return player.PlayState() == kStatePlaying; }, 20000))
        << "state " << player.PlayState();
    EXPECT_TRUE(state.currentItemKey.startsWith(QStringLiteral("1-0-0-"))) << state.currentItemKey.toStdString();
    const QString first = player.Url();

    // Past 601 thousandths: the next episode is looked up and prebuffered.
    ASSERT_TRUE(waitFor([&] { return state.prebufferStarted == 1; }, 15000));
    EXPECT_TRUE(state.nextEpisodePrepared()) << state.nextEpisodeState.toStdString();
    EXPECT_TRUE(state.nextEpisodeState.contains(QStringLiteral("&&&1&&&0&&&1&&&0")))
        << state.nextEpisodeState.toStdString();
    const QString next = state.prebufferLink;
    EXPECT_NE(next, first);
    EXPECT_TRUE(mpv->prebufferCache().isFetching(next) || mpv->prebufferCache().fetchedBytes(next) > 0);

    // At the end the next episode starts by itself.
    ASSERT_TRUE(waitFor([&] { return player.Url() == next && player.PlayState() == kStatePlaying; }, 30000))
        << player.Url().toStdString() << " state " << player.PlayState();
    EXPECT_TRUE(state.currentItemKey.startsWith(QStringLiteral("1-0-1-"))) << state.currentItemKey.toStdString();
    EXPECT_EQ(power_.requests, 0);

    QFile history(home_.filePath(QStringLiteral("date.dat")));
    ASSERT_TRUE(history.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = history.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("1|")) << lines[0].constData();
    EXPECT_TRUE(lines[0].contains("|0|1|")) << "newest entry: source 0, episode 1";
}

TEST_F(PlaybackEndToEnd, AutomaticShutdownAtTheEndReachesThePowerLayerInsteadOfTheNextEpisode) {
    WebPane *catalog = window_->webPane(1);
    bool loaded = false;
    QObject::connect(catalog, &WebPane::documentComplete, [&](const QString &) { loaded = true; });
    catalog->navigate(base_);
    ASSERT_TRUE(waitFor([&] { return loaded; }, 20000));
    window_->menus()->item(QStringLiteral("kaiqi"))->trigger();
    ASSERT_TRUE(window_->playback().state().shutdownAfterPlayback);
    catalog->view()->page()->runJavaScript(QStringLiteral("document.querySelector('a.ep').click();"));
    Player &player = window_->playbackModule().player();
    ASSERT_TRUE(waitFor([&] { return player.PlayState() == kStatePlaying; }, 20000));
    const QString first = player.Url();

    // The recording script creates its file before it writes the line.
    QFile log(powerLog_);
    const auto recorded = [&] {
        QFile f(powerLog_);
        return f.open(QIODevice::ReadOnly) && f.readAll().endsWith('\n');
    };
    ASSERT_TRUE(waitFor(recorded, 30000)) << "no shutdown request";
    EXPECT_EQ(static_cast<QLabel *>(window_->findChild<QWidget *>(QStringLiteral("zhun")))->text(),
              QStringLiteral("播放完毕"));
    EXPECT_FALSE(window_->playback().isTimerEnabled(PlaybackTimer::Status));
    QApplication::processEvents();
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), QByteArray("poweroff\n"));
    EXPECT_EQ(player.Url(), first) << "shutdown wins over the next episode";
}

TEST_F(PlaybackEndToEnd, FromTheCatalogToTheHistoryAndTheTvPage) {
    WebPane *catalog = window_->webPane(1);
    bool loaded = false;
    QObject::connect(catalog, &WebPane::documentComplete, [&](const QString &) { loaded = true; });
    ASSERT_TRUE(waitFor([&] { return loaded; }, 20000)) << "the catalog pane loads its home page by itself";
    runScript(catalog, QStringLiteral("document.querySelector('a.ep').click();"));
    Player &player = window_->playbackModule().player();
    ASSERT_TRUE(waitFor([&] { return player.PlayState() == kStatePlaying; }, 20000));
    const QString first = player.Url();

    // History file and its page.
    ASSERT_TRUE(waitFor([&] { return textOf(home_.filePath(QStringLiteral("date.dat"))).startsWith(u"1|"); }, 5000));
    ASSERT_TRUE(waitFor([&] { return textOf(home_.filePath(QStringLiteral("c.htm"))).contains(u"星河旅人"); }, 5000));

    // The episode list shows the series with the episode highlighted.
    WebPane *list = window_->webPane(5);
    ASSERT_TRUE(waitFor([&] {
        return runScript(list, QStringLiteral("(function(){var e=document.getElementById('t00');"
                                              "return e ? e.className : '';})()"))
                   .toString() == QStringLiteral("item cur");
    }, 20000));

    // The statistics server saw this window's start and its play.
    ASSERT_TRUE(waitFor([&] {
        const QPair<int, int> now = stats();
        return now.first == statsBefore_.first + 1 && now.second == statsBefore_.second + 1;
    }, 10000)) << stats().first << " starts, " << stats().second << " plays";

    // Opening the entry from the network-task list plays the episode again
    // (through the episode list page), deleting it empties the list.
    WebPane *tasks = window_->webPane(3);
    ASSERT_TRUE(waitFor([&] {
        return runScript(tasks, QStringLiteral("document.querySelectorAll('a[href^=\"open://\"]').length")).toInt() == 1;
    }, 10000));
    window_->playbackModule().bo_but_Click(1);
    ASSERT_TRUE(waitFor([&] { return player.PlayState() == kStateStopped; }, 5000)) << player.PlayState();
    runScript(tasks, QStringLiteral("document.querySelector('a[href^=\"open://\"]').click();"));
    ASSERT_TRUE(waitFor([&] { return player.Url() == first && player.PlayState() == kStatePlaying; }, 20000))
        << player.Url().toStdString() << " state " << player.PlayState();
    // The list page was written again for the replay; wait for the new one.
    QApplication::processEvents(QEventLoop::AllEvents, 500);
    ASSERT_TRUE(waitFor([&] {
        return !tasks->isLoading() &&
               runScript(tasks, QStringLiteral("document.querySelectorAll('a[href^=\"delk://\"]').length")).toInt() == 1;
    }, 10000));
    runScript(tasks, QStringLiteral("document.querySelector('a[href^=\"delk://\"]').click();"));
    ASSERT_TRUE(waitFor([&] { return !textOf(home_.filePath(QStringLiteral("date.dat"))).contains(u'|'); }, 5000));
    EXPECT_TRUE(textOf(home_.filePath(QStringLiteral("c.htm"))).contains(u"暂无记录"));

    // A TV link shows its channel in the TV pane and stops the player.
    WebPane *tvList = window_->webPane(11);
    ASSERT_TRUE(waitFor([&] {
        return runScript(tvList, QStringLiteral("document.querySelectorAll('a[href^=\"kxtvs://\"]').length")).toInt() > 0;
    }, 10000));
    runScript(tvList, QStringLiteral("document.querySelector('a[href^=\"kxtvs://\"]').click();"));
    ASSERT_TRUE(waitFor([&] { return window_->playback().state().playAreaMode == kPlayAreaTv; }, 5000));
    EXPECT_NE(player.PlayState(), kStatePlaying);
    EXPECT_TRUE(waitFor([&] { return window_->webPane(10)->currentAddress().contains(QStringLiteral("tv/kxbotv.htm")); }, 5000))
        << window_->webPane(10)->currentAddress().toStdString();
}
