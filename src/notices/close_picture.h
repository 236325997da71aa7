#pragma once
// The close picture of the notice windows: a small label showing a cross on
// a dark square, which reports a left click.

#include <QLabel>

#include <functional>

namespace vantoli {

class ClosePicture : public QLabel {
    Q_OBJECT
public:
    explicit ClosePicture(QWidget *parent);
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace vantoli
