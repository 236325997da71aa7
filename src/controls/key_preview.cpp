#include "controls/key_preview.h"

#include "controls/keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace vantoli::controls {

KeyPreview::KeyPreview(QWidget &window, Keyboard &keys) : window_(window), keys_(keys) {
    qApp->installEventFilter(this);
}

KeyPreview::~KeyPreview() { qApp->removeEventFilter(this); }

bool KeyPreview::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress)
        preview(watched, static_cast<QKeyEvent *>(event));
    return false;
}

void KeyPreview::preview(QObject *receiver, QKeyEvent *e) {
    auto *w = qobject_cast<QWidget *>(receiver);
    if (!w || w->window() != &window_)
        return;
    const bool climbing = e == lastEvent_ && lastReceiver_ && w != lastReceiver_ && w->isAncestorOf(lastReceiver_) &&
                          e->timestamp() == lastTime_;
    const bool echoed = e->timestamp() != 0 && e->timestamp() == lastTime_ && e->key() == lastKey_;
    lastEvent_ = e;
    lastReceiver_ = w;
    if (climbing || echoed)
        return;
    lastTime_ = e->timestamp();
    lastKey_ = e->key();
    // A text field has the focus (in a page the engine marks its view so
    // while an editable element is focused): the key is typed there, not a
    // shortcut. Noted above all the same, so that the copy the engine may
    // hand back unused is not taken for a new press either.
    if (w->testAttribute(Qt::WA_InputMethodEnabled))
        return;
    keys_.keyDown(e->key());
}

} // namespace vantoli::controls
