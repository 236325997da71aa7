// Mouse handling of the main window: the background (moving, sizing,
// double-click), the title-bar buttons' hover looks and tooltip box, and the
// small handlers of the other controls.

#include "shell/ba1.h"

#include "controls/keyboard.h"
#include "controls/seek_volume.h"
#include "controls/transport.h"
#include "menus/popup_menus.h"
#include "catalog/pane_events.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "shell/label_colours.h"
#include "shell/picture_box.h"

#include <QLabel>
#include <QMouseEvent>

namespace vantoli::shell {

namespace {

int indexIn(const QString &name, QLatin1StringView family) {
    if (!name.startsWith(family))
        return -1;
    bool ok = false;
    const int n = QStringView(name).mid(family.size()).toInt(&ok);
    return ok ? n : -1;
}

} // namespace

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

void BA1::titleButtonMove(int index, QPoint pos, bool) {
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
            auto *tip = static_cast<QLabel *>(control(QStringLiteral("bo_tip")));
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

void BA1::showHomeRetryPicture(bool retry) {
    pictureBox(QStringLiteral("jia"))
        ->setPicture(QPixmap(retry ? QStringLiteral(":/skins/w3.png") : QStringLiteral(":/skins/jia.png")));
}

void BA1::popupPlayerMenu(const QPoint &globalPos) {
    if (menus_)
        tip::popup(menus_->peer_m(), globalPos);
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
    const QEvent::Type type = event->type();
    auto *me = type == QEvent::Leave ? nullptr : static_cast<QMouseEvent *>(event);
    const QPoint pos = me ? me->position().toPoint() : QPoint(-1, -1);
    auto *jbi = static_cast<QLabel *>(control(QStringLiteral("jbi")));
    auto *qk = static_cast<QLabel *>(control(QStringLiteral("qk")));

    if (const int index = indexIn(name, QLatin1StringView("npc")); index >= 0) {
        if (type == QEvent::MouseMove || type == QEvent::Leave) {
            titleButtonMove(index, pos, me && (me->buttons() & Qt::LeftButton));
        } else if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            modes_.npc_MouseDown(index, me->button());
            // The second press of a double-click makes no second click.
            pressedButton_ = me->button() == Qt::LeftButton && type == QEvent::MouseButtonPress ? index : -1;
        } else if (type == QEvent::MouseButtonRelease) {
            const bool click = me->button() == Qt::LeftButton && pressedButton_ == index && w->rect().contains(pos);
            pressedButton_ = -1;
            modes_.mouseReleased(me->button());
            if (click)
                npc_Click(index);
        }
        return type != QEvent::Leave;
    }
    if (const int index = indexIn(name, QLatin1StringView("bo_but")); index >= 0) {
        if (type == QEvent::MouseMove || type == QEvent::Leave) {
            transport_->mouseMove(index, pos);
        } else if (type == QEvent::MouseButtonPress) {
            transport_->mousePress(index, me->button());
            pressedButton_ = me->button() == Qt::LeftButton ? 100 + index : -1;
        } else if (type == QEvent::MouseButtonRelease) {
            const bool click =
                me->button() == Qt::LeftButton && pressedButton_ == 100 + index && w->rect().contains(pos);
            pressedButton_ = -1;
            transport_->mouseRelease(index, me->button());
            if (click)
                bo_but_Click(index);
            // The capture of the hover ends with the pointer outside.
            transport_->mouseMove(index, pos);
        }
        return type != QEvent::Leave;
    }
    if (type == QEvent::Leave)
        return false;
    if (barMouseEvent(w, event))
        return true;

    if (name == QStringLiteral("jbi") || name == QStringLiteral("qk")) {
        if (type == QEvent::MouseMove) {
            setCursor(Qt::ArrowCursor);
            setTextColour(static_cast<QLabel *>(w), kLabelHoverRed);
        } else if (type == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton && w->rect().contains(pos)) {
            if (name == QStringLiteral("jbi"))
                jbi_Click();
            else
                historyLabelClicked(me->globalPosition().toPoint());
        }
        return true;
    }
    if (name == QStringLiteral("shan")) {
        if (type == QEvent::MouseMove) {
            setCursor(Qt::ArrowCursor);
            setTextColour(qk, kQkGrey);
        }
        return true;
    }
    if (name == QStringLiteral("bo_ad")) {
        if (type == QEvent::MouseMove) {
            setCursor(Qt::ArrowCursor);
            setTextColour(jbi, kLabelWhite);
        } else if (type == QEvent::MouseButtonPress && me->button() == Qt::RightButton && !player_->Url().isEmpty()) {
            popupPlayerMenu(me->globalPosition().toPoint());
        }
        return true;
    }
    if (name == QStringLiteral("bo_zt") || name == QStringLiteral("zz") || name == QStringLiteral("jia")) {
        if (type == QEvent::MouseMove)
            setCursor(Qt::ArrowCursor);
        else if (type == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton && name == QStringLiteral("jia") &&
                 w->rect().contains(pos))
            paneEvents_->jiaClicked();
        return true;
    }
    if (name == QStringLiteral("bo_foot")) {
        if (type == QEvent::MouseMove) {
            setCursor(Qt::ArrowCursor);
            auto *notice = static_cast<QLabel *>(control(QStringLiteral("La0")));
            setTextColour(notice, kNoticeOrange);
            QFont f = notice->font();
            if (f.underline()) {
                f.setUnderline(false);
                notice->setFont(f);
            }
            modes_.setNoticeHoverState(0);
            setTextColour(jbi, kLabelWhite);
            setTextColour(qk, kQkGrey);
        }
        return true;
    }
    if (name == QStringLiteral("gtv") || name == QStringLiteral("ggx")) {
        if (type == QEvent::MouseMove) {
            w->setCursor(closeCursor_);
        } else if (type == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton && w->rect().contains(pos)) {
            if (name == QStringLiteral("ggx"))
                playback_->playArea().closeWebPlayback();
            else
                playback_->playArea().closeTvChannel();
        }
        return true;
    }
    // The mouse layer over the video; where the player draws into a native
    // window, the video widget below it gets the events instead (in the
    // window only: full screen, the player handles them).
    if (name == QStringLiteral("Lpeer") || (name == QStringLiteral("video") && w->window() == this)) {
        if (type == QEvent::MouseMove) {
            setCursor(Qt::ArrowCursor);
            if (name == QStringLiteral("Lpeer") && !videoInNativeWindow())
                control(QStringLiteral("Peerx"))->setEnabled(false);
        } else if (type == QEvent::MouseButtonPress && me->button() == Qt::RightButton) {
            popupPlayerMenu(me->globalPosition().toPoint());
        } else if (type == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton) {
            bo_but_Click(3);
        }
        return true;
    }
    if (name == QStringLiteral("adp")) {
        if (type == QEvent::MouseButtonPress) {
            if (me->button() == Qt::LeftButton)
                bo_but_Click(0);
            else if (me->button() == Qt::RightButton && !player_->Url().isEmpty())
                popupPlayerMenu(me->globalPosition().toPoint());
        }
        return true;
    }
    return false;
}

bool BA1::barMouseEvent(QWidget *w, QEvent *event) {
    static const QList<Part> bars = {Part::SeekTrack,   Part::SeekKnob,   Part::PlayedBar, Part::BufferedBar,
                                     Part::VolumeTrack, Part::VolumeFill, Part::VolumeKnob};
    const std::optional<Part> part = partForControl(w->objectName());
    if (!part || !bars.contains(*part))
        return false;
    const Part name = *part;
    auto *me = static_cast<QMouseEvent *>(event);
    const int x = int(me->position().x());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        bars_->press(name, me->button(), x);
        break;
    case QEvent::MouseMove:
        bars_->move(name, me->buttons(), x);
        break;
    case QEvent::MouseButtonRelease:
        bars_->release(name, x);
        break;
    default:
        break;
    }
    return true;
}

} // namespace vantoli::shell
