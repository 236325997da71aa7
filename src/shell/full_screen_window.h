#pragma once
// The full-screen window of the main window's video.

#include "playback/full_screen.h"
#include "playback/video_widget.h"

#include <QPointer>

namespace vantoli::shell {

class FullScreenWindow final : public FullScreenStage {
public:
    ~FullScreenWindow() override;

    VideoWidget *enter(QWidget *near, QWidget *video, std::function<void()> leave) override;
    void exit() override;

    // The window while the video fills the screen, else null.
    VideoWidget *window() const { return window_; }

private:
    QPointer<VideoWidget> window_;
    QPointer<QWidget> video_;       // a widget that moved in
    QPointer<QWidget> videoParent_; // where it goes back
};

} // namespace vantoli::shell
