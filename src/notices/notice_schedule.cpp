#include "notices/notice_schedule.h"

#include "platform/http_get.h"

#include <algorithm>

namespace vantoli {

namespace {

const QString kFieldSeparator = QStringLiteral("||");
const QString kEntrySeparator = QStringLiteral("$$$");

int fieldNumber(const QString &field) {
    bool ok = false;
    const int n = field.trimmed().toInt(&ok);
    return ok ? n : 0;
}

// The page size below which the pane was shrunk while loading: a page never
// measures smaller, and a smaller value is a bad report.
constexpr int kShrunkPane = 20;

} // namespace

std::optional<NoticeSchedule> parseNoticeSchedule(const QString &text) {
    if (!text.contains(kFieldSeparator))
        return std::nullopt;
    const QStringList fields = text.split(kFieldSeparator);
    NoticeSchedule s;
    s.delaySeconds = fieldNumber(fields.value(0));
    s.showMinutes = fieldNumber(fields.value(1));
    s.cycle = fieldNumber(fields.value(2)) == 1;
    // A negative delay could never be counted up to: it is the default too.
    if (s.delaySeconds <= 0)
        s.delaySeconds = kNoticeDefaultDelaySeconds;
    if (s.showMinutes == 0)
        s.showMinutes = kNoticeDefaultShowMinutes;

    const QStringList entries = fields.value(3).split(kEntrySeparator);
    const qsizetype last = std::min<qsizetype>(entries.size(), kNoticeMaxEntries);
    for (qsizetype i = 0; i < last; ++i) {
        const QString entry = entries.at(i).trimmed();
        if (entry.startsWith(QLatin1String("http://")))
            s.addresses << entry;
    }
    return s;
}

void NoticeScheduler::tan_x(AsyncHttpGet &http, const QString &contentBase) {
    fetch_ = std::make_unique<SingleFetch>(&http);
    fetch_->start(contentBase + QStringLiteral("lib/tan.txt"), [this](const QString &text) {
        if (const auto schedule = parseNoticeSchedule(text))
            start(*schedule);
    });
}

bool NoticeScheduler::start(const NoticeSchedule &schedule) {
    schedule_ = schedule;
    seconds_ = minutes_ = current_ = 0;
    // Nothing to show: the window stays hidden, as for a missing file.
    if (schedule_.addresses.isEmpty())
        return false;
    view_.setDelayTimer(true);
    return true;
}

void NoticeScheduler::delayTick() {
    if (unloaded_ || schedule_.addresses.isEmpty())
        return;
    if (++seconds_ < schedule_.delaySeconds)
        return;
    shown_ = true;
    view_.navigateNotice(schedule_.addresses.value(0));
    view_.setDelayTimer(false);
    seconds_ = 0;
    if (schedule_.showMinutes > 0)
        view_.setShowTimer(true);
}

void NoticeScheduler::showTick() {
    if (unloaded_ || schedule_.addresses.isEmpty())
        return;
    if (++minutes_ < schedule_.showMinutes)
        return;
    ++current_;
    if (current_ >= schedule_.addresses.size()) {
        current_ = 0;
        if (!schedule_.cycle) {
            view_.setShowTimer(false);
            unloaded_ = true;
            view_.unloadWindow();
            return;
        }
    }
    view_.hideForNextNotice();
    view_.navigateNotice(schedule_.addresses.at(current_));
    minutes_ = 0;
}

NoticeWindowPlacement placeNoticeWindow(QSize pageSize, const QRect &workArea, QSize closeIconSize) {
    const int pageW = std::clamp(pageSize.width(), kShrunkPane, kNoticeMaxPageSize.width());
    const int pageH = std::clamp(pageSize.height(), kShrunkPane, kNoticeMaxPageSize.height());
    const QSize size(pageW - 2, pageH - 2);
    NoticeWindowPlacement p;
    // Flush with the work area's bottom right corner, so it sits above the
    // task bar wherever the desktop keeps it.
    p.window = QRect(QPoint(workArea.x() + workArea.width() - size.width(),
                            workArea.y() + workArea.height() - size.height()),
                     size);
    p.pane = QRect(QPoint(-1, -1), size);
    p.closeIcon = QPoint(size.width() - closeIconSize.width() - 1, 1);
    return p;
}

} // namespace vantoli
