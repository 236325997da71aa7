#pragma once
// A picture box of the main window: shows one picture at (0, 0), or one
// picture stretched over the whole box, and tells the window about the mouse.

#include <QPixmap>
#include <QWidget>

#include <functional>

namespace vantoli::shell {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(const QString &name, QWidget *parent, QSize size = {});

    void setPicture(const QPixmap &picture, bool stretch = false);
    // Shows the picture make() draws, unless the box shows the one of this
    // key already (a face repeated every second is not drawn again). Any
    // setPicture forgets the key.
    void setFace(const QString &key, const std::function<QPixmap()> &make);
    const QPixmap &picture() const { return picture_; }
    void setFill(const QColor &colour);
    // Keeps the system tooltip from showing (the window shows its own box).
    void setOwnTooltipBox(bool own) { ownTooltipBox_ = own; }

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *) override;

private:
    QPixmap picture_;
    QString faceKey_;
    QColor fill_;
    bool stretch_ = false;
    bool ownTooltipBox_ = false;
};

} // namespace vantoli::shell
