// The settings dialog inside the main window: opened from the menu items,
// writing App.ini, and changing the cache folder in both player files with
// the player programs ended and the terminal started again (on a fake
// process table, so no real process is touched).
#include "shell/ba1.h"
#include "support/window_options.h"

#include "support/fake_dialogs.h"
#include "support/fake_process_table.h"
#include "settings/ba3.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;
using namespace vantoli::shell;

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class BA1SettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeDialogs dialogs;
    WindowFakes fakes;
    FakeProcessTable &processes = fakes.processes;
    std::unique_ptr<BA1> window;

    QString peerFolder() const { return dir.filePath(QStringLiteral("peer/")); }
    Settings settings() const { return Settings(dir.filePath(QStringLiteral("App.ini"))); }

    void start() {
        window = std::make_unique<BA1>(windowOptions(dir.path(), fakes), dialogs);
        ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
        QApplication::processEvents();
    }
    void menu(const char *item) {
        QAction *a = window->menus()->item(QString::fromLatin1(item));
        ASSERT_NE(a, nullptr) << item;
        a->trigger();
        QApplication::processEvents();
    }
    BA3 *dialog() const { return window->findChild<BA3 *>(QStringLiteral("BA3")); }
    void closeDialog() {
        dialog()->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(BA1SettingsTest, MenuItemsOpenTheDialogOnItsTabs) {
    start();
    menu("about");
    ASSERT_NE(dialog(), nullptr);
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(dialog()->selectedTab(), 0);
    EXPECT_EQ(dialog()->parentWidget(), window.get());
    // "软件设置" on the open dialog keeps its tab.
    menu("shezhi");
    EXPECT_EQ(dialog()->selectedTab(), 0);
    EXPECT_EQ(window->findChildren<BA3 *>().size(), 1);
    // A new opening starts on the settings tab.
    closeDialog();
    EXPECT_EQ(dialog(), nullptr);
    menu("shezhi");
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->selectedTab(), 1);
}

TEST_F(BA1SettingsTest, OkWritesTheSwitchesIntoAppIni) {
    start();
    menu("shezhi");
    ASSERT_NE(dialog(), nullptr);
    dialog()->findChild<QCheckBox *>(QStringLiteral("Check15"))->setChecked(false); // quit
    dialog()->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_EQ(settings().read(QStringLiteral("S_q"), QStringLiteral("quit")), "1");
    EXPECT_EQ(settings().read(QStringLiteral("S_q"), QStringLiteral("peerk")), "2");
}

// The player folder may be an installed one that the user cannot write (and
// that all users share): the change goes into the user's own copy of the
// player files in the program folder, and the terminal starts with it.
TEST_F(BA1SettingsTest, CacheFolderRoundTripThroughTheUsersPlayerFiles) {
    ASSERT_TRUE(QDir().mkpath(peerFolder()));
    writeAll(peerFolder() + QStringLiteral("PeerCfg.ini"), "[NBPEERTERMINAL]\r\ndefaultsavepath=/srv/old/\r\n");
    writeAll(peerFolder() + QStringLiteral("PeerPlayer.xml"),
             "<cfg>\r\n<save Defaultsavepath=\"/srv/old/\" other=\"1\"/>\r\n</cfg>\r\n");
    settings().write(QStringLiteral("S_q"), QStringLiteral("peerw"), peerFolder());
    start();
    processes.add(4001, peerFolder() + QStringLiteral("PeerPlayer"));
    processes.add(4002, peerFolder() + QStringLiteral("PeerTerminal"));
    processes.started.clear();

    menu("shezhi");
    ASSERT_NE(dialog(), nullptr);
    auto *text = dialog()->findChild<QLineEdit *>(QStringLiteral("Text1"));
    EXPECT_EQ(text->text(), "/srv/old/");
    const QString fresh = dir.filePath(QStringLiteral("films"));
    text->setText(fresh);
    dialog()->findChild<QPushButton *>(QStringLiteral("cmdApply"))->click();

    EXPECT_EQ(text->text(), fresh + u'/');
    EXPECT_EQ(processes.ended, (QList<qint64>{4001, 4002}));
    const QString own = dir.filePath(QStringLiteral("Peer/"));
    EXPECT_EQ(processes.started,
              QStringList{peerFolder() + QStringLiteral("PeerTerminal --player-folder ") + own});
    EXPECT_EQ(dialogs.messages, QStringList{kDialogTitle + kCacheChanged});
    EXPECT_TRUE(readAll(own + QStringLiteral("PeerCfg.ini")).contains("defaultsavepath=" + (fresh + u'/').toUtf8()));
    EXPECT_EQ(readAll(own + QStringLiteral("PeerPlayer.xml")),
              "<cfg>\r\n<save Defaultsavepath=\"" + (fresh + u'/').toUtf8() + "\" other=\"1\"/>\r\n</cfg>\r\n");
    EXPECT_TRUE(readAll(peerFolder() + QStringLiteral("PeerCfg.ini")).contains("defaultsavepath=/srv/old/"))
        << "the shared player folder is not written";

    // Opened again, the dialog reads the new folder back.
    closeDialog();
    menu("shezhi");
    EXPECT_EQ(dialog()->findChild<QLineEdit *>(QStringLiteral("Text1"))->text(), fresh + u'/');
}

TEST_F(BA1SettingsTest, SkinSwitchRepaintsTheOpenDialog) {
    start();
    menu("shezhi");
    ASSERT_NE(dialog(), nullptr);
    auto *guan = dialog()->findChild<QLabel *>(QStringLiteral("guan"));
    QApplication::processEvents();
    window->p_p(1);
    QApplication::processEvents();
    EXPECT_EQ(guan->pixmap().toImage(), window->skin().slot(1).copy(120, 0, 24, 24).toImage());
}

TEST_F(BA1SettingsTest, ExitRoutineUnloadsTheDialog) {
    start();
    menu("shezhi");
    ASSERT_NE(dialog(), nullptr);
    window->ttt_v();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dialog(), nullptr);
}

} // namespace
