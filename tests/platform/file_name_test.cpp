#include "platform/file_name.h"

#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vantoli;

namespace {

// Names of every kind: mostly high bytes and UTF-8 lead and continuation
// bytes, so that valid, cut, overlong and surrogate sequences all occur.
QByteArray randomName(std::mt19937 &rng) {
    static const unsigned char pool[] = {'a', '/', '.', '|', '%', 0x7F, 0x80, 0x9F, 0xA9, 0xBF, 0xC0, 0xC1,
                                         0xC3, 0xDF, 0xE0, 0xE2, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
    std::uniform_int_distribution<int> length(0, 12), pick(0, sizeof pool - 1), any(1, 255), mode(0, 1);
    QByteArray bytes;
    for (int n = length(rng); n > 0; --n)
        bytes += char(mode(rng) ? pool[pick(rng)] : any(rng));
    return bytes;
}

} // namespace

TEST(FileName, EveryByteStringComesBackExactly) {
    std::mt19937 rng(20261208);
    for (int i = 0; i < 20000; ++i) {
        const QByteArray bytes = randomName(rng);
        const QString name = fileNameFromBytes(bytes);
        ASSERT_EQ(fileNameBytes(name), bytes) << bytes.toHex().constData();
        // What is valid UTF-8 reads as Qt reads it; nothing else is U+FFFD.
        if (QString::fromUtf8(bytes).toUtf8() == bytes) {
            ASSERT_EQ(name, QString::fromUtf8(bytes)) << bytes.toHex().constData();
        }
        ASSERT_FALSE(name.contains(QChar::ReplacementCharacter) && !bytes.contains("\xEF\xBF\xBD"));
        // Shown, each escaped byte is one U+FFFD and nothing is a lone surrogate.
        const QString shown = fileNameForDisplay(name);
        ASSERT_EQ(shown.size(), name.size());
        ASSERT_EQ(QString::fromUtf8(shown.toUtf8()), shown) << bytes.toHex().constData();
    }
}

TEST(FileName, ValidUtf8AndEscapedBytesAreToldApart) {
    // "été" in Latin-1: two escaped bytes around a "t".
    const QString latin = fileNameFromBytes("\xE9t\xE9.mp4");
    EXPECT_EQ(latin, QString(QChar(0xDCE9)) + u't' + QChar(0xDCE9) + QStringLiteral(".mp4"));
    EXPECT_EQ(fileNameForDisplay(latin), QStringLiteral("\uFFFDt\uFFFD.mp4"));
    // The same name in UTF-8 is plain text.
    EXPECT_EQ(fileNameFromBytes("\xC3\xA9t\xC3\xA9.mp4"), QStringLiteral("été.mp4"));
    // A character beyond the BMP is a surrogate pair whose second half lies
    // in the escape range: it is a character, not a byte.
    const QByteArray letter("\xF0\x9F\x93\xA9", 4); // U+1F4E9
    EXPECT_EQ(fileNameFromBytes(letter), QString::fromUtf8(letter));
    EXPECT_EQ(fileNameForDisplay(fileNameFromBytes(letter)), QString::fromUtf8(letter));
    // Encoded surrogates and overlong forms are no UTF-8: their bytes are kept.
    EXPECT_EQ(fileNameFromBytes("\xED\xB3\xA9"), QStringView(u"\xDCED\xDCB3\xDCA9").toString());
    EXPECT_EQ(fileNameFromBytes("\xC0\xAF"), QStringView(u"\xDCC0\xDCAF").toString());
    // A lone surrogate no name can give becomes U+FFFD on the way out.
    EXPECT_EQ(fileNameBytes(QString(QChar(0xDC10)) + QChar(0xD800)), QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD"));
}

TEST(FileName, ARelativeNameIsTakenFromTheCurrentFolderByItsBytes) {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/\xE9t\xE9";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(folder.constData()), 0);
    const QString absolute = absoluteFileName(QStringLiteral("./sub/../f.mp4"));
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(fileNameBytes(absolute), folder + "/f.mp4");
    EXPECT_EQ(absoluteFileName(QStringLiteral("/a/./b//c")), QStringLiteral("/a/b/c"));
    ::rmdir(folder.constData());
}

TEST(FileName, AFileUrlGivesBackThePathItWasMadeOf) {
    for (const char *name : {"/m/a b.mp4", "/m/100%.mp4", "/m/a#b?c.mp4", "/m/[x];y=z&.mp4", "/m/中文 é.mkv"})
        EXPECT_EQ(fileNameFromUrl(QUrl::fromLocalFile(QString::fromUtf8(name))), QString::fromUtf8(name)) << name;
    EXPECT_EQ(fileNameBytes(fileNameFromUrl(QUrl(QStringLiteral("file:///m/%E9t%E9.mp4")))), QByteArray("/m/\xE9t\xE9.mp4"));
}
