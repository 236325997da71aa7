#pragma once
// The scrolling notice line of the main window's bottom bar: the notices of
// "lib/gun.txt" (text "||" link, entries separated by "$$$"), one label La i
// per notice, and the roll timer Timerg that lets each notice rise into place
// 2 pixels a tick, holds it for 5 seconds (longer while the pointer rests on
// it) and goes on to the next. Clicking a notice opens its link in the
// desktop's browser. No screen here: the labels are behind NoticeLineView.

#include "platform/http_get.h"

#include <QList>
#include <QPoint>
#include <QString>

namespace vantoli {


struct NoticeEntry {
    QString text;
    QString link; // as in the file; "" or "*" for none
};

// The notices of a "lib/gun.txt" text: the entries holding "||" among the
// first 51, in order. Text and link are trimmed, and the text is cut to 200
// characters (a label shows one short line).
QList<NoticeEntry> parseNoticeLine(const QString &text);

// The address a notice's link opens: "" for none ("" or "*"), "http://" put
// in front of a link without a scheme. Only a well-formed http or https
// address with a host is ever returned; anything else ("javascript:",
// "file:", spaces, control characters) opens nothing.
QString noticeLinkToOpen(const QString &link);

// An address a page asks to open in a new window: the address itself when it
// is a well-formed http or https address, "" otherwise.
QString webAddressToOpen(const QString &address);

inline constexpr int kNoticeRollIntervalMs = 50;
inline constexpr int kNoticeHoldMs = 5000;
inline constexpr int kNoticeRise = 12;         // a notice starts this far below its place
inline constexpr int kNoticeStep = 2;          // and rises this much a tick
inline constexpr QPoint kSingleNoticePos{470, 16};

// Hover states of the notice line, shared with the window's other handlers.
enum NoticeHover { NoticeHoverNone = 0, NoticeHoverOn = 1, NoticeHoverClicked = 2 };

class NoticeLineView {
public:
    virtual ~NoticeLineView() = default;
    // Top of La 0 now: the line every notice rises to.
    virtual int baseTop() const = 0;
    // Makes one label per notice (La 0 and copies of it), with their texts;
    // the copies start hidden, and labels of an earlier list go.
    virtual void setNotices(const QList<NoticeEntry> &notices) = 0;
    virtual void moveLabel(int index, QPoint pos) = 0;
    virtual void setLabelTop(int index, int top) = 0;
    virtual void setLabelVisible(int index, bool visible) = 0;
    virtual void setLabelUnderline(int index, bool underline) = 0;
    virtual void setRollTimer(bool enabled) = 0; // Timerg, 50 ms
    virtual int hoverState() const = 0;
    virtual void setHoverState(int state) = 0;
    virtual void openInBrowser(const QString &url) = 0;
};

class NoticeLine {
public:
    explicit NoticeLine(NoticeLineView &view) : view_(view) {}

    // Fetches content base + "lib/gun.txt" and shows its notices when it
    // arrives (a fetch still waiting is replaced); a failed fetch or a text
    // without notices leaves the line as it is.
    void gun_ad(AsyncHttpGet &http, const QString &contentBase);
    // The same for a text already fetched; false when it holds no notice.
    bool load(const QString &text);

    void rollTick();              // Timerg
    void labelHovered(int index); // pointer moves over La index
    void labelClicked(int index);
    void footerHovered();         // pointer moves over the bottom bar

    int lastIndex() const { return int(notices_.size()) - 1; }
    int currentIndex() const { return current_; }
    int tickCounter() const { return ticks_; }
    int labelTop(int index) const { return tops_.value(index); }
    const QList<NoticeEntry> &notices() const { return notices_; }

private:
    std::unique_ptr<SingleFetch> fetch_; // cancelled when the line goes
    NoticeLineView &view_;
    QList<NoticeEntry> notices_;
    QList<int> tops_;
    int baseTop_ = 0;
    int current_ = 0;
    int ticks_ = 0;
};

} // namespace vantoli
