#pragma once
// PeerPlayer's window: the video, an error line over it, and a bar with the
// transport. It only shows what the session tells it and forwards clicks and
// keys to the session; full screen is the window's own business.

#include "playback/video_widget.h"
#include "terminal/peer_player/peer_session.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QSlider;

namespace vantoli::peer {

// The video widget, able to tell when its next paint is done.
class PeerVideo final : public VideoWidget {
    Q_OBJECT
public:
    using VideoWidget::VideoWidget;
    // Calls done once, after the next paint.
    void afterNextPaint(std::function<void()> done) { afterPaint_ = std::move(done); update(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::function<void()> afterPaint_;
};

class PeerWindow final : public QWidget, public PeerView {
    Q_OBJECT
public:
    explicit PeerWindow(QWidget *parent = nullptr);

    void setSession(PeerSession *session) { session_ = session; }
    PeerVideo *video() const { return video_; }
    void toggleFullScreen();

    // PeerView
    void setTitle(const QString &title) override;
    void setPlayOffered(bool offered) override;
    void setTimes(int position, int duration) override;
    void setVolume(int volume) override;
    void setError(const QString &text) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // A file or address dropped on the window is opened.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void openFile();
    void placeError();

    PeerSession *session_ = nullptr;
    PeerVideo *video_;
    QLabel *error_;
    QWidget *bar_;
    QPushButton *play_;
    QSlider *seek_;
    QLabel *times_;
    QSlider *volume_;
    int duration_ = 0;
};

} // namespace vantoli::peer
