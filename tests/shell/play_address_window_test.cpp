// What reaches the window's real player, and how local files are opened:
// the real window with its panes and the libmpv player, a fake content
// server. Links, outside requests and history lines naming anything but a
// network address play nothing and write nothing; the user's own files play,
// resume where they stopped, keep quotes in their names, and a file that
// cannot be played is said and not recorded.

#include "support/fake_dialogs.h"
#include "catalog/escape.h"
#include "controls/transport.h"
#include "history/history_files.h"
#include "platform/ansi_codec.h"
#include "support/window_options.h"
#include "platform/file_name.h"
#include "support/fake_power.h"
#include "platform/web_pane.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "playback/player_factory.h"
#include "shell/ba1.h"
#include "controls/playback_module.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <functional>

using namespace vantoli;
using namespace vantoli::shell;

namespace {

bool waitFor(const std::function<bool()> &done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

class PlayAddressWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media_ = new QTemporaryDir;
        // Ten seconds, so that a resume point is told apart from playing on.
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"),
                     {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                      QStringLiteral("lavfi"), QStringLiteral("-i"),
                      QStringLiteral("testsrc=size=160x120:rate=10:duration=10"), QStringLiteral("-pix_fmt"),
                      QStringLiteral("yuv420p"), media_->filePath(QStringLiteral("clip.mp4"))});
        made_ = ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
    }
    static void TearDownTestSuite() {
        delete media_;
        media_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(made_);
        writeEmptyHistories(home_.path());
        qputenv("VANTOLI_AUDIO_OUTPUT", "null");
        factory_ = makePlayerFactory();
        window_ = std::make_unique<BA1>(windowOptions(home_.path(), fakes_, factory_.get()), dialogs_);
        ASSERT_EQ(window_->show(), MainWindowHost::ShowResult::Shown);
        std::setlocale(LC_NUMERIC, "C");
        written_ = home_.filePath(QStringLiteral("written.txt"));
    }

    QString copyOfClip(const QString &name) const {
        const QString path = home_.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(media_->filePath(QStringLiteral("clip.mp4")), path));
        return path;
    }
    QByteArray file(const char *name) const {
        QFile f(home_.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    Player &player() const { return window_->playbackModule().player(); }
    bool playing(int ms) const { return waitFor([&] { return player().PlayState() == kStatePlaying; }, ms); }
    // What a page could ask for: an engine filter that writes a file.
    QString writingFilter() const {
        return QStringLiteral("av://lavfi:aevalsrc=0:d=1,ametadata=mode=print:file=") + written_;
    }

    static QTemporaryDir *media_;
    static bool made_;
    QTemporaryDir home_;
    FakeDialogs dialogs_;
    WindowFakes fakes_;
    std::unique_ptr<PlayerFactory> factory_;
    std::unique_ptr<BA1> window_;
    QString written_;
};

QTemporaryDir *PlayAddressWindow::media_ = nullptr;
bool PlayAddressWindow::made_ = false;

} // namespace

