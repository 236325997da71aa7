#include "shell/ba1.h"
#include "controls/playback_module.h"

#include "support/fake_dialogs.h"
#include "support/fake_http_get.h"
#include "support/fake_power.h"
#include "platform/web_pane.h"

#include <QWebEngineView>
#include <QWebEnginePage>
#include "support/fake_player.h"
#include "support/fake_player_factory.h"
#include "support/window_options.h"
#include "playback/player_factory.h"
#include "playback/playback_controller.h"
#include "shell/picture_box.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QKeyEvent>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace vantoli;
using namespace vantoli::shell;

namespace {

class BA1Test : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeDialogs dialogs;
    WindowFakes fakes;
    std::unique_ptr<BA1> window;

    Settings settings() const { return Settings(dir.filePath(QStringLiteral("App.ini"))); }
    void start() {
        window = std::make_unique<BA1>(windowOptions(dir.path(), fakes), dialogs);
        ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
        QApplication::processEvents();
    }
    QWidget *w(const char *name) const {
        auto *c = window->findChild<QWidget *>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QImage picture(const char *name) const { return static_cast<PictureBox *>(w(name))->picture().toImage(); }
    QImage cell(const Cell &c) const { return window->skin().cell(c).toImage(); }
    // Position in window coordinates.
    QRect placed(const char *name) const { return window->controlRect(QString::fromLatin1(name)); }
    void mouseMove(QWidget *target, QPoint pos) {
        QMouseEvent e(QEvent::MouseMove, pos, target->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    }
};

} // namespace

TEST_F(BA1Test, EveryNamedControlExistsAndIsPlaced) {
    start();
    const char *names[] = {
        "Imi", "ni_name", "ni_bo1", "jbi", "zz", "L1", "Pic2", "ggx", "peer", "Peerx", "PeerC", "Lpeer", "bo_ad",
        "adp", "bo_pad", "ad_huan", "next_s", "bo_zt", "zhun", "times", "bo_name", "gunt", "huan", "l2", "Pic3",
        "Pic4", "Pic5", "shan", "qk", "zzp", "Pic1", "wait", "jia", "tv", "tvleft", "gtv", "tvright", "ying",
        "bo_foot", "yin", "bo_v", "bo_y", "La0", "P1", "bo_tip"};
    for (const char *n : names)
        w(n);
    for (int i = 0; i <= 15; ++i)
        EXPECT_NE(window->findChild<PictureBox *>(QStringLiteral("npc%1").arg(i)), nullptr) << i;
    for (int i = 0; i <= 7; ++i)
        EXPECT_NE(window->findChild<PictureBox *>(QStringLiteral("bo_but%1").arg(i)), nullptr) << i;
    for (int i = 1; i <= 11; ++i) {
        WebPane *p = window->findChild<WebPane *>(QStringLiteral("Web%1").arg(i));
        ASSERT_NE(p, nullptr) << i;
        EXPECT_EQ(p, window->webPane(i));
    }

    EXPECT_EQ(window->size(), QSize(990, 655));
    EXPECT_EQ(placed("npc2"), QRect(958, 4, 24, 24));
    EXPECT_EQ(placed("zz"), QRect(2, 39, 986, 570));
    EXPECT_EQ(placed("bo_foot"), QRect(2, 609, 986, 43));
    EXPECT_EQ(w("Web1")->geometry(), QRect(-2, -2, 990, 574));
    EXPECT_EQ(placed("bo_but6"), QRect(2 + 943, 609 + 11, 25, 25));
    // Start: catalog tab and network-task side tab selected, their pages shown.
    EXPECT_TRUE(w("zzp")->isVisible());
    EXPECT_FALSE(w("zz")->isVisible());
    EXPECT_EQ(picture("npc8"), cell(pageTabCell(8, true)));
    EXPECT_EQ(picture("npc9"), cell(pageTabCell(9, false)));
    EXPECT_EQ(picture("npc12"), cell(sideTabCell(12, true)));
    EXPECT_EQ(static_cast<QLabel *>(w("qk"))->text(), kTasksCaption);
    EXPECT_FALSE(w("P1")->isVisible());
    EXPECT_FALSE(w("jbi")->isVisible());
}

TEST_F(BA1Test, StartSizeFromTheSettingsWhenAskedFor) {
    Settings s = settings();
    s.write(QStringLiteral("S_q"), QStringLiteral("s_size"), QStringLiteral("2"));
    s.write(QStringLiteral("S_q"), QStringLiteral("h_w"), QStringLiteral("15000"));
    s.write(QStringLiteral("S_q"), QStringLiteral("h_h"), QStringLiteral("3000"));
    start();
    EXPECT_EQ(window->size(), QSize(1000, 467)); // the height snaps to the minimum
}

TEST_F(BA1Test, SkinsLoadAtStartWithoutWritingAndSwitchWithWriting) {
    Settings s = settings();
    s.write(QStringLiteral("Skin"), QStringLiteral("Num"), QStringLiteral("2"));
    start();
    EXPECT_EQ(window->skin().skin(), 0);
    EXPECT_EQ(s.read(QStringLiteral("Skin"), QStringLiteral("Num")), QStringLiteral("2"));

    window->npc_Click(9);
    window->p_p(1);
    EXPECT_EQ(window->skin().skin(), 1);
    EXPECT_EQ(s.read(QStringLiteral("Skin"), QStringLiteral("Num")), QStringLiteral("1"));
    // Repainted from the new skin, current tabs still selected.
    EXPECT_EQ(picture("npc2"), cell(titleButtonCell(2, false, false, false)));
    EXPECT_EQ(picture("npc9"), cell(pageTabCell(9, true)));
    EXPECT_EQ(picture("npc8"), cell(pageTabCell(8, false)));
    EXPECT_EQ(picture("bo_but0"), cell(transportNormalCell(0)));

    // While on top, the pin glyph stays on after a switch.
    window->npc_Click(4);
    window->p_p(0);
    EXPECT_EQ(picture("npc4"), cell(titleButtonCell(4, false, false, true)));
    EXPECT_EQ(s.read(QStringLiteral("Skin"), QStringLiteral("Num")), QStringLiteral("0"));
}

TEST_F(BA1Test, SideBarToggleMovesTheStripAndWidensThePlayArea) {
    start();
    window->npc_Click(9);
    window->npc_Click(6);
    QApplication::processEvents();
    EXPECT_FALSE(w("l2")->isVisible());
    EXPECT_EQ(w("npc6")->geometry().left(), 986 - 4);
    EXPECT_EQ(w("L1")->width(), 986);
    EXPECT_EQ(w("npc6")->toolTip(), kSideBarClosedTip);
    EXPECT_EQ(picture("npc6"), cell(toggleStripCell(false)));
    window->playbackModule().bo_but_Click(6); // the transport button toggles the player page's bar
    EXPECT_TRUE(w("l2")->isVisible());
    EXPECT_EQ(w("L1")->width(), 784);
}

TEST_F(BA1Test, MaximiseShowsTheRestoreGlyphAndSkinSwitchKeepsIt) {
    start();
    window->npc_Click(1);
    QApplication::processEvents();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(w("npc1")->toolTip(), kRestoreTip);
    EXPECT_EQ(picture("npc1"), cell(titleButtonCell(1, false, true, false)));
    window->p_p(1);
    EXPECT_EQ(picture("npc1"), cell(titleButtonCell(1, false, true, false)));
    window->npc_Click(1);
    QApplication::processEvents();
    EXPECT_FALSE(window->isMaximized());
    EXPECT_EQ(window->size(), QSize(990, 655));
    EXPECT_EQ(picture("npc1"), cell(titleButtonCell(1, false, false, false)));
}

TEST_F(BA1Test, CompactModeAndBack) {
    start();
    window->playback().session().setPlayAreaMode(kPlayAreaPlayer);
    window->npc_Click(3);
    QApplication::processEvents();
    EXPECT_EQ(window->modes().compactMode(), 1);
    EXPECT_EQ(window->size(), QSize(393, 320));
    EXPECT_TRUE(w("jbi")->isVisible());
    EXPECT_TRUE(w("zz")->isVisible());
    EXPECT_FALSE(w("bo_foot")->isVisible());
    EXPECT_FALSE(w("npc2")->isVisible());
    EXPECT_EQ(placed("jbi"), QRect(368, 2, 15, 14));
    EXPECT_EQ(placed("zz"), QRect(2, 20, 389, 297));
    EXPECT_EQ(window->menus()->item(QStringLiteral("q_jing"))->text(), kLeaveCompactCaption);

    window->jbi_Click();
    QApplication::processEvents();
    EXPECT_EQ(window->modes().compactMode(), 0);
    // No saved size: it reads as 0 and the minimum size takes over.
    EXPECT_EQ(window->size(), QSize(900, 467));
    EXPECT_FALSE(w("jbi")->isVisible());
    EXPECT_TRUE(w("bo_foot")->isVisible());
    EXPECT_EQ(window->menus()->item(QStringLiteral("q_jing"))->text(), kCompactCaption);
}

TEST_F(BA1Test, TitleButtonHoverShowsTheTooltipBoxAndHoverLook) {
    start();
    QWidget *close = w("npc2");
    mouseMove(close, QPoint(5, 5));
    EXPECT_TRUE(w("P1")->isVisible());
    EXPECT_EQ(static_cast<QLabel *>(w("bo_tip"))->text(), QStringLiteral("关闭"));
    const QSize tip = w("bo_tip")->size();
    EXPECT_EQ(w("P1")->geometry(), QRect(958 - 5, 4 + 24 + 3, tip.width() + 5, tip.height() + 5));
    EXPECT_EQ(picture("npc2"), cell(titleButtonCell(2, true, false, false)));
    mouseMove(close, QPoint(30, 5));
    EXPECT_FALSE(w("P1")->isVisible());
    EXPECT_EQ(picture("npc2"), cell(titleButtonCell(2, false, false, false)));

    // Tabs have no hover look and no tooltip box.
    const QImage before = picture("npc9");
    mouseMove(w("npc9"), QPoint(5, 5));
    EXPECT_EQ(picture("npc9"), before);
    EXPECT_FALSE(w("P1")->isVisible());
}

TEST_F(BA1Test, TextButtonColoursFollowTheMouse) {
    start();
    auto colour = [&](const char *n) { return static_cast<QLabel *>(w(n))->palette().color(QPalette::WindowText); };
    mouseMove(w("qk"), QPoint(1, 1));
    EXPECT_EQ(colour("qk"), QColor(0x80, 0, 0));
    mouseMove(w("bo_foot"), QPoint(300, 5));
    EXPECT_EQ(colour("qk"), QColor(0x5a, 0x5a, 0x5a));
    mouseMove(w("qk"), QPoint(1, 1));
    window->npc_Click(10);
    EXPECT_EQ(colour("qk"), QColor(0x5a, 0x5a, 0x5a));
}

TEST_F(BA1Test, CloseWithTheTrayAnswerHidesOrMinimises) {
    Settings s = settings();
    s.write(QStringLiteral("S_q"), QStringLiteral("ts"), QStringLiteral("3"));
    start();
    dialogs.answer = true;
    window->npc_Click(2);
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(s.read(QStringLiteral("S_q"), QStringLiteral("quit")), QStringLiteral("2"));
    // Hidden to the tray, or minimised where the desktop has none: never lost.
    EXPECT_TRUE(window->isHidden() || window->isMinimized());
}

TEST_F(BA1Test, ExitRoutineRemovesTheTrayAndUnloadsTheWindows) {
    start();
    ASSERT_NE(window->tray(), nullptr);
    EXPECT_TRUE(window->tray()->controller().installed());
    QPointer<tip> menus = window->menus();
    window->ttt_v();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->tray()->controller().installed());
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(menus.isNull());
}

