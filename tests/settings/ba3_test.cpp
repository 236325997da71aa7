// The settings window: tabs and their colours, what its buttons write and
// what they leave alone, the notice during the folder change, the skin.
// With VANTOLI_SETTINGS_SHOTS=<folder> it also saves its three pages in both
// skins there.
#include "settings_fakes.h"

#include "settings/ba3.h"
#include "shell/skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

namespace vantoli {
namespace {

template <class T> T *find(QWidget *w, const char *name) {
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void click(QWidget *w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, {}, {});
    QApplication::sendEvent(w, &release);
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct Window {
    FakeSettingsHost host;
    shell::SkinSet skin;
    QPointer<BA3> dialog;
    explicit Window(int skinNumber = 0) {
        skin.load(skinNumber);
        dialog = new BA3(host, skin);
        dialog->show();
    }
    ~Window() { delete dialog.data(); }
    bool iniExists() const { return QFile::exists(host.ini.path()); }
};

TEST(BA3Window, OpensOnTheSettingsTabAndTabsTakeTheirColours) {
    Window w;
    EXPECT_EQ(w.dialog->selectedTab(), 1);
    for (int tab : {1, 0, 2}) {
        if (tab != 1)
            click(find<QLabel>(w.dialog, QStringLiteral("d_z%1").arg(tab).toLatin1()));
        EXPECT_EQ(w.dialog->selectedTab(), tab);
        for (int i = 0; i < 3; ++i) {
            auto *label = find<QLabel>(w.dialog, QStringLiteral("d_z%1").arg(i).toLatin1());
            EXPECT_EQ(label->palette().color(QPalette::Window), i == tab ? QColor(250, 175, 65) : QColor(218, 218, 218));
            EXPECT_EQ(label->palette().color(QPalette::WindowText), i == tab ? QColor(Qt::white) : QColor(Qt::black));
            EXPECT_EQ(find<QWidget>(w.dialog, QStringLiteral("pz%1").arg(i).toLatin1())->isVisible(), i == tab);
        }
    }
}

TEST(BA3Window, CancelAndTheCloseButtonWriteNothing) {
    for (const char *closer : {"cmdCancel", "guan"}) {
        Window w;
        find<QCheckBox>(w.dialog, "Check15")->setChecked(false);
        find<QLineEdit>(w.dialog, "Text1")->setText(QStringLiteral("/data/other/"));
        click(find<QWidget>(w.dialog, closer));
        flushDeletes();
        EXPECT_TRUE(w.dialog.isNull()) << closer;
        EXPECT_FALSE(w.iniExists()) << closer;
        EXPECT_FALSE(w.host.calls.contains("end")) << closer;
    }
}

TEST(BA3Window, OkAppliesAndCloses) {
    Window w;
    find<QCheckBox>(w.dialog, "Check15")->setChecked(false); // quit
    find<QCheckBox>(w.dialog, "Check13")->setChecked(false); // s_jd
    click(find<QPushButton>(w.dialog, "cmdOK"));
    flushDeletes();
    EXPECT_TRUE(w.dialog.isNull());
    EXPECT_EQ(w.host.ini.read(QStringLiteral("S_q"), QStringLiteral("quit")), "1");
    EXPECT_EQ(w.host.ini.read(QStringLiteral("S_q"), QStringLiteral("s_jd")), "1");
    EXPECT_EQ(w.host.ini.read(QStringLiteral("S_q"), QStringLiteral("s_h")), "2");
    EXPECT_TRUE(w.host.dialogsFake.messages.isEmpty());
}

TEST(BA3Window, ApplyShowsTheNoticeWhileTheProgramsEndAndKeepsTheDialogOpen) {
    Window w;
    click(find<QLabel>(w.dialog, "d_z2"));
    QLabel *notice = find<QLabel>(w.dialog, "dengdeng");
    bool shownDuringEnd = false;
    w.host.onEnd = [&] { shownDuringEnd = notice->isVisibleTo(w.dialog); };
    auto *text = find<QLineEdit>(w.dialog, "Text1");
    EXPECT_EQ(text->text(), "/srv/media/");
    text->setText(QStringLiteral("/data/films"));
    click(find<QPushButton>(w.dialog, "cmdApply"));
    EXPECT_TRUE(shownDuringEnd);
    EXPECT_FALSE(notice->isVisibleTo(w.dialog));
    EXPECT_EQ(text->text(), "/data/films/");
    EXPECT_EQ(w.host.cacheFolder, "/data/films/");
    EXPECT_EQ(w.host.dialogsFake.messages, QStringList{kDialogTitle + kCacheChanged});
    EXPECT_FALSE(w.dialog.isNull());
}

TEST(BA3Window, DialogUnloadedWhileTheChangeMessageIsUpIsNotTouchedAfterwards) {
    Window w;
    w.host.dialogsFake.onMessage = [&] { delete w.dialog.data(); };
    find<QLineEdit>(w.dialog, "Text1")->setText(QStringLiteral("/data/films/"));
    find<QPushButton>(w.dialog, "cmdOK")->click();
    EXPECT_TRUE(w.dialog.isNull());
    EXPECT_EQ(w.host.cacheFolder, "/data/films/");
}

TEST(BA3Window, BrowseFillsTheFolderBox) {
    Window w;
    w.host.dialogsFake.chosenFolder = QStringLiteral("/data/picked");
    click(find<QPushButton>(w.dialog, "Command1"));
    EXPECT_EQ(find<QLineEdit>(w.dialog, "Text1")->text(), "/data/picked/");
}

TEST(BA3Window, AboutPageShowsTheVersionAndOpensTheHomePage) {
    Window w;
    w.dialog->d_z_Click(0);
    // The build's version, as "V" major.minor.
    const QStringList v = QStringLiteral(VANTOLI_VERSION).split(u'.');
    EXPECT_EQ(find<QLabel>(w.dialog, "L15")->text(),
              QStringLiteral("版本 V%1.%2    发布日期 2011.6.30").arg(v.value(0), v.value(1, QStringLiteral("0"))));
    auto *link = find<QLabel>(w.dialog, "L10");
    EXPECT_EQ(link->text(), QStringLiteral("官方网址：http://127.0.0.1:8260/"));
    click(link);
    EXPECT_EQ(w.host.dialogsFake.opened, QStringList{"http://127.0.0.1:8260/"});
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 0xff));
}

TEST(BA3Window, SkinSwitchRepaintsTheCloseButton) {
    Window w(0);
    auto *guan = find<QLabel>(w.dialog, "guan");
    const QImage black = guan->pixmap().toImage();
    w.skin.load(1);
    w.dialog->grab(); // paints the dialog as the next repaint would
    const QImage blue = guan->pixmap().toImage();
    EXPECT_NE(black, blue);
    EXPECT_EQ(blue, w.skin.slot(1).copy(120, 0, 24, 24).toImage());
}

TEST(BA3Window, DragOnTheTitleBandMovesTheDialogAndOnAPageDoesNot) {
    Window w;
    w.dialog->move(100, 100);
    auto drag = [](QWidget *target, QPointF from, QPointF by) {
        const QPointF g = target->mapToGlobal(from);
        QMouseEvent press(QEvent::MouseButtonPress, from, g, Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(target, &press);
        QMouseEvent move(QEvent::MouseMove, from + by, g + by, Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, from + by, g + by, Qt::LeftButton, {}, {});
        QApplication::sendEvent(target, &release);
    };
    drag(w.dialog, QPointF(200, 12), QPointF(30, 20));
    EXPECT_EQ(w.dialog->pos(), QPoint(130, 120));
    drag(find<QWidget>(w.dialog, "pz1"), QPointF(200, 200), QPointF(30, 20));
    EXPECT_EQ(w.dialog->pos(), QPoint(130, 120));
}

TEST(BA3Window, OpensCentredOverItsOwnerInsideTheWorkArea) {
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(centredOver(QRect(140, 180, 990, 655), QSize(500, 380), screen), QPoint(385, 318));
    // An owner partly off the screen: the dialog stays on it.
    EXPECT_EQ(centredOver(QRect(-600, 900, 990, 655), QSize(500, 380), screen), QPoint(0, 644));
    EXPECT_EQ(centredOver(QRect(0, 0, 200, 100), QSize(500, 380), screen), QPoint(0, 0));
}

// The dialog over a player folder of its own whose PeerCfg.ini holds `cfg`.
struct PeerWindow {
    FakeSettingsHost host;
    shell::SkinSet skin;
    QPointer<BA3> dialog;
    explicit PeerWindow(const QByteArray &cfg) {
        host.folder = host.dir.filePath(QStringLiteral("peer")) + u'/';
        QDir().mkpath(host.folder);
        QFile f(cfgPath());
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(cfg);
        f.close();
        skin.load(0);
        dialog = new BA3(host, skin);
        dialog->show();
        dialog->d_z_Click(2);
    }
    ~PeerWindow() { delete dialog.data(); }
    QString cfgPath() const { return host.folder + kPeerConfigFile; }
    QByteArray cfg() const {
        QFile f(cfgPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST(BA3Window, CachePageShowsThePeerSettingsAndApplyWritesThem) {
    const QByteArray cfg = "[NBPEERTERMINAL]\r\ndefaultsavepath=/srv/media/\r\nuploadlimitkb=256\r\nseeding=0\r\n";
    PeerWindow w(cfg);
    auto *upload = find<QLineEdit>(w.dialog, "uploadLimit");
    auto *port = find<QLineEdit>(w.dialog, "listenPort");
    auto *seeding = find<QCheckBox>(w.dialog, "seeding");
    EXPECT_EQ(upload->text(), "256");
    EXPECT_EQ(port->text(), "");
    EXPECT_FALSE(seeding->isChecked());
    EXPECT_TRUE(upload->isVisibleTo(w.dialog) && port->isEnabled());

    upload->setText(QStringLiteral("1024"));
    port->setText(QStringLiteral(" 51413"));
    seeding->setChecked(true);
    click(find<QPushButton>(w.dialog, "cmdApply"));
    EXPECT_EQ(w.cfg(), "[NBPEERTERMINAL]\r\ndefaultsavepath=/srv/media/\r\nuploadlimitkb=1024\r\nseeding=1\r\n"
                       "listenport=51413\r\n");
    EXPECT_EQ(port->text(), "51413");
    EXPECT_TRUE(w.host.dialogsFake.messages.isEmpty());
    EXPECT_FALSE(w.host.calls.contains("end")); // the folder did not change
}

TEST(BA3Window, BadPortIsRefusedAndOkKeepsTheDialogOpenOnTheCachePage) {
    const QByteArray cfg = "[NBPEERTERMINAL]\r\nlistenport=6881\r\n";
    PeerWindow w(cfg);
    w.dialog->d_z_Click(1);
    find<QCheckBox>(w.dialog, "Check15")->setChecked(false);
    auto *port = find<QLineEdit>(w.dialog, "listenPort");
    EXPECT_EQ(port->text(), "6881");
    port->setText(QStringLiteral("99999"));
    click(find<QPushButton>(w.dialog, "cmdOK"));
    flushDeletes();
    ASSERT_FALSE(w.dialog.isNull());
    EXPECT_EQ(w.dialog->selectedTab(), 2);
    EXPECT_EQ(port->text(), "99999");
    EXPECT_EQ(w.host.dialogsFake.messages, QStringList{kDialogTitle + kListenPortRefused});
    EXPECT_EQ(w.cfg(), cfg);
    EXPECT_FALSE(QFile::exists(w.host.ini.path()));
    // Corrected, OK applies and closes.
    port->setText(QStringLiteral("6882"));
    click(find<QPushButton>(w.dialog, "cmdOK"));
    flushDeletes();
    EXPECT_TRUE(w.dialog.isNull());
    EXPECT_EQ(w.cfg(), "[NBPEERTERMINAL]\r\nlistenport=6882\r\n");
    EXPECT_EQ(w.host.ini.read(QStringLiteral("S_q"), QStringLiteral("quit")), "1");
}

TEST(BA3Window, Screenshots) {
    const QString folder = qEnvironmentVariable("VANTOLI_SETTINGS_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "VANTOLI_SETTINGS_SHOTS not set";
    const char *pages[3] = {"about", "settings", "cache"};
    const char *skins[2] = {"black", "blue"};
    for (int s = 0; s < 2; ++s) {
        Window w(s);
        w.host.ini.write(QStringLiteral("S_q"), QStringLiteral("peerk"), QStringLiteral("1"));
        w.host.ini.write(QStringLiteral("S_q"), QStringLiteral("up"), QStringLiteral("1"));
        w.host.cacheFolder = QStringLiteral("/home/user/Media/");
        delete w.dialog.data();
        w.dialog = new BA3(w.host, w.skin);
        w.dialog->show();
        for (int tab : {1, 2, 0}) {
            w.dialog->d_z_Click(tab);
            QApplication::processEvents();
            const QString path = QDir(folder).filePath(QStringLiteral("settings-%1-%2.png").arg(pages[tab], skins[s]));
            EXPECT_TRUE(w.dialog->grab().save(path)) << path.toStdString();
        }
    }
}

} // namespace
} // namespace vantoli
