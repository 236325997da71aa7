// The video drawn in software into a plain widget inside a Qt window, with
// another widget shown above it, and the full-screen window.

#include "media_fixture.h"

#include "playback/mpv_player.h"
#include "playback/video_widget.h"
#include "shell/full_screen_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <set>

using namespace vantoli;
using namespace vantoli::test;

namespace {

// Distinct colours in a sparse sample of the picture: testsrc shows many,
// a black or blank surface one.
int colourCount(const QImage &image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y) & 0xffffff);
    return int(colours.size());
}

bool isBlack(QRgb c) {
    return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16;
}

// Wall time spent inside mpv's render calls, through the loaded library's
// entry table (the player calls through it on every frame).
decltype(&::mpv_render_context_render) g_realRender = nullptr;
qint64 g_renderNs = 0;
int g_renderCalls = 0;

int timedRender(mpv_render_context *ctx, mpv_render_param *params) {
    QElapsedTimer t;
    t.start();
    const int result = g_realRender(ctx, params);
    g_renderNs += t.nsecsElapsed();
    ++g_renderCalls;
    return result;
}

class VideoWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("libmpv");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = cache_.path();
        o.extraOptions = {{"loop-file", "inf"}};
        player_ = MpvPlayer::create(o);
        ASSERT_TRUE(player_);
        player_->setFullScreenStage(&stage_);

        window_.setWindowTitle(QStringLiteral("Player"));
        window_.resize(320, 240);
        auto *layout = new QVBoxLayout(&window_);
        layout->setContentsMargins(0, 0, 0, 0);
        video_ = new VideoWidget(&window_);
        layout->addWidget(video_);
        overlay_ = new QLabel(QStringLiteral("Qt label above the video"), &window_);
        overlay_->setStyleSheet(QStringLiteral("background: rgb(255,0,0); color: white; padding: 4px"));
        overlay_->move(8, 8);
        overlay_->adjustSize();
        overlay_->raise();
        window_.show();
        player_->attachVideoWidget(video_);
    }

    bool showsVideo(VideoWidget *surface) {
        return waitFor([&] { return colourCount(surface->frame()) > 20; }, 8000);
    }

    QTemporaryDir cache_;
    shell::FullScreenWindow stage_; // outlives the player
    std::unique_ptr<MpvPlayer> player_;
    QWidget window_;
    VideoWidget *video_ = nullptr;
    QLabel *overlay_ = nullptr;
};

TEST_F(VideoWidgetTest, DrawsFramesBelowOtherWidgets) {
    player_->setUrl(testMedia().clip);
    player_->Play();
    ASSERT_TRUE(showsVideo(video_));
    spin(200);
    const QImage shot = window_.grab().toImage();
    EXPECT_GT(colourCount(shot), 20);
    const QPoint inLabel = overlay_->geometry().topLeft() + QPoint(2, 2);
    EXPECT_EQ(shot.pixel(inLabel) & 0xffffff, 0xff0000u);
    EXPECT_FALSE(isBlack(shot.pixel(shot.width() / 2, shot.height() / 2)));

    if (qEnvironmentVariableIsSet("VANTOLI_SCREENSHOT_HOLD_MS"))
        spin(qEnvironmentVariableIntValue("VANTOLI_SCREENSHOT_HOLD_MS"));
}

// A render call that waited for the frame's display time would hold the UI
// thread for most of each frame period, and paint every frame one period late.
TEST_F(VideoWidgetTest, RenderingDoesNotHoldTheUiThreadWhilePlaying) {
    auto *api = const_cast<MpvApi *>(loadMpv());
    ASSERT_NE(api, nullptr);
    g_realRender = api->render_context_render;
    api->render_context_render = &timedRender;
    player_->setUrl(testMedia().bigClip);
    player_->Play();
    ASSERT_TRUE(showsVideo(video_));
    g_renderNs = 0;
    g_renderCalls = 0;
    QElapsedTimer wall;
    wall.start();
    spin(2000);
    const double share = double(g_renderNs) / double(wall.nsecsElapsed());
    api->render_context_render = g_realRender;
    EXPECT_GE(g_renderCalls, 10) << "frames kept coming";
    EXPECT_LT(share, 0.5) << g_renderCalls << " render calls took " << share * 100 << " % of the time";
}

TEST_F(VideoWidgetTest, PictureModesStretchOrKeepTheShape) {
    window_.resize(480, 120); // 4:1, for a 4:3 clip
    player_->setUrl(testMedia().clip);
    player_->Play();
    ASSERT_TRUE(showsVideo(video_));
    auto edgeIsBlack = [&] {
        const QImage &f = video_->frame();
        return isBlack(f.pixel(4, f.height() / 2)) && isBlack(f.pixel(f.width() - 4, f.height() / 2));
    };
    player_->SetPictureMode(kPictureFit);
    EXPECT_TRUE(waitFor(edgeIsBlack, 3000)) << "fit leaves bars at the sides";
    player_->SetPictureMode(kPictureStretch);
    EXPECT_TRUE(waitFor([&] { return !edgeIsBlack(); }, 3000)) << "stretch fills the box";
    player_->SetPictureMode(kPicture16x9);
    EXPECT_TRUE(waitFor(edgeIsBlack, 3000)) << "16:9 is narrower than the box";
}

