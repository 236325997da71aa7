#include "terminal/peer_player/peer_window.h"

#include "app/text_util.h"

#include <QBoxLayout>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>

namespace vantoli::peer {
namespace {

constexpr int kSeekStep = 5;   // seconds per arrow key
constexpr int kVolumeStep = 5;

// Buttons and sliders take no focus, so space and the arrows always reach
// the window's own keys.
template <typename W>
W *unfocused(W *widget) {
    widget->setFocusPolicy(Qt::NoFocus);
    return widget;
}

} // namespace

void PeerVideo::paintEvent(QPaintEvent *event) {
    VideoWidget::paintEvent(event);
    if (afterPaint_)
        std::exchange(afterPaint_, nullptr)();
}

PeerWindow::PeerWindow(QWidget *parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("PeerPlayer"));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    video_ = new PeerVideo(this);
    video_->setFocusPolicy(Qt::NoFocus);
    video_->setMinimumSize(160, 90);

    error_ = new QLabel(video_);
    error_->setWordWrap(true);
    error_->setAlignment(Qt::AlignCenter);
    error_->setStyleSheet(QStringLiteral("color: white; background: rgba(0, 0, 0, 160); padding: 8px;"));
    error_->hide();

    bar_ = new QWidget(this);
    auto *open = unfocused(new QPushButton(QStringLiteral("打开文件"), bar_));
    play_ = unfocused(new QPushButton(QStringLiteral("播放"), bar_));
    auto *stop = unfocused(new QPushButton(QStringLiteral("停止"), bar_));
    seek_ = unfocused(new QSlider(Qt::Horizontal, bar_));
    seek_->setRange(0, 0);
    times_ = new QLabel(bar_);
    volume_ = unfocused(new QSlider(Qt::Horizontal, bar_));
    volume_->setRange(0, 100);
    volume_->setValue(100);
    volume_->setFixedWidth(80);
    auto *full = unfocused(new QPushButton(QStringLiteral("全屏"), bar_));

    auto *row = new QHBoxLayout(bar_);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(open);
    row->addWidget(play_);
    row->addWidget(stop);
    row->addWidget(seek_, 1);
    row->addWidget(times_);
    row->addWidget(volume_);
    row->addWidget(full);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(video_, 1);
    column->addWidget(bar_);
    setTimes(0, 0);

    connect(open, &QPushButton::clicked, this, &PeerWindow::openFile);
    connect(play_, &QPushButton::clicked, this, [this] {
        if (!session_)
            return;
        if (session_->state() == PeerSession::State::Empty)
            openFile();
        else
            session_->togglePlay();
    });
    connect(stop, &QPushButton::clicked, this, [this] {
        if (session_)
            session_->stop();
    });
    connect(full, &QPushButton::clicked, this, &PeerWindow::toggleFullScreen);
    // Dragging previews the time; the seek happens on release. A click on the
    // groove steps the slider and seeks at once.
    connect(seek_, &QSlider::sliderMoved, this, [this](int value) {
        times_->setText(timeText(value) + QStringLiteral(" / ") + timeText(duration_));
    });
    connect(seek_, &QSlider::sliderReleased, this, [this] {
        if (session_)
            session_->seekTo(seek_->value());
    });
    connect(seek_, &QSlider::actionTriggered, this, [this](int action) {
        if (session_ && action != QAbstractSlider::SliderMove && !seek_->isSliderDown())
            session_->seekTo(seek_->sliderPosition());
    });
    connect(volume_, &QSlider::valueChanged, this, [this](int value) {
        if (session_ && session_->volume() != value)
            session_->setVolume(value);
    });
    connect(video_, &VideoWidget::doubleClicked, this, &PeerWindow::toggleFullScreen);
    resize(640, 360 + bar_->sizeHint().height());
}

void PeerWindow::setTitle(const QString &title) {
    setWindowTitle(title);
}

void PeerWindow::setPlayOffered(bool offered) {
    play_->setText(offered ? QStringLiteral("播放") : QStringLiteral("暂停"));
}

void PeerWindow::setTimes(int position, int duration) {
    duration_ = duration;
    if (!seek_->isSliderDown()) {
        seek_->setRange(0, std::max(0, duration));
        seek_->setValue(position);
        seek_->setPageStep(std::max(1, duration / 20));
    }
    times_->setText(timeText(position) + QStringLiteral(" / ") + timeText(duration));
}

void PeerWindow::setVolume(int volume) {
    if (volume_->value() != volume)
        volume_->setValue(volume);
}

void PeerWindow::setError(const QString &text) {
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
    placeError();
}

void PeerWindow::placeError() {
    if (!error_->isVisible())
        return;
    const int width = std::max(100, video_->width() - 40);
    error_->setFixedWidth(width);
    error_->adjustSize();
    error_->move((video_->width() - width) / 2, (video_->height() - error_->height()) / 2);
}

void PeerWindow::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    placeError();
}

void PeerWindow::toggleFullScreen() {
    if (isFullScreen()) {
        showNormal();
        bar_->show();
    } else {
        bar_->hide();
        showFullScreen();
    }
}

void PeerWindow::openFile() {
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("打开文件"));
    if (!file.isEmpty() && session_)
        session_->openItem(file);
}

namespace {

// The first dropped URL as the command line would give it: a path for a
// local file, the address otherwise.
QString droppedItem(const QMimeData *data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return {};
    const QUrl url = data->urls().front();
    return url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
}

} // namespace

void PeerWindow::dragEnterEvent(QDragEnterEvent *event) {
    if (session_ && !droppedItem(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void PeerWindow::dropEvent(QDropEvent *event) {
    const QString item = droppedItem(event->mimeData());
    if (!session_ || item.isEmpty())
        return;
    event->acceptProposedAction();
    session_->openItem(item);
}

void PeerWindow::keyPressEvent(QKeyEvent *event) {
    if (!session_) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        session_->togglePlay();
        break;
    case Qt::Key_Left:
        session_->seekBy(-kSeekStep);
        break;
    case Qt::Key_Right:
        session_->seekBy(kSeekStep);
        break;
    case Qt::Key_Up:
        session_->changeVolume(kVolumeStep);
        break;
    case Qt::Key_Down:
        session_->changeVolume(-kVolumeStep);
        break;
    case Qt::Key_Escape:
        if (isFullScreen())
            toggleFullScreen();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F:
        toggleFullScreen();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace vantoli::peer
