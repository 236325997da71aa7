#pragma once
// Hands every key press in one window to the keyboard shortcuts before the
// widget with the focus (a web pane too) gets it, as a window that sees keys
// first does. A press is handled once: not again as it climbs to the
// parents of its widget, and not when the web engine hands a key its page
// did not use back to the view (a copy with the same time stamp). Keys for a
// focused text field, an editable element of a page included, stay with it.

#include <QObject>
#include <QPointer>

class QKeyEvent;
class QWidget;

namespace vantoli::controls {

class Keyboard;

class KeyPreview final : public QObject {
public:
    // Installs itself on the application; removed when destroyed.
    KeyPreview(QWidget &window, Keyboard &keys);
    ~KeyPreview() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void preview(QObject *receiver, QKeyEvent *event);

    QWidget &window_;
    Keyboard &keys_;
    const QEvent *lastEvent_ = nullptr;
    QPointer<QWidget> lastReceiver_;
    quint64 lastTime_ = 0;
    int lastKey_ = 0;
};

} // namespace vantoli::controls