TEST_F(VideoWidgetTest, FullScreenCoversTheScreenAndEscapeOrDoubleClickLeaves) {
    player_->setUrl(testMedia().clip);
    player_->Play();
    ASSERT_TRUE(showsVideo(video_));

    for (const bool byKey : {true, false}) {
        player_->setFullScreen(kPlayerTrue);
        ASSERT_TRUE(player_->isFullScreen());
        VideoWidget *full = stage_.window();
        ASSERT_TRUE(waitFor([&] { return full->isVisible(); }, 3000));
        EXPECT_TRUE(full->isWindow());
        EXPECT_EQ(full->geometry(), video_->screen()->geometry());
        ASSERT_TRUE(showsVideo(full));
        EXPECT_EQ(full->frame().size(), full->deviceSize());

        if (byKey) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(full, &escape);
        } else {
            const QPointF at(20, 20);
            QMouseEvent dbl(QEvent::MouseButtonDblClick, at, full->mapToGlobal(at), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(full, &dbl);
        }
        EXPECT_FALSE(player_->isFullScreen());
        spin(100);
        // Back in the window, the embedded widget gets the frames again.
        EXPECT_EQ(video_->frame().size(), video_->deviceSize());
    }
}

} // namespace

namespace {

// mpv drawing into the widget's native window by itself (X11 only). Its
// picture is not in the widget's own grab, only on the screen.
class NativeVideoWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "a native video window needs X11";
        MpvPlayerOptions o;
        o.videoOutput = QStringLiteral("window");
        o.audioOutput = QStringLiteral("null");
        o.cacheFolder = cache_.path();
        o.extraOptions = {{"loop-file", "inf"}};
        if (qEnvironmentVariableIsSet("VANTOLI_MPV_LOG"))
            o.extraOptions.push_back({"log-file", qEnvironmentVariable("VANTOLI_MPV_LOG")});
        player_ = MpvPlayer::create(o);
        ASSERT_TRUE(player_);
        player_->setFullScreenStage(&stage_);
        window_.setWindowFlag(Qt::FramelessWindowHint);
        window_.setGeometry(40, 40, 320, 240);
        auto *layout = new QVBoxLayout(&window_);
        layout->setContentsMargins(0, 0, 0, 0);
        video_ = new VideoWidget(&window_);
        layout->addWidget(video_);
        player_->attachVideoWidget(video_);
        window_.show();
    }

    QImage onScreen(QWidget *w) {
        const QPoint at = w->mapToGlobal(QPoint(0, 0));
        return w->screen()->grabWindow(0, at.x(), at.y(), w->width(), w->height()).toImage();
    }
    bool screenShowsVideo(QWidget *w) {
        return waitFor([&] { return colourCount(onScreen(w)) > 20; }, 8000);
    }

    QTemporaryDir cache_;
    shell::FullScreenWindow stage_; // outlives the player
    std::unique_ptr<MpvPlayer> player_;
    QWidget window_;
    VideoWidget *video_ = nullptr;
};

TEST_F(NativeVideoWindowTest, MpvDrawsIntoTheWidgetsWindowAndFullScreenKeepsIt) {
    EXPECT_TRUE(player_->drawsIntoNativeWindow());
    EXPECT_TRUE(video_->testAttribute(Qt::WA_NativeWindow));
    EXPECT_FALSE(window_.testAttribute(Qt::WA_NativeWindow) && window_.internalWinId() == video_->internalWinId());
    player_->setUrl(testMedia().clip);
    player_->Play();
    ASSERT_TRUE(screenShowsVideo(video_));
    EXPECT_TRUE(video_->frame().isNull()) << "nothing is rendered through Qt";

    const WId wid = video_->winId();
    for (const bool byKey : {true, false}) {
        player_->setFullScreen(kPlayerTrue);
        ASSERT_TRUE(player_->isFullScreen());
        VideoWidget *full = stage_.window();
        ASSERT_TRUE(waitFor([&] { return full->isVisible() && video_->window() == full; }, 3000));
        EXPECT_EQ(video_->winId(), wid) << "the same native window, moved";
        ASSERT_TRUE(waitFor([&] { return video_->size() == full->size(); }, 3000));
        EXPECT_TRUE(screenShowsVideo(video_));
        if (byKey) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(video_, &escape);
        } else {
            const QPointF at(20, 20);
            QMouseEvent dbl(QEvent::MouseButtonDblClick, at, video_->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
            QApplication::sendEvent(video_, &dbl);
        }
        EXPECT_FALSE(player_->isFullScreen());
        ASSERT_TRUE(waitFor([&] { return video_->window() == &window_ && video_->isVisible(); }, 3000));
        EXPECT_EQ(video_->winId(), wid);
        EXPECT_TRUE(screenShowsVideo(video_)) << "back in the window";
    }
}

} // namespace

namespace {

// The window keeps the video hidden behind its cover until the item plays,
// and hides it again for the cover while paused.
TEST_F(NativeVideoWindowTest, VideoShownAfterItStartedHiddenAppears) {
    // Hidden before its window was ever shown, as in the main window.
    window_.hide();
    video_->hide();
    window_.show();
    player_->setUrl(testMedia().clip);
    player_->Play();
    ASSERT_TRUE(waitFor([&] { return player_->PlayState() == kStatePlaying; }, 8000));
    spin(500);
    video_->show();
    EXPECT_TRUE(screenShowsVideo(video_));
    player_->Pause();
    video_->hide();
    spin(300);
    video_->show();
    EXPECT_TRUE(screenShowsVideo(video_)) << "the paused picture comes back";
}

} // namespace
