#include "notices/notice_labels.h"

#include "app/dialogs.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

#include <algorithm>

namespace vantoli {

namespace {

// Room the right-hand buttons of the bar keep free of notices.
constexpr int kRightButtonsRoom = 110;

void setUnderline(QLabel *label, bool underline) {
    QFont f = label->font();
    if (f.underline() == underline)
        return;
    f.setUnderline(underline);
    label->setFont(f);
}

} // namespace

NoticeLabels::NoticeLabels(QLabel *la0, QWidget *footer, HoverState hover, Dialogs &dialogs)
    : footer_(footer), hover_(std::move(hover)), dialogs_(dialogs) {
    labels_ << la0;
    la0->setTextFormat(Qt::PlainText);
    la0->installEventFilter(this);
    footer_->installEventFilter(this);
    timerg_.setInterval(kNoticeRollIntervalMs);
    connect(&timerg_, &QTimer::timeout, this, [this] { line_.rollTick(); });
}

int NoticeLabels::baseTop() const { return labels_.first()->y(); }

void NoticeLabels::setNotices(const QList<NoticeEntry> &notices) {
    QLabel *la0 = labels_.first();
    for (qsizetype i = 1; i < labels_.size(); ++i)
        labels_.at(i)->deleteLater();
    labels_.resize(1);
    for (qsizetype i = 0; i < notices.size(); ++i) {
        QLabel *l = la0;
        if (i > 0) {
            l = new QLabel(la0->parentWidget());
            l->setObjectName(QStringLiteral("La%1").arg(i));
            l->setFont(la0->font());
            l->setPalette(la0->palette());
            l->setTextFormat(Qt::PlainText);
            l->setMouseTracking(true);
            l->setGeometry(la0->geometry());
            l->hide();
            l->installEventFilter(this);
            labels_ << l;
        }
        l->setText(notices.at(i).text);
        l->setToolTip(notices.at(i).text);
        l->setCursor(noticeLinkToOpen(notices.at(i).link).isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
    }
    fitWidths();
}

void NoticeLabels::fitWidths() {
    const int room = std::max(0, footer_->width() - labels_.first()->x() - kRightButtonsRoom);
    for (QLabel *l : labels_)
        l->resize(std::min(l->fontMetrics().horizontalAdvance(l->text()) + 4, room), l->height());
}

void NoticeLabels::moveLabel(int index, QPoint pos) {
    if (QLabel *l = labels_.value(index))
        l->move(pos);
}

void NoticeLabels::setLabelTop(int index, int top) {
    if (QLabel *l = labels_.value(index))
        l->move(l->x(), top);
}

void NoticeLabels::setLabelVisible(int index, bool visible) {
    if (QLabel *l = labels_.value(index)) {
        l->setVisible(visible);
        if (visible)
            l->raise();
    }
}

void NoticeLabels::setLabelUnderline(int index, bool underline) {
    if (QLabel *l = labels_.value(index))
        setUnderline(l, underline);
}

void NoticeLabels::setRollTimer(bool enabled) { enabled ? timerg_.start() : timerg_.stop(); }

void NoticeLabels::openInBrowser(const QString &url) { dialogs_.openUrl(url); }

bool NoticeLabels::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (watched == footer_) {
        // The window's own handler of the bar runs after this one.
        if (type == QEvent::MouseMove)
            line_.footerHovered();
        else if (type == QEvent::Resize)
            fitWidths();
        return false;
    }
    auto *watchedLabel = qobject_cast<QLabel *>(watched);
    const int index = watchedLabel ? int(labels_.indexOf(watchedLabel)) : -1;
    if (index < 0)
        return false;
    switch (type) {
    case QEvent::MouseMove:
        line_.labelHovered(index);
        return true;
    case QEvent::MouseButtonPress:
        pressed_ = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton ? index : -1;
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *me = static_cast<QMouseEvent *>(event);
        const bool click = me->button() == Qt::LeftButton && pressed_ == index &&
                           labels_.at(index)->rect().contains(me->position().toPoint());
        pressed_ = -1;
        if (click)
            line_.labelClicked(index);
        return true;
    }
    default:
        return false;
    }
}

} // namespace vantoli
