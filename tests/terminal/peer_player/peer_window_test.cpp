// PeerPlayer's window on the offscreen platform: keys and clicks reach the
// session, full screen comes and goes, the error line shows over the video.

#include "terminal/peer_player/peer_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantoli::peer {
namespace {

struct RecordingEngine : MediaEngine {
    QStringList calls;
    void open(const QString &a) override { calls << "open " + a; }
    void setPaused(bool p) override { calls << (p ? "pause" : "resume"); }
    void stop() override { calls << "stop"; }
    void seek(double s) override { calls << "seek " + QString::number(s); }
    void setVolume(int v) override { calls << "volume " + QString::number(v); }
};

class PeerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        clip = dir.filePath("a.mp4");
        QFile f(clip);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        window.setSession(&session);
        window.show();
        session.openItem(clip);
        session.engineStarted(60);
        engine.calls.clear();
    }
    void key(int k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(&window, &press);
    }
    QPushButton *button(const QString &text) {
        for (auto *b : window.findChildren<QPushButton *>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    QTemporaryDir dir;
    QString clip;
    RecordingEngine engine;
    PeerWindow window;
    PeerSession session{engine, window, dir.path()};
};

TEST_F(PeerWindowTest, KeysAndButtonsDriveTheSession) {
    key(Qt::Key_Space);
    key(Qt::Key_Space);
    key(Qt::Key_Right);
    key(Qt::Key_Left);
    key(Qt::Key_Down);
    key(Qt::Key_Up);
    EXPECT_EQ(engine.calls, (QStringList{"pause", "resume", "seek 5", "seek 0", "volume 95", "volume 100"}));
    EXPECT_EQ(window.windowTitle(), "a.mp4 - PeerPlayer");

    engine.calls.clear();
    ASSERT_NE(button(QStringLiteral("暂停")), nullptr);
    button(QStringLiteral("暂停"))->click();
    ASSERT_NE(button(QStringLiteral("播放")), nullptr); // the button now offers to play
    button(QStringLiteral("停止"))->click();
    EXPECT_EQ(engine.calls, (QStringList{"pause", "stop"}));
    // No control keeps the focus from the window's keys.
    for (auto *w : window.findChildren<QWidget *>())
        EXPECT_EQ(w->focusPolicy() & Qt::ClickFocus, 0) << w->metaObject()->className();
}

TEST_F(PeerWindowTest, SeekBarFollowsTheTimesAndSeeksOnRelease) {
    session.engineProgress(12.4, 60);
    auto *seek = window.findChildren<QSlider *>().value(0);
    ASSERT_NE(seek, nullptr);
    EXPECT_EQ(seek->maximum(), 60);
    EXPECT_EQ(seek->value(), 12);
    seek->setSliderDown(true);
    seek->setSliderPosition(40);
    session.engineProgress(13.5, 60); // playing on does not move a held knob
    EXPECT_EQ(seek->sliderPosition(), 40);
    seek->setSliderDown(false);
    EXPECT_EQ(engine.calls, QStringList{"seek 40"});
}

TEST_F(PeerWindowTest, FullScreenByDoubleClickAndBackByEscape) {
    QWidget *bar = button(QStringLiteral("停止"))->parentWidget();
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.video(), &dbl);
    EXPECT_TRUE(window.isFullScreen());
    EXPECT_FALSE(bar->isVisible());
    key(Qt::Key_Space); // keys still work without the bar
    EXPECT_EQ(engine.calls, QStringList{"pause"});
    key(Qt::Key_Escape);
    EXPECT_FALSE(window.isFullScreen());
    EXPECT_TRUE(bar->isVisible());
    key(Qt::Key_Escape); // not full screen: nothing happens
    EXPECT_FALSE(window.isFullScreen());
}

TEST_F(PeerWindowTest, ErrorLineShowsOverTheVideo) {
    session.engineFailed(EngineError::NothingToPlay);
    QLabel *error = nullptr;
    for (auto *l : window.video()->findChildren<QLabel *>())
        error = l;
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->isVisible());
    EXPECT_EQ(error->text(), QStringLiteral("无法播放：a.mp4（没有音视频）"));
    EXPECT_TRUE(window.video()->rect().contains(error->geometry()));
    session.openItem(clip);
    EXPECT_FALSE(error->isVisible());
}

TEST_F(PeerWindowTest, DroppedFilesAndAddressesAreOpened) {
    const QString other = dir.filePath("第2集.mp4");
    QFile(other).open(QIODevice::WriteOnly);
    auto drop = [&](const QUrl &url) {
        QMimeData data;
        data.setUrls({url});
        QDropEvent event(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // QApplication delivers drops only while a drag runs: hand it over directly.
        static_cast<QObject &>(window).event(&event);
    };
    drop(QUrl::fromLocalFile(other));
    drop(QUrl(QStringLiteral("http://127.0.0.1:8260/v/a%20b.mp4")));
    EXPECT_EQ(engine.calls, (QStringList{"open " + other, "open http://127.0.0.1:8260/v/a%20b.mp4"}));
    EXPECT_EQ(window.windowTitle(), "a b.mp4 - PeerPlayer");
}

} // namespace
} // namespace vantoli::peer

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
