#include "shell/full_screen_window.h"

#include "playback/video_widget.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QScreen>

namespace vantoli::shell {

FullScreenWindow::~FullScreenWindow() { delete window_.data(); }

VideoWidget *FullScreenWindow::enter(QWidget *near, QWidget *video, std::function<void()> leave) {
    exit();
    auto *window = new VideoWidget;
    window_ = window;
    window->setWindowFlag(Qt::FramelessWindowHint);
    window->setCursor(near->cursor());
    QObject::connect(window, &VideoWidget::escapePressed, window, leave);
    QObject::connect(window, &VideoWidget::doubleClicked, window, leave);
    QWidget *screenOf = near;
    if (video) {
        // The engine keeps drawing into the same native window: the widget
        // is reparented, not made anew.
        video_ = video;
        videoParent_ = video->parentWidget();
        screenOf = videoParent_ ? videoParent_.data() : near;
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(video);
    }
    QScreen *screen = screenOf->screen() ? screenOf->screen() : QGuiApplication::primaryScreen();
    if (screen)
        window->setGeometry(screen->geometry());
    window->showFullScreen();
    window->activateWindow();
    (video ? video : window)->setFocus();
    return window;
}

void FullScreenWindow::exit() {
    VideoWidget *window = window_.data();
    window_ = nullptr;
    if (video_ && videoParent_) {
        if (auto *layout = qobject_cast<QBoxLayout *>(videoParent_->layout()))
            layout->addWidget(video_);
        else
            video_->setParent(videoParent_);
        video_->show();
    }
    video_ = nullptr;
    videoParent_ = nullptr;
    if (!window)
        return;
    // Not deleted from inside its own key or mouse handler.
    window->disconnect();
    window->hide();
    window->deleteLater();
}

} // namespace vantoli::shell
