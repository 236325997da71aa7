// The recorder writes the playing item's position into the list its source
// names, and nothing for an item it cannot name.

#include "history/position_recorder.h"

#include "history/history_files.h"
#include "playback/playback_state.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

const QByteArray kNetworkLines = "0|zero|e|a|0|0|5\r\n12|t|e|a|0|3|100\r\n";
const QByteArray kLocalLines = "a.mkv|/m/a.mkv|7\r\n12|/m/12|9\r\n";

class PositionRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeRaw("date.dat", kNetworkLines);
        writeRaw("date_f.dat", kLocalLines);
    }
    QByteArray raw(const char *name) const {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeRaw(const char *name, const QByteArray &bytes) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void playing(int source, const QString &reference, int position) {
        state.playSource = source;
        state.currentItemReference = reference;
        state.lastPosition = position;
    }

    QTemporaryDir dir;
    HistoryStore history{dir.path()};
    PlaybackState state;
    PositionRecorder recorder{state, history};
};

} // namespace

TEST_F(PositionRecorderTest, WritesOnlyTheListOfTheItemsSource) {
    playing(kSourceNetwork, QStringLiteral("12"), 321);
    EXPECT_TRUE(recorder.recordStop());
    EXPECT_EQ(raw("date.dat"), QByteArray("0|zero|e|a|0|0|5\r\n12|t|e|a|0|3|321\r\n"));
    EXPECT_EQ(raw("date_f.dat"), kLocalLines);
    EXPECT_TRUE(recorder.recordEnd());
    EXPECT_EQ(raw("date.dat"), QByteArray("0|zero|e|a|0|0|5\r\n12|t|e|a|0|3|0\r\n"));

    // A local path that looks like a task id is still a path.
    writeRaw("date.dat", kNetworkLines);
    playing(kSourceLocal, QStringLiteral("/m/a.mkv"), 61);
    EXPECT_TRUE(recorder.recordStop());
    EXPECT_EQ(raw("date_f.dat"), QByteArray("a.mkv|/m/a.mkv|61\r\n12|/m/12|9\r\n"));
    EXPECT_EQ(raw("date.dat"), kNetworkLines);
    EXPECT_TRUE(recorder.recordEnd());
    EXPECT_EQ(raw("date_f.dat"), QByteArray("a.mkv|/m/a.mkv|0\r\n12|/m/12|9\r\n"));
}

TEST_F(PositionRecorderTest, WritesNothingForAnItemItCannotName) {
    // Nothing playing, not played yet, and network references that are no
    // task id (neither may touch task 0).
    playing(kSourceNetwork, kNothing, 50);
    EXPECT_FALSE(recorder.recordEnd());
    playing(kSourceNetwork, QStringLiteral("12"), 0);
    EXPECT_FALSE(recorder.recordStop());
    EXPECT_FALSE(recorder.recordEnd());
    for (const char *reference : {"x12", "", "99999999999"}) {
        playing(kSourceNetwork, QString::fromLatin1(reference), 50);
        EXPECT_FALSE(recorder.recordStop()) << reference;
        EXPECT_FALSE(recorder.recordEnd()) << reference;
    }
    EXPECT_EQ(raw("date.dat"), kNetworkLines);
    EXPECT_EQ(raw("date_f.dat"), kLocalLines);
}
