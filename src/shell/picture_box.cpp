#include "shell/picture_box.h"

#include <QEvent>
#include <QPainter>

namespace vantoli::shell {

PictureBox::PictureBox(const QString &name, QWidget *parent, QSize size) : QWidget(parent) {
    setObjectName(name);
    if (size.isValid())
        resize(size);
}

void PictureBox::setPicture(const QPixmap &picture, bool stretch) {
    picture_ = picture;
    stretch_ = stretch;
    faceKey_.clear();
    update();
}

void PictureBox::setFace(const QString &key, const std::function<QPixmap()> &make) {
    if (!faceKey_.isEmpty() && faceKey_ == key)
        return;
    setPicture(make());
    faceKey_ = key;
}

void PictureBox::setFill(const QColor &colour) {
    fill_ = colour;
    update();
}

bool PictureBox::event(QEvent *e) {
    if (e->type() == QEvent::ToolTip && ownTooltipBox_)
        return true;
    return QWidget::event(e);
}

void PictureBox::paintEvent(QPaintEvent *) {
    QPainter g(this);
    if (fill_.isValid())
        g.fillRect(rect(), fill_);
    if (picture_.isNull())
        return;
    if (stretch_)
        g.drawPixmap(rect(), picture_);
    else
        g.drawPixmap(0, 0, picture_);
}

} // namespace vantoli::shell
