#include "playback/video_widget.h"

#include <QKeyEvent>
#include <QPainter>

namespace vantoli {

VideoWidget::VideoWidget(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(1, 1);
}

QSize VideoWidget::deviceSize() const {
    return size() * devicePixelRatioF();
}

void VideoWidget::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (frame_.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // The frame matches the widget except for the moment between a resize and
    // the next render; stretch it over the widget meanwhile.
    p.drawImage(rect(), frame_);
}

void VideoWidget::resizeEvent(QResizeEvent *) {
    emit resized();
}

void VideoWidget::showEvent(QShowEvent *) {
    emit shown();
}

void VideoWidget::mouseDoubleClickEvent(QMouseEvent *event) {
    event->accept();
    emit doubleClicked();
}

void VideoWidget::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        emit escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace vantoli
