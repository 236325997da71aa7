#include "notices/notice_line.h"

#include "notices/notice_schedule.h"
#include "platform/http_get.h"

#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace vantoli {

namespace {

constexpr qsizetype kMaxNoticeText = 200;
constexpr int kHoldTicks = kNoticeHoldMs / kNoticeRollIntervalMs;

bool hasControlOrSpace(const QString &s) {
    return std::any_of(s.cbegin(), s.cend(), [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
}

} // namespace

QList<NoticeEntry> parseNoticeLine(const QString &text) {
    QList<NoticeEntry> out;
    const QStringList entries = text.split(QStringLiteral("$$$"));
    const qsizetype last = std::min<qsizetype>(entries.size(), kNoticeMaxEntries);
    for (qsizetype i = 0; i < last; ++i) {
        const QString &entry = entries.at(i);
        const qsizetype bar = entry.indexOf(QStringLiteral("||"));
        if (bar < 0)
            continue;
        // A notice is one line: line breaks and tabs in its text become spaces.
        QString shown = entry.left(bar).simplified();
        if (shown.size() > kMaxNoticeText)
            shown.truncate(kMaxNoticeText);
        // Whatever follows a second "||" belongs to the link.
        out.append({shown, entry.mid(bar + 2).trimmed()});
    }
    return out;
}

QString noticeLinkToOpen(const QString &link) {
    const QString l = link.trimmed();
    if (l.isEmpty() || l == QLatin1String("*"))
        return {};
    const bool hasScheme =
        l.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) || l.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    // A link in another scheme ("file:", "javascript:", "mailto:") is not a
    // web address without its scheme; "host:8080/..." is.
    static const QRegularExpression otherScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(?![0-9])"));
    if (!hasScheme && otherScheme.match(l).hasMatch())
        return {};
    const QString address = hasScheme ? l : QStringLiteral("http://") + l;
    if (hasControlOrSpace(address))
        return {};
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
        return {};
    return address;
}

QString webAddressToOpen(const QString &address) {
    const bool web = address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
                     address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
    return web ? noticeLinkToOpen(address) : QString();
}

void NoticeLine::gun_ad(AsyncHttpGet &http, const QString &contentBase) {
    fetch_ = std::make_unique<SingleFetch>(&http);
    fetch_->start(contentBase + QStringLiteral("lib/gun.txt"), [this](const QString &text) { load(text); });
}

bool NoticeLine::load(const QString &text) {
    // Entries without "||" are dropped before numbering, so a bad entry in
    // the middle leaves no empty slot in the rotation.
    QList<NoticeEntry> notices = parseNoticeLine(text);
    if (notices.isEmpty())
        return false;
    view_.setRollTimer(false);
    notices_ = std::move(notices);
    baseTop_ = view_.baseTop();
    current_ = 0;
    ticks_ = 0;
    view_.setNotices(notices_);
    tops_.clear();
    for (int i = 0; i <= lastIndex(); ++i) {
        tops_.append(baseTop_ + kNoticeRise);
        view_.setLabelTop(i, tops_.last());
    }
    if (lastIndex() == 0) {
        tops_[0] = kSingleNoticePos.y();
        view_.moveLabel(0, kSingleNoticePos);
        view_.setLabelVisible(0, true);
        return true;
    }
    view_.setRollTimer(true);
    return true;
}

void NoticeLine::rollTick() {
    if (notices_.isEmpty())
        return;
    view_.setLabelVisible(current_, true);
    if (tops_[current_] > baseTop_) {
        tops_[current_] = std::max(baseTop_, tops_[current_] - kNoticeStep);
        view_.setLabelTop(current_, tops_[current_]);
    }
    if (lastIndex() == 0) {
        view_.setRollTimer(false);
        return;
    }
    // The counter runs on while the notice rises: each notice lasts
    // kHoldTicks + 2 ticks.
    if (ticks_ <= kHoldTicks) {
        ++ticks_;
        return;
    }
    ticks_ = 0;
    // The pointer rests on the notice: it stays for another hold period.
    if (view_.hoverState() == NoticeHoverOn)
        return;
    view_.setLabelVisible(current_, false);
    tops_[current_] = baseTop_ + kNoticeRise;
    view_.setLabelTop(current_, tops_[current_]);
    current_ = current_ + 1 > lastIndex() ? 0 : current_ + 1;
}

void NoticeLine::labelHovered(int index) {
    if (index < 0 || index > lastIndex() || view_.hoverState() == NoticeHoverClicked)
        return;
    view_.setLabelUnderline(index, true);
    view_.setHoverState(NoticeHoverOn);
}

void NoticeLine::labelClicked(int index) {
    if (index < 0 || index > lastIndex())
        return;
    const QString url = noticeLinkToOpen(notices_.at(index).link);
    if (!url.isEmpty())
        view_.openInBrowser(url);
    view_.setLabelUnderline(current_, false);
    view_.setHoverState(NoticeHoverClicked);
}

void NoticeLine::footerHovered() {
    if (!notices_.isEmpty())
        view_.setLabelUnderline(current_, false);
    view_.setHoverState(NoticeHoverNone);
}

} // namespace vantoli
