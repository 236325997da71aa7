#pragma once
// The surface the player draws its video into. Either a plain widget, so
// other widgets can be shown above it and screenshots capture it: the player
// renders each frame in software into frame() and calls update(). Or, on
// X11, a native window the player draws into by itself.

#include <QImage>
#include <QWidget>

namespace vantoli {

class VideoWidget : public QWidget {
    Q_OBJECT
public:
    explicit VideoWidget(QWidget *parent = nullptr);

    // The picture shown, rendered at the widget's size in device pixels.
    QImage &frame() { return frame_; }
    QSize deviceSize() const;

signals:
    void resized();
    void doubleClicked();
    void escapePressed();
    void shown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QImage frame_;
};

} // namespace vantoli
