#include "history/history_files.h"

#include "app/text_util.h"
#include "catalog/escape.h"
#include "platform/ansi_codec.h"
#include "platform/file_name.h"
#include "platform/text_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace vantoli;

namespace {

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeRaw("date.dat", "\r\n");
        writeRaw("date_f.dat", "\r\n");
        QObject::connect(&store_, &HistoryStore::pageWritten, [this](HistoryList list, const QString &page) {
            written_.append(list);
            writtenPages_.append(page);
        });
    }
    QString file(const QString &name) const { return dir_.filePath(name); }
    QByteArray raw(const QString &name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeRaw(const QString &name, const QByteArray &bytes) {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir_;
    HistoryStore store_{dir_.path()};
    QList<HistoryList> written_; // pageWritten, in order
    QStringList writtenPages_;
};

} // namespace

TEST_F(HistoryTest, AddingToAnEmptyFileLeavesNewLineAndAnEmptyLine) {
    ASSERT_TRUE(store_.addNetworkTask(12, "%u4E2D", "e1", "http%3A//a", 0, 3));
    EXPECT_EQ(raw("date.dat"), QByteArray("12|%u4E2D|e1|http%3A//a|0|3|0\r\n\r\n"));
    EXPECT_TRUE(raw("c.htm").contains("href=open://1>"));
    EXPECT_EQ(written_, QList<HistoryList>{HistoryList::NetworkTasks});
}

TEST_F(HistoryTest, SameTitleTwiceKeepsOneLineAtTheTop) {
    store_.addNetworkTask(12, "t", "e1", "a1", 0, 1);
    store_.addNetworkTask(7, "u", "x", "b", 0, 0);
    store_.updateNetworkTaskPosition(12, 300);
    store_.addNetworkTask(12, "t", "e2", "a2", 1, 2);
    EXPECT_EQ(raw("date.dat"), QByteArray("12|t|e2|a2|1|2|0\r\n7|u|x|b|0|0|0\r\n"));
}

TEST_F(HistoryTest, LooksBackAtMostOneHundredLines) {
    QByteArray old;
    for (int i = 1; i <= 120; ++i)
        old += QByteArray::number(i) + "|t|e|a|0|0|0\r\n";
    writeRaw("date.dat", old);
    store_.addNetworkTask(500, "n", "e", "a", 0, 0);
    QList<QByteArray> lines = raw("date.dat").split('\n');
    EXPECT_EQ(lines.size(), 1 + 100 + 1); // new line, 100 old lines, nothing after the final CR LF
    EXPECT_EQ(lines.at(1), QByteArray("1|t|e|a|0|0|0\r"));
    EXPECT_EQ(lines.at(100), QByteArray("100|t|e|a|0|0|0\r"));

    // One of the hundred had the same id: 99 old lines are kept.
    writeRaw("date.dat", old);
    store_.addNetworkTask(50, "n", "e", "a", 0, 0);
    EXPECT_EQ(raw("date.dat").count('\n'), 1 + 99);
}

TEST_F(HistoryTest, LinesWithoutSeparatorAreDroppedByAdditionsAndUpdates) {
    writeRaw("date.dat", "junk\r\n3|t|e|a|0|0|9\r\n\r\nabc|odd\r\n");
    store_.updateNetworkTaskPosition(3, 42);
    EXPECT_EQ(raw("date.dat"), QByteArray("3|t|e|a|0|0|42\r\nabc|odd\r\n"));
    writeRaw("date.dat", "junk\r\n3|t|e|a|0|0|9\r\n");
    store_.addNetworkTask(4, "n", "e", "a", 0, 0);
    EXPECT_EQ(raw("date.dat"), QByteArray("4|n|e|a|0|0|0\r\n3|t|e|a|0|0|9\r\n"));
}

TEST_F(HistoryTest, PositionUpdatePassesOverLinesItCannotRead) {
    writeRaw("date.dat", "x|t|e|a|0|0|1\r\n5|short\r\n5|t|e|a|0|0\r\n5|t|e|a|1|2|3|extra\r\n");
    store_.updateNetworkTaskPosition(5, 77);
    EXPECT_EQ(raw("date.dat"),
              QByteArray("x|t|e|a|0|0|1\r\n5|short\r\n5|t|e|a|0|0|77\r\n5|t|e|a|1|2|77\r\n"));
    // Position updates do not regenerate the page.
    EXPECT_TRUE(written_.isEmpty());
}