namespace {

class BA1PlaybackTest : public BA1Test {
protected:
    FakePlayerFactory factory;
    FakePower &power = fakes.power;
    void startWithPlayer(const QString &contentBase = QString()) {
        writeEmptyHistories(dir.path());
        MainWindowOptions o = windowOptions(dir.path(), fakes, &factory);
        if (!contentBase.isEmpty())
            o.contentBase = contentBase;
        window = std::make_unique<BA1>(o, dialogs);
        ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
        QApplication::processEvents();
        ASSERT_NE(factory.made, nullptr);
    }
    void click(const char *name, Qt::MouseButton button = Qt::LeftButton) {
        QWidget *target = w(name);
        const QPoint pos(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, pos, target->mapToGlobal(pos), button, button, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, target->mapToGlobal(pos), button, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }
    // Each press has a time stamp of its own, as the window system gives them.
    void key(QWidget *target, int k) {
        QKeyEvent e(QEvent::KeyPress, k, Qt::NoModifier);
        e.setTimestamp(++keyTime_);
        QApplication::sendEvent(target, &e);
    }
    quint64 keyTime_ = 1000;
    // Plays a local file through the open button, at 120 s of 600.
    void playLocalFile() {
        dialogs.chosenFile = dir.filePath(QStringLiteral("clip.mp4"));
        QFile clip(dialogs.chosenFile);
        ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
        clip.write("not really a clip");
        clip.close();
        click("bo_but4");
        FakePlayer &player = *factory.made;
        player.duration = 600;
        player.position = 120;
        window->playback().statusTick().tick();
        ASSERT_EQ(player.state, kStatePlaying);
    }
    // The open button plays only files that are there (the fake player
    // reads none of it).
    static void writeClip(const QString &path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(64, 'v'));
    }
    QByteArray localHistory() const {
        QFile f(dir.filePath(QStringLiteral("date_f.dat")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(BA1PlaybackTest, LocalFileFromTheOpenButtonPlaysRecordsAndResumes) {
    startWithPlayer();
    FakePlayer &player = *factory.made;
    const QString path = dir.filePath(QStringLiteral("a|b.mp4"));
    writeClip(path);
    dialogs.chosenFile = path;
    click("bo_but4");
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_TRUE(dialogs.fileDialogs[0].startsWith(QStringLiteral("选择播放文件|影音文件 (")));
    EXPECT_EQ(player.url, path);
    EXPECT_EQ(player.state, kStatePlaying);
    EXPECT_EQ(window->playback().state().playAreaMode, kPlayAreaPlayer);
    EXPECT_EQ(static_cast<QLabel *>(w("bo_name"))->text(), QStringLiteral("a|b.mp4"));
    EXPECT_TRUE(localHistory().startsWith("a%7Cb.mp4|"));

    // The status tick runs through the window: the video shows, the times follow.
    player.duration = 600;
    player.position = 120;
    window->playback().statusTick().tick();
    EXPECT_FALSE(w("bo_ad")->isVisibleTo(window.get()) && !w("bo_ad")->isHidden());
    EXPECT_FALSE(w("Peerx")->isHidden());
    EXPECT_EQ(static_cast<QLabel *>(w("times"))->text(), QStringLiteral("02:00 / 10:00"));
    EXPECT_EQ(static_cast<QLabel *>(w("zhun"))->text(), QStringLiteral("播放中(0 Kbps)"));
    EXPECT_GE(static_cast<QLabel *>(w("zhun"))->width(), static_cast<QLabel *>(w("zhun"))->sizeHint().width());

    // Keys reach the player from whichever widget has the focus.
    key(w("Web1"), Qt::Key_Right);
    EXPECT_EQ(player.position, 130);
    // Twice to the widget that takes the key in a web pane: twice, not once
    // and not again when the engine hands the unused key back.
    QWidget *page = window->webPane(1)->view()->focusProxy();
    ASSERT_NE(page, nullptr);
    key(page, Qt::Key_Right);
    QApplication::processEvents();
    key(page, Qt::Key_Right);
    QApplication::processEvents();
    EXPECT_EQ(player.position, 150);
    key(page, Qt::Key_Left);
    key(page, Qt::Key_Left);
    EXPECT_EQ(player.position, 130);
    window->playback().statusTick().tick();
    key(w("Web1"), Qt::Key_Space);
    EXPECT_EQ(player.state, kStatePaused);
    EXPECT_EQ(w("bo_but0")->toolTip(), QStringLiteral("播放"));

    // Stop stores the position; opening the file again resumes there.
    click("bo_but1");
    EXPECT_EQ(player.state, kStateStopped);
    EXPECT_TRUE(localHistory().contains("|130\r\n")) << localHistory().constData();
    player.position = 0;
    click("bo_but4");
    EXPECT_EQ(localHistory().count("a%7Cb.mp4|/"), 1) << "one entry per file";
    EXPECT_EQ(window->playback().state().resumePosition, 130);
    window->playback().statusTick().tick();
    EXPECT_EQ(player.position, 130);
}

TEST_F(BA1PlaybackTest, RightClickOnATransportButtonRunsNoCommandAndMenusReachThePlayer) {
    startWithPlayer();
    FakePlayer &player = *factory.made;
    click("bo_but2", Qt::RightButton);
    EXPECT_EQ(player.mute, kPlayerFalse);
    click("bo_but2");
    EXPECT_EQ(player.mute, kPlayerTrue);
    EXPECT_EQ(window->menus()->item(QStringLiteral("q_yin"))->text(), QStringLiteral("取消静音"));
    window->menus()->item(QStringLiteral("q_yin"))->trigger();
    EXPECT_EQ(player.mute, kPlayerFalse);
    EXPECT_EQ(w("bo_but2")->toolTip(), QStringLiteral("静音"));

    window->menus()->item(QStringLiteral("q_43"))->trigger();
    EXPECT_EQ(player.pictureMode, kPicture4x3);
    EXPECT_TRUE(window->menus()->item(QStringLiteral("q_43"))->isChecked());
}

TEST_F(BA1Test, CompactModeAtItsMinimumWidthStillLaysOut) {
    start();
    window->playback().session().setPlayAreaMode(kPlayAreaPlayer);
    window->npc_Click(3);
    ASSERT_EQ(window->modes().compactMode(), 1);
    window->resize(273, 200);
    QApplication::processEvents();
    EXPECT_EQ(placed("jbi").left(), 273 - 15 - 10);
    EXPECT_LE(placed("Peerx").right(), 273);
}

TEST_F(BA1Test, DoubleClickOnThePinButtonTogglesOnce) {
    start();
    QWidget *pin = w("npc4");
    const QPoint pos(5, 5);
    auto send = [&](QEvent::Type t, Qt::MouseButtons held) {
        QMouseEvent e(t, pos, pin->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(pin, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_TRUE(window->modes().pinned());
}

TEST_F(BA1Test, MaximiseTooltipFollowsCompactModeAndBack) {
    start();
    window->npc_Click(1);
    EXPECT_EQ(w("npc1")->toolTip(), QStringLiteral("还原"));
    window->playback().session().setPlayAreaMode(kPlayAreaPlayer);
    window->npc_Click(3);
    window->jbi_Click();
    EXPECT_FALSE(window->isMaximised());
    EXPECT_EQ(w("npc1")->toolTip(), QStringLiteral("最大化"));
}

TEST_F(BA1Test, CompactCloseGlyphActsOnlyOnAReleaseInsideIt) {
    start();
    window->playback().session().setPlayAreaMode(kPlayAreaPlayer);
    window->npc_Click(3);
    ASSERT_EQ(window->modes().compactMode(), 1);
    QWidget *jbi = w("jbi");
    auto send = [&](QEvent::Type t, QPoint pos) {
        QMouseEvent e(t, pos, jbi->mapToGlobal(pos), Qt::LeftButton,
                      t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(jbi, &e);
    };
    send(QEvent::MouseButtonPress, QPoint(3, 3));
    send(QEvent::MouseButtonRelease, QPoint(60, 40)); // dragged off before letting go
    EXPECT_EQ(window->modes().compactMode(), 1);
    send(QEvent::MouseButtonPress, QPoint(3, 3));
    send(QEvent::MouseButtonRelease, QPoint(4, 4));
    EXPECT_EQ(window->modes().compactMode(), 0);
}

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

// A loopback port nobody listens on.
quint16 unusedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Answers every request with a small page.
class TinyPageServer : public QTcpServer {
public:
    bool start(quint16 port) {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    s->readAll();
                    s->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n"
                             "<html><body>ok</body></html>");
                    s->disconnectFromHost();
                });
            }
        });
        return listen(QHostAddress::LocalHost, port);
    }
};

} // namespace

TEST_F(BA1PlaybackTest, ARightClickOnAButtonOrTheBackgroundLeavesTheNextCommandToRun) {
    // A right press and release anywhere, then 退出 from the menu: the exit's
    // stop still runs and stores the position.
    for (const char *target : {"background", "npc3", "bo_but1"}) {
        SCOPED_TRACE(target);
        startWithPlayer();
        playLocalFile();
        QWidget *on = window.get();
        QPoint pos(5, 20); // the title bar's background, left of the tabs
        for (QWidget *child = window->childAt(pos); child && !child->testAttribute(Qt::WA_TransparentForMouseEvents);
             child = window->childAt(pos))
            pos.rx() += 5;
        if (QString::fromLatin1(target) != u"background") {
            on = w(target);
            pos = QPoint(5, 5);
        } else {
            ASSERT_LT(pos.x(), window->width());
        }
        QMouseEvent press(QEvent::MouseButtonPress, pos, on->mapToGlobal(pos), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QApplication::sendEvent(on, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, on->mapToGlobal(pos), Qt::RightButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(on, &release);
        EXPECT_EQ(factory.made->state, kStatePlaying) << "a right click runs no command";

        window->menus()->item(QStringLiteral("qsoft"))->trigger();
        EXPECT_EQ(factory.made->state, kStateStopped);
        EXPECT_TRUE(localHistory().contains("clip.mp4|120\r\n")) << localHistory().constData();
        window.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(BA1PlaybackTest, AnItemOfUnknownLengthPlaysOnWithoutAnEndAndTheSeekBarLeavesIt) {
    startWithPlayer();
    playLocalFile();
    FakePlayer &player = *factory.made;
    player.duration = 0; // a live stream
    for (int i = 0; i < 3; ++i)
        window->playback().statusTick().tick();
    EXPECT_FALSE(window->playback().isTimerEnabled(PlaybackTimer::EndOfPlayback));
    EXPECT_EQ(static_cast<QLabel *>(w("zhun"))->text(), QStringLiteral("播放中(0 Kbps)"));
    EXPECT_EQ(static_cast<QLabel *>(w("times"))->text(), QStringLiteral("02:00 / 00:00"));

    QWidget *track = w("gunt");
    const QPoint at(200, 3);
    QMouseEvent press(QEvent::MouseButtonPress, at, track->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(track, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, track->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(track, &release);
    EXPECT_EQ(player.position, 120);
    EXPECT_EQ(w("gunt1")->x(), 0);
}

TEST_F(BA1PlaybackTest, AnyKeyInThePlayerRestartsTheTickAfterAStop) {
    startWithPlayer();
    playLocalFile();
    click("bo_but1");
    ASSERT_FALSE(window->playback().isTimerEnabled(PlaybackTimer::Status));
    key(w("zz"), Qt::Key_A);
    EXPECT_TRUE(window->playback().isTimerEnabled(PlaybackTimer::Status));
}

TEST_F(BA1PlaybackTest, KeysTypedIntoATextFieldOfAPageStayWithThePage) {
    startWithPlayer(QStringLiteral("http://127.0.0.1:%1/").arg(unusedPort()));
    playLocalFile();
    FakePlayer &player = *factory.made;
    window->npc_Click(8); // the catalog page; the player plays on
    WebPane *catalog = window->webPane(1);
    catalog->view()->setFocus();
    bool loaded = false;
    QObject::connect(catalog, &WebPane::documentComplete, [&](const QString &) { loaded = true; });
    catalog->view()->page()->setHtml(QStringLiteral("<html><body><input id=q><p>text</p></body></html>"));
    ASSERT_TRUE(waitFor([&] { return loaded; }, 20000));
    QWidget *page = catalog->view()->focusProxy();
    ASSERT_NE(page, nullptr);
    catalog->view()->page()->runJavaScript(QStringLiteral("document.getElementById('q').focus();"));
    ASSERT_TRUE(waitFor([&] { return page->testAttribute(Qt::WA_InputMethodEnabled); }, 10000));

    for (int k : {Qt::Key_Space, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up})
        key(page, k);
    QApplication::processEvents();
    EXPECT_EQ(player.state, kStatePlaying);
    EXPECT_EQ(player.position, 120);
    EXPECT_EQ(player.calls.filter(QStringLiteral("setVolume")).size(), 0);

    // Out of the field, the same keys are shortcuts again.
    catalog->view()->page()->runJavaScript(QStringLiteral("document.getElementById('q').blur();"));
    ASSERT_TRUE(waitFor([&] { return !page->testAttribute(Qt::WA_InputMethodEnabled); }, 10000));
    key(page, Qt::Key_Right);
    EXPECT_EQ(player.position, 130);
}

TEST_F(BA1PlaybackTest, TheEndOfPlayPageIsKnownWhateverTheCaseOfTheContentBase) {
    const quint16 port = unusedPort();
    startWithPlayer(QStringLiteral("http://LOCALHOST:%1/").arg(port));
    Settings s = settings();
    s.write(QStringLiteral("S_q"), QStringLiteral("s_bo"), QStringLiteral("2"));
    const QString next = QStringLiteral("http://127.0.0.1:%1/next.mp4").arg(port);
    window->playback().session().setNextEpisode(
        QStringLiteral("kxpeer://peer&&&http%3A//127.0.0.1%3A%1/next.mp4&&&T&&&E&&&7&&&0&&&1&&&n").arg(port));
    window->playback().endOfPlayback().sendEndOfPlaySignal();
    EXPECT_TRUE(waitFor([&] { return factory.made->url == next; }, 10000))
        << "the next episode follows; playing " << factory.made->url.toStdString();
}

TEST_F(BA1Test, PagesThatFailShowTheProgramsRetryPictureAndAClickLoadsThemAgain) {
    const quint16 port = unusedPort();
    MainWindowOptions o = windowOptions(dir.path(), fakes);
    o.contentBase = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    window = std::make_unique<BA1>(o, dialogs);
    ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
    const QImage retry = QPixmap(QStringLiteral(":/skins/w3.png")).toImage();
    ASSERT_FALSE(retry.isNull());

    // The catalog's home page: its waiting box offers the retry.
    ASSERT_TRUE(waitFor([&] { return !w("wait")->isHidden(); }, 20000));
    EXPECT_TRUE(w("Pic1")->isHidden());
    EXPECT_EQ(picture("jia"), retry);
    // A side pane (the TV list) is covered by the same picture, not the
    // engine's own error page.
    WebPane *tvList = window->webPane(11);
    ASSERT_TRUE(waitFor([&] { return tvList->isShowingFailure(); }, 20000));
    QLabel *cover = nullptr;
    for (QLabel *l : tvList->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
        if (!l->isHidden())
            cover = l;
    ASSERT_NE(cover, nullptr);
    EXPECT_EQ(cover->pixmap().toImage(), retry);
    EXPECT_EQ(cover->geometry(), tvList->rect());

    // The server is back: a click on either picture loads the page.
    TinyPageServer server;
    ASSERT_TRUE(server.start(port));
    QWidget *jia = w("jia");
    const QPoint pos(5, 5);
    for (QWidget *target : {jia, static_cast<QWidget *>(cover)}) {
        QMouseEvent press(QEvent::MouseButtonPress, pos, target->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, target->mapToGlobal(pos), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
    }
    EXPECT_TRUE(waitFor([&] { return !w("Pic1")->isHidden() && w("wait")->isHidden(); }, 20000));
    EXPECT_TRUE(waitFor([&] { return !tvList->isShowingFailure(); }, 20000));
}

namespace {

// Looks at the panes when the window asks it to play.
class PanesAtPlayPlayer : public FakePlayer {
public:
    std::function<void()> onPlay;
    void Play() override {
        if (onPlay)
            onPlay();
        FakePlayer::Play();
    }
};

} // namespace

// Started with a file, the window starts playing it before it makes its web
// panes (the web engine's start takes a while), so the picture shows first.
TEST_F(BA1Test, AFileOnTheCommandLinePlaysBeforeThePanesLoad) {
    for (const char *n : {"date.dat", "date_f.dat"}) {
        QFile f(dir.filePath(QString::fromLatin1(n)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\r\n");
    }
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    QFile media(clip);
    ASSERT_TRUE(media.open(QIODevice::WriteOnly));
    media.write(QByteArray(64, 'v'));
    media.close();

    struct Factory : PlayerFactory {
        PanesAtPlayPlayer *made = nullptr;
        QString contentBase;
        PlayerCreation probe() override { return PlayerCreation::Created; }
        void registerComponent(const QString &) override {}
        std::unique_ptr<Player> create(QWidget *, const QString &, const QString &base) override {
            contentBase = base;
            auto p = std::make_unique<PanesAtPlayPlayer>();
            made = p.get();
            return p;
        }
    } factory;
    MainWindowOptions o = windowOptions(dir.path(), fakes, &factory);
    o.commandLine = clip;
    window = std::make_unique<BA1>(o, dialogs);
    ASSERT_NE(factory.made, nullptr);
    // The player fetches peer addresses' torrents from the content server.
    EXPECT_EQ(factory.contentBase, o.contentBase);
    bool played = false;
    int panesAtPlay = -1;
    factory.made->onPlay = [&] {
        played = true;
        panesAtPlay = 0;
        for (int i = 1; i <= 11; ++i)
            panesAtPlay += window->webPane(i) != nullptr;
    };
    ASSERT_EQ(window->show(), MainWindowHost::ShowResult::Shown);
    EXPECT_EQ(factory.made->url, clip);
    ASSERT_TRUE(played) << "played at load";
    // The web engine starts after the player: no pane existed yet.
    EXPECT_EQ(panesAtPlay, 0);
    // The panes load all the same, once the player shows its picture (this
    // one shows none, so at once).
    ASSERT_NE(window->webPane(1), nullptr);
    EXPECT_EQ(window->webPane(1)->view()->page()->requestedUrl().toString(), QStringLiteral("http://127.0.0.1:9/"));
}
