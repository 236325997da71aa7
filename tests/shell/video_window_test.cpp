// The main window on X11 with the real player drawing into a native window:
// the picture is on the screen, the cover shows above it while paused, and
// the mouse reaches the window's own handlers through the video (hover,
// right-click menu, double-click to full screen and back). Input comes from
// the X server (xdotool), as a user's would, through mpv's window.

#include "support/fake_dialogs.h"
#include "support/window_options.h"
#include "support/fake_power.h"
#include "playback/mpv_player.h"
#include "playback/player.h"
#include "playback/player_factory.h"
#include "shell/ba1.h"
#include "controls/playback_module.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <set>

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

void spin(int ms) {
    waitFor([] { return false; }, ms);
}

int colourCount(const QImage &image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y) & 0xffffff);
    return int(colours.size());
}

// Share of sampled pixels that two pictures of one size have alike.
double sameShare(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return 0;
    int same = 0, all = 0;
    for (int y = 0; y < a.height(); y += 5)
        for (int x = 0; x < a.width(); x += 5, ++all)
            same += (a.pixel(x, y) & 0xffffff) == (b.pixel(x, y) & 0xffffff);
    return all ? double(same) / all : 0;
}

bool xdotool(const QStringList &arguments) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

class VideoWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs X11";
        QProcess ffmpeg;
        clip_ = media_.filePath(QStringLiteral("clip.mp4"));
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                      QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc2=size=320x180:rate=25:duration=60"), QStringLiteral("-pix_fmt"),
                      QStringLiteral("yuv420p"), clip_});
        ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
        writeEmptyHistories(home_.path());
        qputenv("VANTOLI_AUDIO_OUTPUT", "null");
        factory_ = makePlayerFactory();
        window_ = std::make_unique<BA1>(windowOptions(home_.path(), fakes_, factory_.get()), dialogs_);
        ASSERT_EQ(window_->show(), MainWindowHost::ShowResult::Shown);
        std::setlocale(LC_NUMERIC, "C");
        video_ = window_->findChild<QWidget *>(QStringLiteral("video"));
        ASSERT_NE(video_, nullptr);
        if (!video_->testAttribute(Qt::WA_NativeWindow))
            GTEST_SKIP() << "the panes render through OpenGL here: the video stays an image";
    }

    QPoint videoCentre() const { return video_->mapToGlobal(video_->rect().center()); }
    QImage onScreen(QWidget *w) const {
        const QPoint at = w->mapToGlobal(QPoint(0, 0));
        return w->screen()->grabWindow(0, at.x(), at.y(), w->width(), w->height()).toImage();
    }
    bool screenShowsVideo() const {
        return waitFor([&] { return video_->isVisible() && colourCount(onScreen(video_)) > 20; }, 8000);
    }
    bool moveTo(QPoint p) {
        return xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    }

    QTemporaryDir media_, home_;
    QString clip_;
    FakeDialogs dialogs_;
    WindowFakes fakes_;
    std::unique_ptr<PlayerFactory> factory_;
    std::unique_ptr<BA1> window_;
    QWidget *video_ = nullptr;
};

TEST_F(VideoWindowTest, PictureCoverAndMouseWorkThroughTheNativeVideoWindow) {
    EXPECT_FALSE(window_->findChild<QWidget *>(QStringLiteral("zz"))->testAttribute(Qt::WA_NativeWindow))
        << "only the video gets a window of its own";
    window_->playbackModule().l_com(clip_);
    ASSERT_TRUE(waitFor([&] { return window_->playbackModule().player().PlayState() == kStatePlaying; }, 15000));
    ASSERT_TRUE(screenShowsVideo()) << "the picture is on the screen";

    // Hover: the window's pointer comes back to the arrow over the video.
    window_->setCursor(Qt::SizeAllCursor);
    ASSERT_TRUE(moveTo(videoCentre() + QPoint(-40, 0)));
    ASSERT_TRUE(moveTo(videoCentre()));
    EXPECT_TRUE(waitFor([&] { return window_->cursor().shape() == Qt::ArrowCursor; }, 3000)) << "hover";

    // Right click: the player menu.
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3")}));
    ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() != nullptr; }, 3000)) << "right-click menu";
    QApplication::activePopupWidget()->close();
    spin(200);

    // Double click: full screen, the same native window moved; double click
    // again: back.
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                         QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")}));
    ASSERT_TRUE(waitFor([&] { return video_->window() != window_.get() && video_->window()->isFullScreen(); }, 5000))
        << "double-click to full screen";
    EXPECT_TRUE(screenShowsVideo());
    spin(300);
    ASSERT_TRUE(moveTo(videoCentre()));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                         QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")}));
    ASSERT_TRUE(waitFor([&] { return video_->window() == window_.get(); }, 5000)) << "double-click back";
    EXPECT_TRUE(screenShowsVideo());

    // Paused, the cover is what the screen shows; playing again, the picture.
    window_->playbackModule().bo_but_Click(0);
    ASSERT_TRUE(waitFor([&] { return !video_->isVisible(); }, 3000));
    QWidget *cover = window_->findChild<QWidget *>(QStringLiteral("bo_ad"));
    EXPECT_TRUE(cover->isVisible());
    spin(300);
    EXPECT_GT(sameShare(onScreen(cover), cover->grab().toImage()), 0.95) << "the cover, not the video";
    window_->playbackModule().bo_but_Click(0);
    EXPECT_TRUE(screenShowsVideo()) << "the picture again after the pause";
}

// The exit routine stops the item and closes the window at once; libmpv then
// still draws into the video widget's window that the close destroys. Before
// the engine ended first, stopping it afterwards ended this whole process
// (Xlib's default error handler, called from libmpv's thread).
TEST_F(VideoWindowTest, ClosingTheWindowWhilePlayingEndsTheEngineFirst) {
    window_->playbackModule().l_com(clip_);
    ASSERT_TRUE(waitFor([&] { return window_->playbackModule().player().PlayState() == kStatePlaying; }, 15000));
    ASSERT_TRUE(screenShowsVideo());
    auto *player = dynamic_cast<MpvPlayer *>(&window_->playbackModule().player());
    ASSERT_NE(player, nullptr);
    window_->playbackModule().bo_but_Click(1);
    window_->hide();
    EXPECT_TRUE(player->hasEngine());
    window_->close();
    EXPECT_FALSE(player->hasEngine()) << "the engine ends before the window";
    spin(1500);
    // Still here, and the player answers without an engine.
    window_->playbackModule().player().setUrl(clip_);
    window_->playbackModule().player().Play();
    window_->playbackModule().player().Stop();
    spin(300);
}


} // namespace