TEST_F(HistoryTest, LocalPlaysMoveToTheTopAndKeepTheirPosition) {
    store_.addLocalPlay("a.mkv", "/m/a.mkv");
    store_.addLocalPlay("b.mkv", "/m/b.mkv");
    store_.updateLocalPlayPosition("/m/a.mkv", 61);
    EXPECT_EQ(raw("date_f.dat"), QByteArray("b.mkv|/m/b.mkv|0\r\na.mkv|/m/a.mkv|61\r\n"));
    store_.addLocalPlay("a.mkv", "/m/a.mkv");
    EXPECT_EQ(raw("date_f.dat"), QByteArray("a.mkv|/m/a.mkv|0\r\nb.mkv|/m/b.mkv|0\r\n"));
    // The path comparison is exact.
    store_.addLocalPlay("A.mkv", "/m/A.mkv");
    EXPECT_EQ(raw("date_f.dat").count('\n'), 3);
    EXPECT_TRUE(raw("f.htm").contains("a.mkv"));
}

TEST_F(HistoryTest, RemovingLines) {
    store_.addNetworkTask(1, "t", "e", "a", 0, 0);
    ASSERT_TRUE(store_.removeHistoryLine("date.dat", 1));
    EXPECT_EQ(raw("date.dat"), QByteArray("\r\n"));

    writeRaw("date_f.dat", "nobar\r\na|/a|0\r\nb|/b|0\r\n\r\n\r\n");
    store_.removeHistoryLine("date_f.dat", 2);
    EXPECT_EQ(raw("date_f.dat"), QByteArray("nobar\r\nb|/b|0\r\n\r\n"));
    // A line number past the end changes only the trailing empty lines.
    store_.removeHistoryLine("date_f.dat", 99);
    EXPECT_EQ(raw("date_f.dat"), QByteArray("nobar\r\nb|/b|0\r\n"));
    EXPECT_EQ(written_.back(), HistoryList::LocalPlays);
}

TEST_F(HistoryTest, MissingFileFailsWithoutWriting) {
    QFile::remove(file("date.dat"));
    EXPECT_FALSE(store_.addNetworkTask(1, "t", "e", "a", 0, 0));
    EXPECT_FALSE(store_.updateNetworkTaskPosition(1, 5));
    EXPECT_FALSE(store_.removeHistoryLine("date.dat", 1));
    EXPECT_FALSE(store_.renderHistoryPage("date.dat"));
    EXPECT_FALSE(QFile::exists(file("date.dat")));
    EXPECT_FALSE(QFile::exists(file("c.htm")));
}

TEST_F(HistoryTest, OddContentLosesNoLineItShouldKeep) {
    QByteArray odd = "1|a|b|c|0|0|0\r2|\xFF\xFE|b|c|0|0|0\n" + QByteArray(5000, 'z') + "|x\n3|t|e|a|x|y|z";
    writeRaw("date.dat", odd);
    store_.updateNetworkTaskPosition(3, 9);
    EXPECT_EQ(raw("date.dat"), "1|a|b|c|0|0|0\r\n2|\xFF\xFE|b|c|0|0|0\r\n" + QByteArray(5000, 'z') +
                                   "|x\r\n3|t|e|a|x|y|9\r\n");
}

TEST_F(HistoryTest, EveryPageWrittenIsToldOnceWithItsPath) {
    using L = QList<HistoryList>;
    ASSERT_TRUE(store_.addLocalPlay("a", "/a"));
    ASSERT_TRUE(store_.addNetworkTask(1, "t", "e", "a", 0, 0));
    ASSERT_TRUE(store_.removeHistoryLine("date.dat", 1));
    ASSERT_TRUE(store_.clearHistory(HistoryList::LocalPlays));
    ASSERT_TRUE(store_.renderHistoryPage(HistoryList::NetworkTasks));
    EXPECT_EQ(written_, (L{HistoryList::LocalPlays, HistoryList::NetworkTasks, HistoryList::NetworkTasks,
                           HistoryList::LocalPlays, HistoryList::NetworkTasks}));
    EXPECT_EQ(writtenPages_.first(), file("f.htm"));
    EXPECT_EQ(writtenPages_.last(), file("c.htm"));

    // Nothing written, nothing told: a page that already shows its file, and
    // a list whose file is gone.
    written_.clear();
    EXPECT_FALSE(store_.rewriteStalePage(HistoryList::NetworkTasks));
    QFile::remove(file("date_f.dat"));
    EXPECT_FALSE(store_.renderHistoryPage(HistoryList::LocalPlays));
    EXPECT_FALSE(store_.clearHistory(HistoryList::LocalPlays));
    EXPECT_TRUE(written_.isEmpty());

    // A stale page is rewritten and told once; checked again, it is left alone.
    writeRaw("c.htm", "old");
    EXPECT_TRUE(store_.rewriteStalePage(HistoryList::NetworkTasks));
    EXPECT_FALSE(store_.rewriteStalePage(HistoryList::NetworkTasks));
    EXPECT_EQ(written_, L{HistoryList::NetworkTasks});
    EXPECT_TRUE(raw("c.htm").contains("colspan=2"));
}

