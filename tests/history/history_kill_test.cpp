// The history files and pages after the process that writes them is killed
// at random points: start-up leaves every page showing its file.

#include "support/fake_dialogs.h"
#include "app/startup.h"
#include "history/history_page.h"
#include "playback/player.h"
#include "platform/text_file.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace vantoli;

namespace {

class ReadyFactory : public PlayerFactory {
public:
    PlayerCreation probe() override { return PlayerCreation::Created; }
    void registerComponent(const QString &) override {}
    std::unique_ptr<Player> create(QWidget *, const QString &, const QString &) override { return nullptr; }
};

class ReadyWindow : public MainWindowHost {
public:
    explicit ReadyWindow(const QString &folder) : store(folder) {}
    HistoryStore &history() override { return store; }
    bool load() override { return true; }
    ShowResult show() override { return ShowResult::Shown; }
    HistoryStore store;
};

const QStringList kOwnFiles = {kSettingsFile,       kNetworkHistoryFile, kLocalHistoryFile,
                               kNetworkHistoryPage, kLocalHistoryPage,   QStringLiteral("t.htm")};

// Whether the page on disk is the one its history file gives.
bool pageShowsItsFile(const HistoryStore &store, HistoryList list) {
    const auto lines = readTextLines(store.filePath(list));
    const auto page = readTextFile(store.pagePath(list));
    return lines && page && *page == renderHistoryPageText(*lines, list) + kCrLf;
}

} // namespace

TEST(HistoryAfterAKill, StartUpLeavesEveryPageShowingItsFile) {
    int staleBefore = 0;
    int rounds = 0;
    // Until kills have landed between a file and its page a few times.
    while (rounds < 300 && (rounds < 20 || staleBefore < 3)) {
        ++rounds;
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        for (const QString &name : {kNetworkHistoryFile, kLocalHistoryFile})
            ASSERT_TRUE(writeTextFile(dir.filePath(name), kCrLf));
        QProcess writer;
        writer.start(QStringLiteral(HISTORY_WRITER), {dir.path()});
        ASSERT_TRUE(writer.waitForStarted());
        QThread::usleep(QRandomGenerator::global()->bounded(3000, 60000));
        ::kill(pid_t(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished());

        const HistoryStore store(dir.path());
        for (HistoryList list : {HistoryList::NetworkTasks, HistoryList::LocalPlays})
            if (QFileInfo::exists(store.pagePath(list)) && !pageShowsItsFile(store, list))
                ++staleBefore;

        ReadyFactory factory;
        FakeDialogs dialogs;
        ReadyWindow window(dir.path());
        StartupContext ctx;
        ctx.programFolder = dir.path();
        ctx.playerFactory = &factory;
        ctx.dialogs = &dialogs;
        ctx.makeWindow = [&]() -> MainWindowHost * { return &window; };
        ctx.machineIdentifier = [] { return QStringLiteral("52-54-00-12-34-56"); };
        ASSERT_EQ(runStartup(ctx), StartupOutcome::WindowShown);
        for (HistoryList list : {HistoryList::NetworkTasks, HistoryList::LocalPlays})
            ASSERT_TRUE(pageShowsItsFile(store, list)) << "round " << rounds;

        // Whatever a write left behind goes once it is old enough; only the
        // program's own files stay.
        removeWriteLeftovers(dir.path(), kOwnFiles, 0);
        QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.sort();
        EXPECT_EQ(names, (QStringList{kSettingsFile, kNetworkHistoryPage, kNetworkHistoryFile, kLocalHistoryFile,
                                      kLocalHistoryPage}))
            << "round " << rounds;
    }
    // Otherwise the kills never hit the window this test is about.
    EXPECT_GE(staleBefore, 3) << rounds << " rounds";
}
