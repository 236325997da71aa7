// The exit routine's order and its peerk decision, on recording fakes.

#include "app/settings_file.h"
#include "playback/exit_routine.h"
#include "playback/player_processes.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

struct Recorder final : ExitSteps, PlayerProcesses {
    QStringList log;
    bool player = false;
    bool recommendation = false;

    void removeTrayIcon() override { log << "tray"; }
    bool playerShown() const override { return player; }
    void stopPlayback() override { log << "stop"; }
    void stopHousekeeping() override { log << "housekeeping off"; }
    void cancelWaitingFetch() override { log << "fetch"; }
    void unloadMenus() override { log << "menus"; }
    void unloadNoticeWindow() override { log << "notices"; }
    void unloadSettingsWindow() override { log << "settings"; }
    void closeMainWindow() override { log << "main"; }
    bool showRecommendation() override {
        log << "recommendation?";
        return recommendation;
    }
    void quit() override { log << "quit"; }

    void runHousekeeping() override {}
    QString playerFolder() const override { return {}; }
    QString knownPlayerFolder() override { return {}; }
    bool endProcessByName(const QString &text) override {
        log << "end " + text;
        return true;
    }
    void endPlayerPrograms() override { log << "end both"; }
    void startTerminal() override {}
    void ensureTerminalRunning() override {}
};

class ExitRoutineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    Settings settings() const { return Settings(QDir(dir.path()).filePath("App.ini")); }
    QTemporaryDir dir;
    Recorder r;
};

} // namespace

TEST_F(ExitRoutineTest, PeerkTwoEndsThePlayerThenTheTerminalAfterThePlaybackStopped) {
    settings().write("S_q", "peerk", " 2");
    r.player = true;
    runExitRoutine(r, settings(), &r);
    EXPECT_EQ(r.log, (QStringList{"tray", "stop", "housekeeping off", "end PeerPlayer", "end PeerTerminal", "fetch",
                                  "menus", "notices", "settings", "main", "recommendation?", "quit"}));

    // Read as a number, as the settings dialog reads it: a value the dialog
    // shows ticked as 2 ends the programs too.
    for (const char *peerk : {"2.0", "2.", "20e-1"}) {
        r.log.clear();
        settings().write("S_q", "peerk", peerk);
        runExitRoutine(r, settings(), &r);
        EXPECT_EQ(r.log.filter("end ").size(), 2) << peerk;
    }
}

TEST_F(ExitRoutineTest, OtherwiseTheProgramsStayAndAWebPlaybackIsNotStopped) {
    for (const char *peerk : {"1", "", "0", "2x", "1.0", "2.5", "nan"}) {
        r.log.clear();
        settings().write("S_q", "peerk", peerk);
        runExitRoutine(r, settings(), &r);
        EXPECT_FALSE(r.log.contains("stop")) << peerk;
        EXPECT_EQ(r.log.filter("end ").size(), 0) << peerk;
        EXPECT_EQ(r.log.last(), "quit") << peerk;
    }
    // No settings file at all, and no process table: nothing ends either.
    QFile::remove(settings().path());
    r.log.clear();
    runExitRoutine(r, settings(), nullptr);
    EXPECT_EQ(r.log.last(), "quit");
}

TEST_F(ExitRoutineTest, AShownRecommendationKeepsTheProcessAlive) {
    r.recommendation = true;
    runExitRoutine(r, settings(), &r);
    EXPECT_EQ(r.log.last(), "recommendation?");
    EXPECT_FALSE(r.log.contains("quit"));
}
