#include "platform/ansi_codec.h"
#include "platform/text_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

TEST(AnsiCodec, WritesGbkBytesForGbkText) {
    EXPECT_EQ(encodeAnsi(QStringLiteral("中a")), QByteArray("\xD6\xD0" "a"));
    EXPECT_EQ(decodeAnsi(QByteArray("\xD6\xD0" "a")), QStringLiteral("中a"));
}

TEST(AnsiCodec, KeepsCharactersOutsideGbk) {
    const QString text = QString::fromUtf8("\xF0\x9F\x98\x80 \xE2\x82\xAC \xC3\xA9");
    EXPECT_EQ(decodeAnsi(encodeAnsi(text)), text);
}

TEST(AnsiCodec, InvalidBytesSurviveARoundTrip) {
    const QByteArray bytes("ok\xFF\x80\x00\x81|x\xD6", 10);
    const QString text = decodeAnsi(bytes);
    EXPECT_TRUE(text.startsWith(QStringLiteral("ok")));
    EXPECT_EQ(encodeAnsi(text), bytes);
}

TEST(AnsiCodec, LoneSurrogatesBelowTheByteRangeBecomeQuestionMarks) {
    // "%uDC3C" in a title unescapes to U+DC3C; written out it must not turn
    // into "<" (or "|" for U+DC7C), which would change a page or a history line.
    for (char16_t u = 0xDC00; u <= 0xDC7F; ++u)
        ASSERT_EQ(encodeAnsi(QStringLiteral("a") + QChar(u) + QStringLiteral("b")), QByteArray("a?b")) << int(u);
    // U+DC80..U+DCFF carry undecodable bytes, and other lone surrogates are "?".
    EXPECT_EQ(encodeAnsi(QString(QChar(0xDC80))), QByteArray("\x80"));
    EXPECT_EQ(encodeAnsi(QString(QChar(0xDCFF))), QByteArray("\xFF"));
    EXPECT_EQ(encodeAnsi(QString(QChar(0xDD00)) + QChar(0xD800)), QByteArray("??"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.htm"));
    ASSERT_TRUE(writeTextFile(path, QStringLiteral("<p>") + QChar(0xDC3C) + QStringLiteral("</p>")));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("<p>?</p>"));
}

TEST(AnsiCodec, WidthAndCodeFollowTheGbkCodePage) {
    EXPECT_EQ(gbkWidth(u'a'), 1);
    EXPECT_EQ(gbkWidth(u'中'), 2);
    EXPECT_EQ(gbkWidth(u'·'), 2);      // U+00B7 is a double-byte GBK character
    EXPECT_EQ(gbkWidth(0x0E01), 1);     // Thai: not in GBK
    EXPECT_EQ(gbkWidth(0xD83D), 1);
    EXPECT_EQ(ansiCode(u'a'), 97);
    EXPECT_EQ(ansiCode(u'中'), static_cast<qint16>(0xD6D0));
    EXPECT_EQ(ansiCode(0x0E01), '?');
}

TEST(TextFile, SplitsEveryKindOfLineEnd) {
    EXPECT_EQ(splitLines(QString()), QStringList());
    EXPECT_EQ(splitLines(QStringLiteral("\r\n")), QStringList{QString()});
    EXPECT_EQ(splitLines(QStringLiteral("a\r\nb")), (QStringList{"a", "b"}));
    EXPECT_EQ(splitLines(QStringLiteral("a\rb\nc\r\n\r\n")), (QStringList{"a", "b", "c", ""}));
    EXPECT_EQ(splitLines(QStringLiteral("a\n\rb")), (QStringList{"a", "", "b"}));
}

TEST(TextFile, ReplacesFilesWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.txt"));
    EXPECT_FALSE(readTextFile(path));
    ASSERT_TRUE(writeTextFile(path, QStringLiteral("第一\r\n")));
    // A new file (settings, play history) is the user's alone.
    EXPECT_EQ(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    ASSERT_TRUE(writeTextFile(path, QStringLiteral("b\r\n")));
    EXPECT_EQ(readTextFile(path), QStringLiteral("b\r\n"));
    // A folder that does not exist cannot be written, and nothing is created.
    EXPECT_FALSE(writeTextFile(dir.filePath(QStringLiteral("no/such/x.txt")), QStringLiteral("x")));
    // A replaced file keeps its permissions, and no temporary file stays.
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(writeTextFile(path, QStringLiteral("c\r\n")));
    EXPECT_EQ(QFile::permissions(path),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("x.txt")});
}
