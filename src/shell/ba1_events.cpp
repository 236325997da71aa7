// Mouse handling of the main window: the background (moving, sizing,
// double-click), the title-bar buttons' hover looks and tooltip box, and the
// other controls, which one table maps to the window's own looks and to the
// signals of WindowInput.

#include "shell/ba1.h"

#include "shell/label_colours.h"
#include "shell/layout.h"
#include "shell/picture_box.h"
#include "shell/playback_panel.h"
#include "shell/window_controls.h"

#include <QLabel>
#include <QMouseEvent>

namespace vantoli::shell {

bool BA1::isBackground(const QPoint &pos) const {
    QWidget *child = childAt(pos);
    return child == nullptr || child->testAttribute(Qt::WA_TransparentForMouseEvents);
}

void BA1::mouseMoveEvent(QMouseEvent *e) {
    const QPoint pos = e->position().toPoint();
    if (!backgroundDrag_ && !isBackground(pos))
        return;
    moveSize_.mouseMove(pos, e->globalPosition().toPoint(), e->buttons());
}

void BA1::mousePressEvent(QMouseEvent *e) {
    const QPoint pos = e->position().toPoint();
    if (!isBackground(pos))
        return;
    backgroundDrag_ = e->button() == Qt::LeftButton;
    moveSize_.mousePress(pos, e->globalPosition().toPoint(), e->button());
}

void BA1::mouseReleaseEvent(QMouseEvent *e) {
    // The release ends its press wherever the pointer is now.
    modes_.mouseReleased(e->button());
    if (!backgroundDrag_ && !isBackground(e->position().toPoint()))
        return;
    if (e->button() == Qt::LeftButton)
        backgroundDrag_ = false;
    moveSize_.mouseRelease(e->position().toPoint(), e->globalPosition().toPoint(), e->button());
}

void BA1::mouseDoubleClickEvent(QMouseEvent *e) {
    if (!isBackground(e->position().toPoint()))
        return;
    if (e->button() == Qt::LeftButton)
        modes_.backgroundDoubleClicked();
    else
        modes_.backgroundPressed(e->button());
}

void BA1::enterEvent(QEnterEvent *e) {
    moveSize_.pointerEntered();
    QWidget::enterEvent(e);
}

void BA1::titleButtonMove(int index, QPoint pos) {
    setCursor(Qt::ArrowCursor);
    if (index > 7)
        return;
    QWidget *button = control(QStringLiteral("npc%1").arg(index));
    const bool inside = pos.x() >= 0 && pos.y() >= 0 && pos.x() <= button->width() && pos.y() <= button->height();
    if (index <= 5) {
        pictureBox(button->objectName())
            ->setPicture(skin_.cell(titleButtonCell(index, inside, isMaximised(), modes_.pinned())));
    }
    auto *p1 = control(QStringLiteral("P1"));
    if (inside) {
        if (index <= 5) {
            auto *tip = controls_->label(QStringLiteral("bo_tip"));
            tip->setText(button->toolTip());
            tip->adjustSize();
            tip->move(2, 2);
            p1->setGeometry(titleTooltipBoxRect(controlRect(button->objectName()), tip->size()));
            p1->raise();
            p1->show();
        }
    } else {
        p1->hide();
    }
}

bool BA1::eventFilter(QObject *watched, QEvent *event) {
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Leave:
        return controlMouseEvent(w, event);
    default:
        return false;
    }
}

bool BA1::controlMouseEvent(QWidget *w, QEvent *event) {
    const QString name = w->objectName();
    const std::optional<ControlRole> role = controlRole(name);
    if (!role || (name == QStringLiteral("video") && w->window() != this))
        return false; // full screen: the player handles its video's events
    ControlMouse m;
    m.type = event->type();
    if (m.type != QEvent::Leave) {
        auto *me = static_cast<QMouseEvent *>(event);
        m.button = me->button();
        m.buttons = me->buttons();
        m.pos = me->position().toPoint();
        m.globalPos = me->globalPosition().toPoint();
    }
    const bool press = m.type == QEvent::MouseButtonPress;
    const bool release = m.type == QEvent::MouseButtonRelease;
    if (release) {
        m.click = m.button == Qt::LeftButton && pressed_ == w && w->rect().contains(m.pos);
        pressed_ = nullptr;
    } else if (press || m.type == QEvent::MouseButtonDblClick) {
        // The second press of a double-click makes no second click.
        pressed_ = press && m.button == Qt::LeftButton ? w : nullptr;
    }
    const bool move = m.type == QEvent::MouseMove;
    const bool leftClick = release && m.click;

    switch (role->role) {
    case MouseRole::TitleButton:
        if (move || m.type == QEvent::Leave) {
            titleButtonMove(role->index, m.pos);
        } else if (release) {
            modes_.mouseReleased(m.button);
            if (m.click)
                npc_Click(role->index);
        } else {
            modes_.npc_MouseDown(role->index, m.button);
        }
        return m.type != QEvent::Leave;
    case MouseRole::Transport:
        if (m.type != QEvent::MouseButtonDblClick)
            emit input_.transportMouse(role->index, m);
        return m.type != QEvent::Leave;
    default:
        break;
    }
    if (m.type == QEvent::Leave)
        return false;
    if (move && role->role != MouseRole::Bar && role->role != MouseRole::CloseBox && role->role != MouseRole::PauseAd) {
        setCursor(Qt::ArrowCursor);
        if (controls_->showHoverLook(name, w))
            modes_.setNoticeHoverState(0);
    }
    switch (role->role) {
    case MouseRole::Bar:
        emit input_.barMouse(Part(role->index), m);
        break;
    case MouseRole::TextButton:
        if (leftClick && name == QStringLiteral("jbi"))
            jbi_Click();
        else if (leftClick)
            emit input_.historyLabelClicked(m.globalPos);
        break;
    case MouseRole::Cover:
        if (press && m.button == Qt::RightButton)
            emit input_.playerMenuAsked(m.globalPos, true);
        break;
    case MouseRole::Plain:
        if (leftClick && name == QStringLiteral("jia"))
            emit input_.homeRetryClicked();
        break;
    case MouseRole::CloseBox:
        if (move)
            w->setCursor(closeCursor_);
        else if (leftClick && name == QStringLiteral("ggx"))
            emit input_.closeWebPlaybackClicked();
        else if (leftClick)
            emit input_.closeTvChannelClicked();
        break;
    case MouseRole::MouseLayer:
        if (move && name == QStringLiteral("Lpeer") && !controls_->videoInNativeWindow())
            control(QStringLiteral("Peerx"))->setEnabled(false);
        else if (press && m.button == Qt::RightButton)
            emit input_.playerMenuAsked(m.globalPos, false);
        else if (m.type == QEvent::MouseButtonDblClick && m.button == Qt::LeftButton)
            emit input_.videoDoubleClicked();
        break;
    case MouseRole::PauseAd:
        if (press && m.button == Qt::LeftButton)
            emit input_.pauseAdvertisementClicked();
        else if (press && m.button == Qt::RightButton)
            emit input_.playerMenuAsked(m.globalPos, true);
        break;
    default:
        break;
    }
    return true;
}

} // namespace vantoli::shell
