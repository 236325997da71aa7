#include "app/text_util.h"

#include <QLocale>
#include <QTime>

#include <gtest/gtest.h>

using namespace vantoli;

TEST(TruncateToWidth, CountsDoubleByteCharactersTwice) {
    // Short enough by character count: unchanged even if wider.
    EXPECT_EQ(truncateToWidth(QStringLiteral("一二三四五六七八九十一二"), 24),
              QStringLiteral("一二三四五六七八九十一二"));
    EXPECT_EQ(truncateToWidth(QStringLiteral("一二三四五六七八九十一二三"), 24),
              QStringLiteral("一二三四五六七八九十一二"));
    EXPECT_EQ(truncateToWidth(QStringLiteral("abcdefghijklmnopqrstuvwxyz0123"), 24),
              QStringLiteral("abcdefghijklmnopqrstuvwx"));
    // A double-byte character that would overflow the width is left out whole.
    EXPECT_EQ(truncateToWidth(QStringLiteral("abcdefghijklmnopqrstuvw中xyz"), 24),
              QStringLiteral("abcdefghijklmnopqrstuvw"));
    EXPECT_EQ(truncateToWidth(QString(), 24), QString());
    EXPECT_EQ(truncateToWidth(QStringLiteral("abc"), 0), QString());
    // A surrogate pair is never split.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(truncateToWidth(QStringLiteral("abc") + emoji, 4), QStringLiteral("abc"));
}

TEST(TimeText, UsesHoursOnlyFromOneHourOn) {
    EXPECT_EQ(timeText(0), QStringLiteral("00:00"));
    EXPECT_EQ(timeText(59), QStringLiteral("00:59"));
    EXPECT_EQ(timeText(3599), QStringLiteral("59:59"));
    EXPECT_EQ(timeText(3600), QStringLiteral("1:00:00"));
    EXPECT_EQ(timeText(3725), QStringLiteral("1:02:05"));
    EXPECT_EQ(timeText(36000 * 3), QStringLiteral("30:00:00"));
    EXPECT_EQ(timeText(-5), QStringLiteral("00:00"));
}

// The status line's clock never shows a time zone, in any locale's format.
TEST(ClockText, LongFormatWithoutTheTimeZone) {
    const QTime t(9, 5, 7);
    for (const char *name : {"en_US", "de_DE", "zh_CN", "C"}) {
        const QLocale locale{QString::fromLatin1(name)};
        const QString text = clockText(locale, t);
        EXPECT_TRUE(text.contains(QStringLiteral("05")) && text.contains(QStringLiteral("07"))) << name << " " << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("UTC")) || text.contains(QStringLiteral("GMT")) ||
                     text.contains(QStringLiteral("  ")) || text != text.trimmed())
            << name << " " << text.toStdString();
    }
}

TEST(DisplayName, TakesTheTextAfterTheLastSeparator) {
    EXPECT_EQ(displayName(QStringLiteral("/home/u/Media/a b.mkv")), QStringLiteral("a b.mkv"));
    EXPECT_EQ(displayName(QStringLiteral("C:\\Media\\x.avi")), QStringLiteral("x.avi"));
    EXPECT_EQ(displayName(QStringLiteral("plain.avi")), QString());
    EXPECT_EQ(displayName(QStringLiteral("/folder/")), QString());
}

TEST(ExtractText, ReturnsSpanOrInnerTextAndEmptyOnFailure) {
    const QString page = QStringLiteral("x var VideoInfoList=\"a$$b\"; y; z");
    EXPECT_EQ(extractText(page, QStringLiteral("var VideoInfoList="), QStringLiteral(";"), 2),
              QStringLiteral("\"a$$b\""));
    EXPECT_EQ(extractText(page, QStringLiteral("var VideoInfoList="), QStringLiteral(";"), 1),
              QStringLiteral("var VideoInfoList=\"a$$b\";"));
    EXPECT_EQ(extractText(page, QStringLiteral("nope"), QStringLiteral(";"), 2), QString());
    EXPECT_EQ(extractText(page, QStringLiteral("z"), QStringLiteral(";"), 2), QString());
    EXPECT_EQ(extractText(page, QStringLiteral("y"), QStringLiteral(";"), 3), QString());
    // The end marker found inside the start marker is no span.
    EXPECT_EQ(extractText(QStringLiteral("ab"), QStringLiteral("ab"), QStringLiteral("b"), 2), QString());
}

TEST(HtmlEscape, NeutralisesMarkupCharacters) {
    EXPECT_EQ(htmlEscape(QStringLiteral("<a href=\"x\">&'")),
              QStringLiteral("&lt;a href&#61;&quot;x&quot;&gt;&amp;&#39;"));
    EXPECT_EQ(htmlEscape(QStringLiteral("普通 name")), QStringLiteral("普通 name"));
}