TEST_F(HistoryTest, ClearingWritesOneEmptyLine) {
    store_.addLocalPlay("a", "/a");
    ASSERT_TRUE(store_.clearHistory(HistoryList::LocalPlays));
    EXPECT_EQ(raw("date_f.dat"), QByteArray("\r\n"));
    EXPECT_TRUE(raw("f.htm").contains("colspan=2"));
}

TEST_F(HistoryTest, LocalNamesWithSeparatorsAndLineBreaksKeepOneLineAndComeBackExactly) {
    const QString odd = QStringLiteral("/m/a|b 100%25\r\nc.mp4");
    const QString name = QStringLiteral("a|b 100%25\r\nc.mp4");
    ASSERT_TRUE(store_.addLocalPlay(name, odd));
    ASSERT_TRUE(store_.addLocalPlay(name, odd));
    ASSERT_TRUE(store_.updateLocalPlayPosition(odd, 77));
    // One entry, one line, the position saved.
    EXPECT_EQ(raw("date_f.dat"),
              QByteArray("a%7Cb 100%2525%0D%0Ac.mp4|/m/a%7Cb 100%2525%0D%0Ac.mp4|77\r\n"));
    const auto lines = QString::fromLatin1(raw("date_f.dat")).split(QStringLiteral("\r\n"));
    const auto entry = parseLocalPlayLine(lines.at(0));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->path, odd);
    EXPECT_EQ(unescapeText(entry->name), name);
    EXPECT_EQ(entry->position, 77);
    // The list page shows one row with the whole name.
    const QByteArray page = raw("f.htm");
    EXPECT_EQ(page.count("open://"), 1);
    EXPECT_EQ(page.count("open://1>"), 1);

    // A plain name is stored as it always was.
    ASSERT_TRUE(store_.addLocalPlay(QStringLiteral("b.mp4"), QStringLiteral("/m/b.mp4"), 5));
    EXPECT_TRUE(raw("date_f.dat").startsWith("b.mp4|/m/b.mp4|5\r\n"));
    EXPECT_EQ(history_text::decodeLocalField(QStringLiteral("/m/100%.mp4")), QStringLiteral("/m/100%.mp4"));
}

TEST_F(HistoryTest, ALocalPathOfAnyBytesIsStoredOnOneLineAndReadBackExactly) {
    // A file name in Latin-1: its bytes are stored as %XX, which GB18030 text
    // cannot mistake for a character of its own.
    const QString latin = fileNameFromBytes("/m/\xE9t\xE9.mp4");
    ASSERT_TRUE(store_.addLocalPlay(fileNameForDisplay(displayName(latin)), latin));
    EXPECT_EQ(raw("date_f.dat"), QByteArray("\xEF\xBF\xBDt\xEF\xBF\xBD.mp4|/m/%E9t%E9.mp4|0\r\n\r\n")
                                     .replace("\xEF\xBF\xBD", encodeAnsi(QStringLiteral("\uFFFD"))));
    EXPECT_TRUE(raw("f.htm").contains(encodeAnsi(QStringLiteral("\uFFFDt\uFFFD.mp4"))));
    ASSERT_TRUE(store_.updateLocalPlayPosition(latin, 42));
    EXPECT_EQ(store_.localPlayPosition(latin), 42);

    std::mt19937 rng(4242);
    std::uniform_int_distribution<int> length(1, 14), byte(1, 255), high(0x80, 0xFF), coin(0, 2);
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes("/");
        for (int n = length(rng); n > 0; --n)
            bytes += char(coin(rng) ? high(rng) : byte(rng));
        const QString path = fileNameFromBytes(bytes);
        ASSERT_TRUE(store_.addLocalPlay(QStringLiteral("n"), path));
        ASSERT_TRUE(store_.updateLocalPlayPosition(path, i + 1));
        const auto lines = readTextLines(file("date_f.dat"));
        ASSERT_TRUE(lines && !lines->isEmpty());
        ASSERT_EQ(lines->at(0).count(u'|'), 2) << bytes.toHex().constData();
        const auto entry = parseLocalPlayLine(lines->at(0));
        ASSERT_EQ(fileNameBytes(entry->path), bytes) << bytes.toHex().constData();
        ASSERT_EQ(entry->position, i + 1);
        ASSERT_EQ(store_.localPlayPosition(path), i + 1);
    }
}