TEST_F(PlayAddressWindow, LinksOutsideRequestsAndHistoryLinesNamingNoNetworkAddressPlayNothing) {
    const QString clip = copyOfClip(QStringLiteral("peer clip.mp4"));
    const QByteArray network = file("date.dat"), local = file("date_f.dat");
    // A catalog page's media links.
    for (const QString &address : {writingFilter(), QStringLiteral("file://") + clip, clip})
        window_->webPane(1)->navigate(QStringLiteral("kxpeer://peer&&&") + escapeText(address) +
                                      QStringLiteral("&&&T&&&E&&&12&&&0&&&3&&&0"));
    // A browser's link or a second start, and the remote control.
    window_->openFromOutside(writingFilter());
    window_->openFromOutside(QStringLiteral("file://") + clip, AddressOrigin::Remote);
    window_->openFromOutside(clip, AddressOrigin::Remote);
    // A network-task line naming a local file.
    QFile lines(home_.filePath(QStringLiteral("date.dat")));
    ASSERT_TRUE(lines.open(QIODevice::WriteOnly));
    lines.write("12|T|E|" + escapeText(clip).toUtf8() + "|0|3|0\r\n");
    lines.close();
    window_->webPane(3)->navigate(QStringLiteral("open://1"));
    // A server's episode lookup naming the filter.
    window_->webPane(1)->navigate(QStringLiteral("kxbovod://12-0-4-T"));
    ASSERT_TRUE(fakes_.lookups.answer(QStringLiteral("http://127.0.0.1:9/h.php?id=12&v=0&v1=4"),
                                QStringLiteral("E5$") + writingFilter() + QStringLiteral("$peer")));

    EXPECT_FALSE(playing(2000));
    EXPECT_TRUE(player().Url().isEmpty()) << player().Url().toStdString();
    EXPECT_FALSE(QFileInfo::exists(written_));
    EXPECT_EQ(file("date_f.dat"), local);
    EXPECT_EQ(file("date.dat"), "12|T|E|" + escapeText(clip).toUtf8() + "|0|3|0\r\n") << "nothing added";
    Q_UNUSED(network);

    // A network address from outside plays (the content server's clip here
    // is not there: it is handed to the player all the same).
    window_->openFromOutside(QStringLiteral("http://127.0.0.1:9/a.mp4"), AddressOrigin::Remote);
    EXPECT_EQ(player().Url(), QStringLiteral("http://127.0.0.1:9/a.mp4"));
}

TEST_F(PlayAddressWindow, EveryWayOfOpeningAFileResumesWhereItStopped) {
    const QString clip = copyOfClip(QStringLiteral("film.mp4"));
    QFile lines(home_.filePath(QStringLiteral("date_f.dat")));
    ASSERT_TRUE(lines.open(QIODevice::WriteOnly));
    lines.write("film.mp4|" + clip.toUtf8() + "|6\r\n");
    lines.close();
    // A later start with the same file, as the open-file button would.
    window_->openFromOutside(clip);
    ASSERT_TRUE(playing(8000));
    EXPECT_TRUE(waitFor([&] { return player().Position() >= 6; }, 3500)) << player().Position();
    EXPECT_TRUE(file("date_f.dat").startsWith("film.mp4|" + clip.toUtf8() + "|"));
    EXPECT_FALSE(file("date_f.dat").startsWith("film.mp4|" + clip.toUtf8() + "|0\r\n"));
}

TEST_F(PlayAddressWindow, AQuotedNameIsFoundAndAFileThatCannotBePlayedIsSaidAndNotRecorded) {
    const QString quoted = copyOfClip(QStringLiteral("a\"b.mp4"));
    window_->playbackModule().l_com(quoted);
    ASSERT_TRUE(playing(8000)) << player().Url().toStdString();
    EXPECT_EQ(player().Url(), quoted);
    EXPECT_TRUE(file("date_f.dat").startsWith("a\"b.mp4|" + quoted.toUtf8() + "|0\r\n")) << file("date_f.dat").constData();

    const QByteArray before = file("date_f.dat");
    const QString empty = home_.filePath(QStringLiteral("empty.mp4"));
    QFile(empty).open(QIODevice::WriteOnly);
    QDir(home_.path()).mkdir(QStringLiteral("folder.mp4"));
    for (const QString &item : {home_.filePath(QStringLiteral("missing.mp4")), empty,
                                home_.filePath(QStringLiteral("folder.mp4"))})
        window_->playbackModule().l_com(item);
    EXPECT_EQ(dialogs_.messages.size(), 3);
    EXPECT_EQ(file("date_f.dat"), before);
    EXPECT_EQ(player().Url(), quoted) << "the item playing goes on";
    EXPECT_EQ(player().PlayState(), kStatePlaying);
}

