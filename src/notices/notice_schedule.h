#pragma once
// The notice pop-up's schedule: the file "lib/tan.txt" read into a delay, a
// show time, a cycle flag and up to 51 notice addresses, and the two timers'
// decisions (Timerc counts the delay in seconds, Timert the show time in
// minutes) that show one notice after another and either cycle or unload the
// window. Also the window's size and corner place for a loaded page. No
// screen here: the window (tankou) applies what this decides.

#include "platform/http_get.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace vantoli {


inline constexpr int kNoticeDefaultDelaySeconds = 120;
inline constexpr int kNoticeDefaultShowMinutes = 30;
inline constexpr int kNoticeMaxEntries = 51;

struct NoticeSchedule {
    int delaySeconds = kNoticeDefaultDelaySeconds;
    int showMinutes = kNoticeDefaultShowMinutes;
    bool cycle = false;
    QStringList addresses; // only "http://" addresses, in order, at most 51
};

// The schedule in the text of "lib/tan.txt": delay "||" show time "||" cycle
// "||" addresses separated by "$$$". Nothing when the text holds no "||".
// A delay of 0, below 0 or not a number is 120 seconds; a show time of 0 or
// not a number is 30 minutes.
std::optional<NoticeSchedule> parseNoticeSchedule(const QString &text);

// What the schedule needs from its window.
class NoticeWindowView {
public:
    virtual ~NoticeWindowView() = default;
    virtual void navigateNotice(const QString &address) = 0;
    virtual void setDelayTimer(bool enabled) = 0; // Timerc, 1000 ms
    virtual void setShowTimer(bool enabled) = 0;  // Timert, 60000 ms
    // Hides the window and shrinks its pane to 20 by 20 pixels, so the next
    // page measures its own size.
    virtual void hideForNextNotice() = 0;
    virtual void unloadWindow() = 0;
};

class NoticeScheduler {
public:
    explicit NoticeScheduler(NoticeWindowView &view) : view_(view) {}

    // Reads the schedule from content base + "lib/tan.txt" and, when it
    // arrives, starts the delay. A missing or malformed file, or one without a usable address,
    // leaves the window hidden for good.
    void tan_x(AsyncHttpGet &http, const QString &contentBase);
    // Applies a schedule already read; true when the delay was started.
    bool start(const NoticeSchedule &schedule);

    void delayTick(); // Timerc
    void showTick();  // Timert

    // False until the first notice is asked for: before that a loaded page
    // (about:blank) does not show the window.
    bool shown() const { return shown_; }
    int currentIndex() const { return current_; }
    const NoticeSchedule &schedule() const { return schedule_; }

private:
    std::unique_ptr<SingleFetch> fetch_; // cancelled when the scheduler goes
    NoticeWindowView &view_;
    NoticeSchedule schedule_;
    int seconds_ = 0;
    int minutes_ = 0;
    int current_ = 0;
    bool shown_ = false;
    bool unloaded_ = false;
};

// The largest page the pop-up shows, in pixels (12000 by 9000 twips).
inline constexpr QSize kNoticeMaxPageSize{800, 600};

struct NoticeWindowPlacement {
    QRect window;     // in screen coordinates
    QRect pane;       // the web pane inside the window (its border bleeds out)
    QPoint closeIcon; // top left of the close picture inside the window
};

// The window for a page whose body scrolls to pageSize pixels: the page size
// clamped to 800 by 600, less one pixel on each side (the pane's border),
// in the bottom right corner of the work area, with the close picture one
// pixel from the top and right edges.
NoticeWindowPlacement placeNoticeWindow(QSize pageSize, const QRect &workArea, QSize closeIconSize);

} // namespace vantoli
