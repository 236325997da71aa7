#pragma once
// The notice pop-up window tankou: a small borderless window that stays on
// top without taking the focus and shows the content server's notice pages in
// the bottom right corner of the work area, one after another as its schedule
// (NoticeScheduler) says, each sized to its page. A new window asked for by
// the page, or a click on the close picture, hides it; the schedule goes on.

#include "notices/notice_schedule.h"

#include <QTimer>
#include <QWidget>

class QFrame;

namespace vantoli {

class ClosePicture;
class Dialogs;
class AsyncHttpGet;
class WebPane;

class tankou final : public QWidget, private NoticeWindowView {
    Q_OBJECT
public:
    tankou(AsyncHttpGet &http, Dialogs &dialogs, QString contentBase, QWidget *parent = nullptr);
    ~tankou() override;

    // Window start-up: a blank page, then the schedule. The window stays
    // hidden until the first notice has loaded.
    void load();

    NoticeScheduler &scheduler() { return scheduler_; }
    WebPane *pane() const { return web_; }
    QTimer &delayTimer() { return timerc_; }
    QTimer &showTimer() { return timert_; }

signals:
    // The schedule has ended: the window is about to be deleted.
    void unloaded();

private:
    void navigateNotice(const QString &address) override;
    void setDelayTimer(bool enabled) override;
    void setShowTimer(bool enabled) override;
    void hideForNextNotice() override;
    void unloadWindow() override;

    void documentComplete();
    void fitToPage(QSize pageSize);

    AsyncHttpGet &http_;
    Dialogs &dialogs_;
    QString contentBase_;
    NoticeScheduler scheduler_{*this};
    QTimer timerc_; // delay, seconds
    QTimer timert_; // show time, minutes
    QFrame *p1_ = nullptr;
    WebPane *web_ = nullptr;
    ClosePicture *img_ = nullptr;
    int pageLoads_ = 0; // to drop a measurement of a page already left
};

} // namespace vantoli
