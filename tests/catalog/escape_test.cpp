#include "catalog/escape.h"

#include <gtest/gtest.h>

using vantoli::escapeText;
using vantoli::unescapeText;

TEST(Escape, KeepsUnreservedAndEncodesTheRest) {
    EXPECT_EQ(escapeText(QStringLiteral("aZ09@*_+-./")), QStringLiteral("aZ09@*_+-./"));
    EXPECT_EQ(escapeText(QStringLiteral(" &$#|~'\\")), QStringLiteral("%20%26%24%23%7C%7E%27%5C"));
    EXPECT_EQ(escapeText(QStringLiteral("中")), QStringLiteral("%u4E2D"));
    EXPECT_EQ(escapeText(QString(QChar(0xE9))), QStringLiteral("%E9"));
    EXPECT_EQ(escapeText(QString(QChar(0x100))), QStringLiteral("%u0100"));
    EXPECT_EQ(escapeText(QString()), QString());
    // Characters outside the BMP are escaped unit by unit.
    EXPECT_EQ(escapeText(QString::fromUtf8("\xF0\x9F\x98\x80")), QStringLiteral("%uD83D%uDE00"));
}

TEST(Unescape, DecodesValidSequencesOnly) {
    EXPECT_EQ(unescapeText(QStringLiteral("%u4E2D%u6587")), QStringLiteral("中文"));
    EXPECT_EQ(unescapeText(QStringLiteral("%u4e2d")), QStringLiteral("中"));
    EXPECT_EQ(unescapeText(QStringLiteral("a%20b%7c")), QStringLiteral("a b|"));
    // Every lower-case hex digit a to f, in both sequence forms.
    EXPECT_EQ(unescapeText(QStringLiteral("%u4e2f%7f%af%ba%cd%ue0fe")),
              QString(QChar(0x4E2F)) + QChar(0x7F) + QChar(0xAF) + QChar(0xBA) + QChar(0xCD) + QChar(0xE0FE));
    // Invalid or truncated sequences stay as they are.
    EXPECT_EQ(unescapeText(QStringLiteral("100%")), QStringLiteral("100%"));
    EXPECT_EQ(unescapeText(QStringLiteral("%zz%u12%4")), QStringLiteral("%zz%u12%4"));
    EXPECT_EQ(unescapeText(QStringLiteral("%u12G4")), QStringLiteral("%u12G4"));
    EXPECT_EQ(unescapeText(QStringLiteral("%%41")), QStringLiteral("%A"));
    // Text without "%" is unchanged, Chinese and plain addresses included.
    EXPECT_EQ(unescapeText(QStringLiteral("http://x/电影 1.mp4")), QStringLiteral("http://x/电影 1.mp4"));
}

TEST(Escape, RoundTripsAnyText) {
    const QString samples[] = {
        QStringLiteral("C:\\Media\\it's a \"test\".mkv"), QStringLiteral("第1集 - 开始"),
        QStringLiteral("%u4E2D literally"), QString::fromUtf8("\xF0\x9F\x98\x80 emoji"),
        QString(QChar(0xD800)) + QStringLiteral("lone"), QStringLiteral("\t\r\n\x01"),
    };
    for (const QString &s : samples)
        EXPECT_EQ(unescapeText(escapeText(s)), s) << s.toStdString();
}
