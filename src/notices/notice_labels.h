#pragma once
// The labels of the notice line (La 0 on the bottom bar and its copies La 1
// and up), the roll timer Timerg and the mouse on them, around the NoticeLine
// logic.

#include "notices/notice_line.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QLabel;
class QWidget;

namespace vantoli {

class Dialogs;

class NoticeLabels final : public QObject, private NoticeLineView {
    Q_OBJECT
public:
    struct HoverState {
        std::function<int()> get;
        std::function<void(int)> set;
    };
    // la0 lives on the bar footer; the copies are made beside it.
    NoticeLabels(QLabel *la0, QWidget *footer, HoverState hover, Dialogs &dialogs);

    NoticeLine &line() { return line_; }
    QTimer &rollTimer() { return timerg_; }
    QLabel *label(int index) const { return labels_.value(index); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int baseTop() const override;
    void setNotices(const QList<NoticeEntry> &notices) override;
    void moveLabel(int index, QPoint pos) override;
    void setLabelTop(int index, int top) override;
    void setLabelVisible(int index, bool visible) override;
    void setLabelUnderline(int index, bool underline) override;
    void setRollTimer(bool enabled) override;
    int hoverState() const override { return hover_.get ? hover_.get() : 0; }
    void setHoverState(int state) override {
        if (hover_.set)
            hover_.set(state);
    }
    void openInBrowser(const QString &url) override;
    void fitWidths();

    QWidget *footer_;
    HoverState hover_;
    Dialogs &dialogs_;
    QList<QLabel *> labels_; // La 0 first
    NoticeLine line_{*this};
    QTimer timerg_;
    int pressed_ = -1;
};

} // namespace vantoli
