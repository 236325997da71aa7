// History commands through the real main window: the context menu of the
// task list, the task menu, the history label, the player's cache folder
// read from the player files, and the files the user ends up with.

#include "shell/ba1.h"
#include "catalog/catalog_module.h"

#include "support/fake_dialogs.h"
#include "catalog/pane_events.h"
#include "support/fake_http_get.h"
#include "support/fake_power.h"
#include "support/fake_process_table.h"
#include "support/fake_player_factory.h"
#include "support/window_options.h"
#include "playback/playback_controller.h"
#include "terminal/transfer_record.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;
using namespace vantoli::shell;

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

const QByteArray kTasks = "1|one|01|http%3A//example.invalid/1.mp4|0|0|0\r\n"
                          "2|two|02|peer%3A//h%7Cab%7Cepisode-two.mkv%7C9|0|1|0\r\n"
                          "3|three|03|http%3A//example.invalid/3.mp4|0|2|0\r\n";

class HistoryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("player")));
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("cache")));
        playerFolder = dir.filePath(QStringLiteral("player")) + u'/';
        cacheFolder = dir.filePath(QStringLiteral("cache")) + u'/';
        writeFile(playerFolder + QStringLiteral("PeerCfg.ini"),
                  "[NBPEERTERMINAL]\r\ndefaultsavepath=" + QFile::encodeName(cacheFolder) + "\r\n");
        writeFile(dir.filePath(QStringLiteral("App.ini")), "[S_q]\r\npeerw=" + QFile::encodeName(playerFolder) + "\r\n");
        writeFile(dir.filePath(QStringLiteral("date.dat")), kTasks);
        writeFile(dir.filePath(QStringLiteral("date_f.dat")), "x.mp4|/m/x.mp4|0\r\n");

        factory.autoState = false;
        window = std::make_unique<BA1>(windowOptions(dir.path(), fakes, &factory), dialogs);
        ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
        QApplication::processEvents();
    }
    void TearDown() override {
        for (QMenu *menu : window->menus()->menus())
            menu->hide();
    }
    QByteArray tasks() const { return readAll(dir.filePath(QStringLiteral("date.dat"))); }
    // A right click on a row of the task list remembers it and pops the menu up.
    void rightClickRow(const char *link) {
        window->catalog().paneEvents().contextMenu(kNetworkListPane, QString::fromLatin1(link), QPoint(30, 30));
        EXPECT_TRUE(window->menus()->webc()->isVisible());
    }
    void choose(const char *item) {
        QAction *action = window->menus()->item(QString::fromLatin1(item));
        ASSERT_NE(action, nullptr) << item;
        for (QMenu *menu : window->menus()->menus())
            menu->hide();
        action->trigger();
    }
    void clickLabel() {
        auto *qk = window->findChild<QLabel *>(QStringLiteral("qk"));
        ASSERT_NE(qk, nullptr);
        const QPoint pos(3, 3);
        QMouseEvent press(QEvent::MouseButtonPress, pos, qk->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(qk, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, qk->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(qk, &release);
    }

    QTemporaryDir dir;
    QString playerFolder, cacheFolder;
    FakeDialogs dialogs;
    FakePlayerFactory factory;
    WindowFakes fakes;
    std::unique_ptr<BA1> window;
};

} // namespace

TEST_F(HistoryWindowTest, DeleteTaskRemovesTheRightClickedEntryFromTheTaskFile) {
    rightClickRow("open://2");
    choose("c_shan");
    EXPECT_EQ(tasks(), "1|one|01|http%3A//example.invalid/1.mp4|0|0|0\r\n"
                       "3|three|03|http%3A//example.invalid/3.mp4|0|2|0\r\n");
    EXPECT_FALSE(readAll(dir.filePath(QStringLiteral("c.htm"))).contains("two"));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("date_f.dat"))), "x.mp4|/m/x.mp4|0\r\n");
}

TEST_F(HistoryWindowTest, DeleteDownloadDeletesTheFilesInTheCacheFolderAndTheEntry) {
    writeFile(cacheFolder + QStringLiteral("episode-two.mkv"), "video");
    writeFile(cacheFolder + QStringLiteral("episode-one.mkv"), "other");
    writeFile(dir.filePath(QStringLiteral("episode-two.mkv")), "beside the cache folder");
    rightClickRow("open://2");
    dialogs.answer = true;
    choose("c_shan2");
    // The stem "episode-two" (11 characters) compares its first 6: "episod".
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0], QStringLiteral("提示：确定要删除 [") + cacheFolder +
                                        QStringLiteral("] 下面的这些文件吗？\n\nepisode-one.mkv\nepisode-two.mkv\n"));
    EXPECT_TRUE(QDir(cacheFolder).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("episode-two.mkv"))), "beside the cache folder");
    EXPECT_FALSE(tasks().contains("|two|"));
    EXPECT_TRUE(tasks().startsWith("1|one|"));
}