TEST_F(PlayAddressWindow, AFileTheRealPlayerCannotOpenIsSaidAndNotRecorded) {
    const QByteArray before = file("date_f.dat");
    QFile whole(media_->filePath(QStringLiteral("clip.mp4")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray clip = whole.readAll();
    QByteArray noise(64 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    for (const auto &[name, bytes] : {std::pair{"truncated.mp4", clip.left(clip.size() / 3)},
                                      std::pair{"noise.mp4", noise}}) {
        const QString path = home_.filePath(QString::fromLatin1(name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        dialogs_.messages.clear();
        window_->playbackModule().l_com(path);
        EXPECT_TRUE(waitFor([&] { return !dialogs_.messages.isEmpty(); }, 8000)) << name;
        EXPECT_EQ(dialogs_.messages.value(0), QStringLiteral("提示：") + path + controls::kCannotPlayText);
        EXPECT_EQ(file("date_f.dat"), before) << name;
        EXPECT_NE(player().PlayState(), kStatePlaying);
    }
}

TEST_F(PlayAddressWindow, ANameThatLostItsBytesIsSaidAndNoPathThatNamesNoFileIsStored) {
    // "café" written in Latin-1 on a UTF-8 system, taken by a reader that
    // put U+FFFD in place of the byte (Qt's own file dialog does): the text
    // names no file.
    const QByteArray bytes = QFile::encodeName(home_.path()) + "/caf\xe9.mp4";
    {
        // Qt cannot name it; it is written by its bytes.
        FILE *f = std::fopen(bytes.constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not read", f);
        std::fclose(f);
    }
    const QByteArray before = file("date_f.dat");
    const QString arrived = QString::fromLocal8Bit(bytes);
    ASSERT_TRUE(arrived.contains(QChar::ReplacementCharacter));
    window_->openFromOutside(arrived);
    EXPECT_EQ(dialogs_.messages, QStringList{QStringLiteral("提示：") + arrived + controls::kCannotPlayText});
    EXPECT_EQ(file("date_f.dat"), before);
    EXPECT_TRUE(player().Url().isEmpty());
    std::remove(bytes.constData()); // the temporary folder cannot name it either
}

TEST_F(PlayAddressWindow, ANameThatIsNotUtf8PlaysIsRecordedByItsBytesAndReopensWhereItStopped) {
    // "été.mp4" in Latin-1. Qt cannot name it; it is written by its bytes.
    const QByteArray bytes = QFile::encodeName(home_.path()) + "/\xE9t\xE9.mp4";
    {
        QFile clip(media_->filePath(QStringLiteral("clip.mp4")));
        ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
        const QByteArray data = clip.readAll();
        FILE *f = std::fopen(bytes.constData(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(data.constData(), 1, size_t(data.size()), f);
        std::fclose(f);
    }
    // As the command line or a later start hands it on.
    const QString path = fileNameFromBytes(bytes);
    window_->openFromOutside(path);
    ASSERT_TRUE(playing(8000)) << dialogs_.messages.join(u',').toStdString();
    EXPECT_EQ(fileNameBytes(player().Url()), bytes);
    EXPECT_TRUE(dialogs_.messages.isEmpty());
    // The name is shown with U+FFFD, the path keeps its bytes as %XX.
    const QByteArray line = encodeAnsi(QStringLiteral("\uFFFDt\uFFFD.mp4|")) + QFile::encodeName(home_.path()) +
                            "/%E9t%E9.mp4|";
    EXPECT_TRUE(file("date_f.dat").startsWith(line + "0\r\n")) << file("date_f.dat").constData();
    EXPECT_TRUE(file("f.htm").contains(encodeAnsi(QStringLiteral("\uFFFDt\uFFFD.mp4"))));

    ASSERT_TRUE(waitFor([&] { return player().Position() >= 4; }, 8000));
    window_->playbackModule().bo_but_Click(1);
    const auto stored = parseLocalPlayLine(decodeAnsi(file("date_f.dat")).split(QStringLiteral("\r\n")).value(0));
    ASSERT_TRUE(stored);
    EXPECT_EQ(fileNameBytes(stored->path), bytes);
    EXPECT_GE(stored->position, 2) << "the position the status tick last saw";

    // Opened again from the local list: that file, where it stopped.
    window_->webPane(4)->navigate(QStringLiteral("open://1"));
    ASSERT_TRUE(playing(8000)) << dialogs_.messages.join(u',').toStdString();
    EXPECT_EQ(fileNameBytes(player().Url()), bytes);
    EXPECT_TRUE(waitFor([&] { return player().Position() >= stored->position; }, 3000)) << player().Position();
    EXPECT_TRUE(dialogs_.messages.isEmpty());
    window_->playbackModule().bo_but_Click(1);
    std::remove(bytes.constData()); // the temporary folder cannot name it
}
