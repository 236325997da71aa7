#pragma once
// The notices' part of the main window: the pop-up tankou, the notice line
// on the bottom bar and the recommendation window ba4 at exit.

#include "notices/notice_labels.h"

#include <QPointer>

#include <memory>

namespace vantoli {

class AsyncHttpGet;
class tankou;

struct NoticesModuleServices {
    QWidget *window = nullptr; // the pop-up's owner
    QLabel *line = nullptr;    // La0
    QWidget *footer = nullptr; // bo_foot, which La0 lives on
    NoticeLabels::HoverState hover;
    AsyncHttpGet *http = nullptr; // the notices' fetches
    Dialogs *dialogs = nullptr;
    QString contentBase;
};

class NoticesModule {
public:
    explicit NoticesModule(NoticesModuleServices services);
    ~NoticesModule();

    // Loads the notice pop-up hidden, once; its own start-up decides what
    // it shows.
    void loadNoticePopup();
    // Starts the scrolling notice line.
    void gun_ad();
    // Field 0 of the control file: "1" shows the recommendation at exit.
    void setRecommendAtExit(const QString &flag) { recommendAtExit_ = flag; }
    // Exit routine: the pop-up goes.
    void unloadNoticeWindow();
    // Exit routine: the recommendation window when asked for; true when it
    // shows (the process then lives until it closes).
    bool showRecommendationOnExit();

private:
    NoticesModuleServices s_;
    std::unique_ptr<NoticeLabels> line_;
    QPointer<tankou> popup_;
    // "1" makes the exit routine show the recommendation window; "0" at start.
    QString recommendAtExit_ = QStringLiteral("0");
};

} // namespace vantoli