TEST_F(HistoryWindowTest, DeleteDownloadOfAnHttpItemDeletesWhatTheTransferProgramKept) {
    // The transfer program keeps a hidden record beside its copy: the
    // address, the file's name and who the file is.
    writeFile(cacheFolder + QStringLiteral("3.mp4"), "video");
    terminal::ItemState record;
    record.url = QStringLiteral("http://example.invalid/3.mp4");
    record.name = QStringLiteral("3.mp4");
    record.total = record.have = 5;
    record.file = *terminal::identityOf(cacheFolder + record.name);
    ASSERT_TRUE(terminal::writeItemState(cacheFolder + QStringLiteral(".3.mp4.vantoli"), record));
    writeFile(cacheFolder + QStringLiteral("1.mp4"), "not downloaded by it");
    rightClickRow("open://1");
    choose("c_shan2");
    EXPECT_TRUE(dialogs.questions.isEmpty()) << "an item without a record is a web item";
    EXPECT_TRUE(QFileInfo::exists(cacheFolder + QStringLiteral("1.mp4")));

    rightClickRow("open://2"); // line 2 is now the former line 3
    dialogs.answer = true;
    choose("c_shan2");
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].endsWith(QStringLiteral("\n\n3.mp4\n")));
    EXPECT_FALSE(QFileInfo::exists(cacheFolder + QStringLiteral("3.mp4")));
    EXPECT_FALSE(QFileInfo::exists(cacheFolder + QStringLiteral(".3.mp4.vantoli")));
    EXPECT_TRUE(QFileInfo::exists(cacheFolder + QStringLiteral("1.mp4")));
    EXPECT_FALSE(tasks().contains("|three|"));
}

TEST_F(HistoryWindowTest, TaskMenuOpensTheCacheFolderAndClearsTheTaskList) {
    choose("wenjianb");
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("提示：路径") + cacheFolder + QStringLiteral("还没有任何影片。")});
    EXPECT_TRUE(dialogs.openedFolders.isEmpty());

    writeFile(cacheFolder + QStringLiteral("a.mkv"), "video");
    window->npc_Click(4); // pin on top
    ASSERT_TRUE(window->isTopmost());
    choose("wenjianb");
    EXPECT_EQ(dialogs.openedFolders, QStringList{cacheFolder});
    EXPECT_FALSE(window->isTopmost());
    EXPECT_TRUE(dialogs.opened.isEmpty()) << "no browser for a folder";

    dialogs.answer = true;
    choose("renwub");
    EXPECT_EQ(tasks(), "\r\n");
}

TEST_F(HistoryWindowTest, HistoryLabelPopsTheTaskMenuOrClearsTheLocalList) {
    dialogs.answer = true;
    clickLabel();
    EXPECT_TRUE(window->menus()->c_fie()->isVisible());
    window->menus()->c_fie()->hide();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(tasks(), kTasks);

    window->npc_Click(7); // the local-play list
    clickLabel();
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("提示：确定要删除全部[本地播放]列表吗？")});
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("date_f.dat"))), "\r\n");
    EXPECT_EQ(tasks(), kTasks);
    // The task-list clear does nothing while the local list is shown.
    choose("renwub");
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(tasks(), kTasks);
}

// One item of each kind reaches the subsystem behind it in the window: the
// skins, the settings dialog, the home page, the update check, the player's
// menu, the after-playback choice and playing the entry under the menu.
TEST_F(HistoryWindowTest, MenuItemsReachTheirSubsystemsInTheWindow) {
    choose("blue");
    EXPECT_EQ(window->skin().skin(), 1);
    choose("about");
    auto *dialog = window->findChild<QWidget *>(QStringLiteral("BA3"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->close();
    choose("guanf");
    EXPECT_EQ(dialogs.opened, QStringList{kNobodyListens});
    choose("shengji");
    EXPECT_EQ(dialogs.messages.value(0), QStringLiteral("提示：你现在使用的是最新版本，无需升级!"));
    choose("q_syou");
    ASSERT_NE(factory.made, nullptr);
    EXPECT_EQ(factory.made->audioChannel, 2);
    EXPECT_FALSE(window->playback().state().shutdownAfterPlayback);
    choose("kaiqi");
    EXPECT_TRUE(window->playback().state().shutdownAfterPlayback);

    rightClickRow("open://1/");
    choose("c_f");
    EXPECT_EQ(window->playback().state().playAreaMode, kPlayAreaWeb);
    EXPECT_EQ(tasks(), kTasks);
}
