#include "notices/close_picture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace vantoli {

namespace {

QPixmap crossPicture() {
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(0x2a, 0x29, 0x29, 0xdd));
    g.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    g.setPen(QPen(QColor(0xee, 0xee, 0xee), 1.6, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(5, 5), QPointF(11, 11));
    g.drawLine(QPointF(11, 5), QPointF(5, 11));
    return p;
}

} // namespace

ClosePicture::ClosePicture(QWidget *parent) : QLabel(parent) {
    setObjectName(QStringLiteral("img"));
    setPixmap(crossPicture());
    setFixedSize(16, 16);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("关闭"));
}

void ClosePicture::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
        onClick();
}

} // namespace vantoli
