// History commands on a real history folder, with fakes for the window, the
// dialogs and (where a file must refuse to go) the download folder.

#include "history/history_commands.h"

#include "support/fake_dialogs.h"
#include "history/history_files.h"
#include "terminal/transfer_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vantoli;

namespace {

class FakeHost : public HistoryCommandsHost {
public:
    bool localList = false;
    QString entry;
    QString folder = QStringLiteral("/media/films/");
    bool pinned = false;
    QStringList log; // navigations, pop-ups, unpin, balloons, in order

    bool localListShown() const override { return localList; }
    QString contextEntry() const override { return entry; }
    void navigateTaskList(const QString &link) override { log << QStringLiteral("navigate ") + link; }
    void popupTaskMenu(const QPoint &p) override { log << QStringLiteral("menu %1,%2").arg(p.x()).arg(p.y()); }
    QString downloadFolder() override { return folder; }
    bool isPinned() const override { return pinned; }
    void unpin() override {
        log << QStringLiteral("unpin");
        pinned = false;
    }
    void balloon(const QString &text) override { log << QStringLiteral("balloon ") + text; }
};

class FakeFiles : public FolderFiles {
public:
    QStringList names;
    QStringList hidden; // hidden names: listed never, found by hasFile
    QStringList stuck;  // names that stay after removal
    QStringList removed, listed;

    QStringList listFiles(const QString &folder) override {
        listed << folder;
        return names;
    }
    bool removeFile(const QString &, const QString &name) override {
        removed << name;
        if (stuck.contains(name))
            return false;
        names.removeAll(name);
        hidden.removeAll(name);
        return true;
    }
    bool hasFile(const QString &, const QString &name) override {
        return names.contains(name) || hidden.contains(name);
    }
    // The transfer program's downloads: address -> file name.
    QMap<QString, QString> transfers;
    QString transferFile(const QString &, const QString &url) override { return transfers.value(url); }
    bool removeTransferFile(const QString &, const QString &url) override {
        const QString name = transfers.take(url);
        removed << name;
        if (stuck.contains(name))
            return false;
        names.removeAll(name);
        return true;
    }
};

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// A P2P address whose third "|" field names the file, escaped as the
// history stores it.
const QByteArray kP2pLine = "7|%u5267|01|peer%3A//host%7Cab12%7C0123456789.mkv%7C5000|0|0|0";
const QByteArray kWebLine = "8|web|02|http%3A//example.invalid/v.mp4|0|1|0";

class HistoryCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(dir.filePath(QStringLiteral("date.dat")), "1|a|b|c|0|0|0\r\n" + kP2pLine + "\r\n" + kWebLine + "\r\n");
        writeFile(dir.filePath(QStringLiteral("date_f.dat")), "x.mp4|/m/x.mp4|0\r\n");
    }
    QByteArray tasks() const { return readAll(dir.filePath(QStringLiteral("date.dat"))); }
    QByteArray locals() const { return readAll(dir.filePath(QStringLiteral("date_f.dat"))); }
    QString question() const { return dialogs.questions.value(0); }

    QTemporaryDir dir;
    HistoryStore history{dir.path()};
    FakeHost host;
    FakeDialogs dialogs;
    FakeFiles files;
    HistoryCommands commands{host, history, dialogs, files};
};

} // namespace

TEST(DownloadStem, HalfTheStemRoundedToEvenOrTheWholeStemBelowThree) {
    const std::pair<const char *, const char *> cases[] = {
        {"abcd.mkv", "abcd"},             // 4 -> 2, below 3: whole stem
        {"abcde.rmvb", "abcde"},          // 5 -> 2.5 -> 2: whole stem
        {"abcdef.avi", "abc"},            // 6 -> 3
        {"abcdefg.avi", "abcd"},          // 7 -> 3.5 -> 4
        {"abcdefghi.avi", "abcd"},        // 9 -> 4.5 -> 4
        {"0123456789.mkv", "01234"},      // 10 -> 5
        {"0123456789a.mkv", "012345"},    // 11 -> 5.5 -> 6
        {"a.b.c", "a.b"},                 // up to the last dot
        {"第一集高清版.rmvb", "第一集"},  // characters, not bytes
        {"noextension", ""},
        {".mkv", ""},
    };
    for (const auto &[name, prefix] : cases)
        EXPECT_EQ(downloadNamePrefix(QString::fromUtf8(name)), QString::fromUtf8(prefix)) << name;

    EXPECT_EQ(downloadFileName(QStringLiteral("peer%3A//h%7C1%7C%u7B2C1.rmvb%7C9")), QStringLiteral("第1.rmvb"));
    // The file name field is unescaped once more on its own.
    EXPECT_EQ(downloadFileName(QStringLiteral("p://h%7C1%7Ca%2520b.mkv")), QStringLiteral("a b.mkv"));
    EXPECT_EQ(downloadFileName(QStringLiteral("http%3A//example.invalid/v.mp4")), QString());
    EXPECT_EQ(downloadFileName(QStringLiteral("p://h%7Conly-two")), QString());

    // The address the transfer program knows an http(s) item by.
    EXPECT_EQ(transferItemUrl(QStringLiteral("http%3A//h%3A8260/media/t1/s0e02.mp4")),
              QStringLiteral("http://h:8260/media/t1/s0e02.mp4"));
    EXPECT_EQ(transferItemUrl(QStringLiteral("file%3A///m/x.mp4")), QString());
    EXPECT_EQ(transferItemUrl(QStringLiteral("peer%3A//h%7Cab%7Cx.mkv")), QString());
}

TEST_F(HistoryCommandsTest, AnHttpItemTheTransferProgramDownloadedIsDeletedWithItsRecord) {
    // Entry 3 is http://example.invalid/v.mp4; only with the transfer
    // program's record beside it is the file its download.
    files.names = {QStringLiteral("v.mp4"), QStringLiteral("other.mp4")};
    host.entry = QStringLiteral("open://3");
    commands.eee();
    EXPECT_TRUE(dialogs.questions.isEmpty()) << "a web item asks nothing";
    EXPECT_EQ(host.log, QStringList{QStringLiteral("navigate delk://3")});

    // Only the file the transfer program recorded for the address is
    // offered; "v.mp4", which merely carries the address's name, stays.
    files.names << QStringLiteral("v (2).mp4");
    files.transfers[QStringLiteral("http://example.invalid/v.mp4")] = QStringLiteral("v (2).mp4");
    dialogs.answer = true;
    host.log.clear();
    commands.eee();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].endsWith(QStringLiteral("\n\nv (2).mp4\n")));
    EXPECT_EQ(files.removed, QStringList{QStringLiteral("v (2).mp4")});
    EXPECT_EQ(files.names, (QStringList{QStringLiteral("v.mp4"), QStringLiteral("other.mp4")}));
    EXPECT_EQ(host.log, QStringList{QStringLiteral("navigate delk://3")});
}

TEST_F(HistoryCommandsTest, DeleteDownloadAsksWithTheMatchesAndDeletesThemAndTheEntry) {
    host.entry = QStringLiteral("open://2/");
    files.names = {QStringLiteral("0123456789.mkv"), QStringLiteral("01234-part.tmp"), QStringLiteral("0123.mkv"),
                   QStringLiteral("x01234.mkv")};
    dialogs.answer = true;
    commands.eee();
    EXPECT_EQ(question(), QStringLiteral("提示：确定要删除 [/media/films/] 下面的这些文件吗？\n\n"
                                         "0123456789.mkv\n01234-part.tmp\n"));
    EXPECT_EQ(files.removed, (QStringList{QStringLiteral("0123456789.mkv"), QStringLiteral("01234-part.tmp")}));
    EXPECT_EQ(host.log, QStringList{QStringLiteral("navigate delk://2")});
    EXPECT_TRUE(dialogs.openedFolders.isEmpty());
}

TEST_F(HistoryCommandsTest, AnsweringNoOpensTheFolderAndStillDeletesTheEntry) {
    host.entry = QStringLiteral("open://2");
    files.names = {QStringLiteral("0123456789.mkv")};
    commands.eee();
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(files.removed.isEmpty());
    EXPECT_EQ(dialogs.openedFolders, QStringList{QStringLiteral("/media/films/")});
    EXPECT_EQ(host.log, QStringList{QStringLiteral("navigate delk://2")});
}

TEST_F(HistoryCommandsTest, UndeletableFilesGiveOneBalloonAndTheEntryStillGoes) {
    host.entry = QStringLiteral("open://2");
    files.names = {QStringLiteral("01234a.mkv"), QStringLiteral("01234b.mkv"), QStringLiteral("01234c.mkv")};
    files.stuck = {QStringLiteral("01234a.mkv"), QStringLiteral("01234c.mkv")};
    dialogs.answer = true;
    commands.eee();
    EXPECT_EQ(files.removed.size(), 3) << "a failure does not stop the others";
    EXPECT_EQ(host.log, (QStringList{QStringLiteral("balloon ") + kFilesInUseBalloon,
                                     QStringLiteral("navigate delk://2")}));
}

TEST_F(HistoryCommandsTest, EntriesWithoutAFileNameDeleteOnlyTheEntry) {
    files.names = {QStringLiteral("0123456789.mkv"), QStringLiteral("web.mp4")};
    // A web item, a line that is no entry, a line past the end, no number,
    // and a context entry that already is a delete link.
    const std::pair<const char *, const char *> cases[] = {
        {"open://3", "navigate delk://3"},      {"open://1", "navigate delk://1"},
        {"open://9", "navigate delk://9"},      {"open://x/", "navigate delk://x"},
        {"delk://3/", "navigate delk://3"},
    };
    for (const auto &[entry, navigation] : cases) {
        host.log.clear();
        host.entry = QString::fromLatin1(entry);
        commands.eee();
        EXPECT_EQ(host.log, QStringList{QString::fromLatin1(navigation)}) << entry;
    }
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(files.removed.isEmpty());

    // No match in the folder: nothing asked either.
    files.names = {QStringLiteral("other.mkv")};
    host.log.clear();
    host.entry = QStringLiteral("open://2");
    commands.eee();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(host.log, QStringList{QStringLiteral("navigate delk://2")});

    // Without date.dat only the entry link is sent.
    QFile::remove(dir.filePath(QStringLiteral("date.dat")));
    files.names = {QStringLiteral("0123456789.mkv")};
    host.log.clear();
    commands.eee();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(host.log, QStringList{QStringLiteral("navigate delk://2")});
}

TEST_F(HistoryCommandsTest, PlayAndDeleteSelectedGoThroughTheTaskListLinks) {
    host.entry = QStringLiteral("open://3/");
    commands.CCC();
    commands.ddd();
    EXPECT_EQ(host.log, (QStringList{QStringLiteral("navigate open://3/"), QStringLiteral("navigate delk://3/")}));
    // No entry remembered (or no link in it): nothing happens.
    host.log.clear();
    for (const char *entry : {"", "open:3"}) {
        host.entry = QString::fromLatin1(entry);
        commands.CCC();
        commands.ddd();
        commands.eee();
    }
    EXPECT_TRUE(host.log.isEmpty());
}

TEST_F(HistoryCommandsTest, LabelClickClearsTheLocalListOnlyAfterYes) {
    // Task list shown: the task menu at the pointer, never a clear.
    dialogs.answer = true;
    commands.labelClicked(QPoint(40, 50));
    EXPECT_EQ(host.log, QStringList{QStringLiteral("menu 40,50")});
    EXPECT_TRUE(dialogs.questions.isEmpty());
    const QByteArray before = tasks();
    EXPECT_TRUE(before.startsWith("1|a|"));

    host.localList = true;
    dialogs.answer = false;
    commands.labelClicked(QPoint(40, 50));
    EXPECT_EQ(dialogs.questions, QStringList{QStringLiteral("提示：确定要删除全部[本地播放]列表吗？")});
    EXPECT_EQ(locals(), "x.mp4|/m/x.mp4|0\r\n");

    dialogs.answer = true;
    commands.labelClicked(QPoint(40, 50));
    EXPECT_EQ(locals(), "\r\n");
    EXPECT_FALSE(readAll(dir.filePath(QStringLiteral("f.htm"))).contains("x.mp4"));
    EXPECT_EQ(tasks(), before);
    EXPECT_EQ(host.log.size(), 1) << "no menu while the local list is shown";
}

TEST_F(HistoryCommandsTest, ClearTaskListOnlyWhileTheTaskListIsShown) {
    host.localList = true;
    dialogs.answer = true;
    commands.qk_xl();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(tasks().startsWith("1|a|"));

    host.localList = false;
    dialogs.answer = false;
    commands.qk_xl();
    EXPECT_EQ(question(), QStringLiteral("提示：确定要删除全部[网络任务]列表吗？"));
    EXPECT_TRUE(tasks().startsWith("1|a|"));
    dialogs.answer = true;
    commands.qk_xl();
    EXPECT_EQ(tasks(), "\r\n");
    EXPECT_TRUE(readAll(dir.filePath(QStringLiteral("c.htm"))).size() > 0);
    EXPECT_EQ(locals(), "x.mp4|/m/x.mp4|0\r\n");
}

TEST_F(HistoryCommandsTest, ManageDownloadsUnpinsAndOpensTheFolderOrSaysItIsEmpty) {
    commands.qk_xw();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("提示：路径/media/films/还没有任何影片。")});
    EXPECT_TRUE(dialogs.openedFolders.isEmpty());

    host.pinned = true;
    commands.qk_xw();
    EXPECT_TRUE(host.log.isEmpty()) << "an empty folder leaves the window pinned";

    files.names = {QStringLiteral("a.mkv")};
    commands.qk_xw();
    EXPECT_EQ(host.log, QStringList{QStringLiteral("unpin")});
    EXPECT_EQ(dialogs.openedFolders, QStringList{QStringLiteral("/media/films/")});
    commands.qk_xw();
    EXPECT_EQ(host.log.size(), 1) << "not pinned: opened without unpinning";
    EXPECT_EQ(dialogs.openedFolders.size(), 2);
}

// ---- the real download folder ----------------------------------------------

class DiskFolderFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("cache/sub")));
        folder = root.filePath(QStringLiteral("cache")) + u'/';
        writeFile(folder + QStringLiteral("film.mkv"), "f");
        writeFile(folder + QStringLiteral(".film.mkv.vantoli"), "state");
        writeFile(root.filePath(QStringLiteral("outside.mkv")), "keep");
        ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("outside.mkv")), folder + QStringLiteral("link.mkv")));
        ASSERT_TRUE(QFile::link(folder + QStringLiteral("sub"), folder + QStringLiteral("dirlink")));
        ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("gone.mkv")), folder + QStringLiteral("broken.mkv")));
        ASSERT_EQ(::mkfifo(QFile::encodeName(folder + QStringLiteral("pipe")).constData(), 0600), 0);
    }
    bool present(const QString &path) const { return QFileInfo(path).exists() || QFileInfo(path).isSymLink(); }

    QTemporaryDir root;
    QString folder;
    DiskFolderFiles files;
};

TEST_F(DiskFolderFilesTest, ListsFilesAndLinksToFilesOnly) {
    EXPECT_EQ(files.listFiles(folder), (QStringList{QStringLiteral("broken.mkv"), QStringLiteral("film.mkv"),
                                                    QStringLiteral("link.mkv")}));
    EXPECT_EQ(files.listFiles(folder.chopped(1)).size(), 3) << "a folder without its slash";
    EXPECT_TRUE(files.listFiles(QString()).isEmpty());
    EXPECT_TRUE(files.listFiles(QStringLiteral("cache/")).isEmpty()) << "relative folders are never listed";
    EXPECT_TRUE(files.listFiles(root.filePath(QStringLiteral("missing/"))).isEmpty());
}

TEST_F(DiskFolderFilesTest, DeletesLinksNotTheirTargetsAndNothingOutsideTheFolder) {
    EXPECT_TRUE(files.removeFile(folder, QStringLiteral("link.mkv")));
    EXPECT_FALSE(present(folder + QStringLiteral("link.mkv")));
    EXPECT_EQ(readAll(root.filePath(QStringLiteral("outside.mkv"))), "keep");
    EXPECT_TRUE(files.removeFile(folder, QStringLiteral("broken.mkv")));
    EXPECT_FALSE(present(folder + QStringLiteral("broken.mkv")));
    EXPECT_TRUE(files.removeFile(folder, QStringLiteral("film.mkv")));
    EXPECT_TRUE(files.removeFile(folder, QStringLiteral("film.mkv"))) << "already gone is no failure";

    for (const char *name : {"../outside.mkv", "..", ".", "", "sub/x"})
        EXPECT_FALSE(files.removeFile(folder, QString::fromLatin1(name))) << name;
    EXPECT_FALSE(files.removeFile(folder, QStringLiteral("sub")));
    EXPECT_FALSE(files.removeFile(QStringLiteral("cache/"), QStringLiteral("x")));
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("sub")).isDir());
    EXPECT_EQ(readAll(root.filePath(QStringLiteral("outside.mkv"))), "keep");
}

TEST_F(DiskFolderFilesTest, AHistoryNameLeadingOutOfTheFolderMatchesNothing) {
    // The history names "../outside.mkv"; its prefix never matches a name
    // the folder lists, so the file beside the folder stays.
    QTemporaryDir program;
    writeFile(program.filePath(QStringLiteral("date.dat")), "5|t|e|p%3A//h%7C1%7C..%252Foutside.mkv%7C2|0|0|0\r\n");
    HistoryStore history(program.path());
    FakeHost host;
    host.entry = QStringLiteral("open://1");
    host.folder = folder;
    FakeDialogs dialogs;
    dialogs.answer = true;
    HistoryCommands commands(host, history, dialogs, files);
    commands.eee();
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(readAll(root.filePath(QStringLiteral("outside.mkv"))), "keep");
    EXPECT_EQ(host.log, QStringList{QStringLiteral("navigate delk://1")});
}

// Two cached episodes whose names share a prefix, as the transfer program
// leaves them: deleting one entry's download deletes that file and its
// record only. A file that took the place of a recorded one is not offered.
TEST_F(DiskFolderFilesTest, AnHttpItemsDownloadIsExactlyTheRecordedFile) {
    const auto cache = [&](const QString &name, const QString &url) {
        writeFile(folder + name, "episode");
        terminal::ItemState s;
        s.url = url;
        s.name = name;
        s.total = s.have = 7;
        s.file = *terminal::identityOf(folder + name);
        ASSERT_TRUE(terminal::writeItemState(folder + terminal::stateFileName(name), s));
    };
    cache(QStringLiteral("ep1.mp4"), QStringLiteral("http://h/s/ep1.mp4"));
    cache(QStringLiteral("ep10.mp4"), QStringLiteral("http://h/s/ep10.mp4"));
    cache(QStringLiteral("ep2.mp4"), QStringLiteral("http://h/s/ep2.mp4"));
    QTemporaryDir program;
    writeFile(program.filePath(QStringLiteral("date.dat")),
              "1|t|e|http%3A//h/s/ep1.mp4|0|0|0\r\n2|t|e|http%3A//h/s/ep2.mp4|0|0|0\r\n");
    HistoryStore history(program.path());
    FakeHost host;
    host.folder = folder;
    FakeDialogs dialogs;
    dialogs.answer = true;
    HistoryCommands commands(host, history, dialogs, files);

    host.entry = QStringLiteral("open://1");
    commands.eee();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].endsWith(QStringLiteral("\n\nep1.mp4\n")));
    EXPECT_FALSE(present(folder + QStringLiteral("ep1.mp4")));
    EXPECT_FALSE(present(folder + QStringLiteral(".ep1.mp4.vantoli")));
    EXPECT_EQ(readAll(folder + QStringLiteral("ep10.mp4")), "episode");
    EXPECT_TRUE(present(folder + QStringLiteral(".ep10.mp4.vantoli")));

    // The user put a film of their own where ep2.mp4 was.
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("ep2.mp4")));
    writeFile(folder + QStringLiteral("ep2.mp4"), "the user's own film");
    host.entry = QStringLiteral("open://2");
    commands.eee();
    EXPECT_EQ(dialogs.questions.size(), 1) << "nothing to offer";
    EXPECT_EQ(readAll(folder + QStringLiteral("ep2.mp4")), "the user's own film");
    EXPECT_EQ(host.log.last(), QStringLiteral("navigate delk://2"));
}

// A download the transfer program is still writing has grown since its last
// record; it is still its file. One that is complete must match exactly.
TEST_F(DiskFolderFilesTest, ADownloadStillArrivingIsStillTheRecordedFile) {
    const QString name = QStringLiteral("arriving.mp4");
    writeFile(folder + name, "abc");
    terminal::ItemState s;
    s.url = QStringLiteral("http://h/arriving.mp4");
    s.name = name;
    s.have = 3;
    s.total = 100;
    s.file = *terminal::identityOf(folder + name);
    ASSERT_TRUE(terminal::writeItemState(folder + terminal::stateFileName(name), s));
    QThread::msleep(20);
    {
        QFile f(folder + name);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("defgh"); // the same file, larger and newer
    }
    EXPECT_EQ(files.transferFile(folder, s.url), name);

    s.total = s.have = 3; // complete at 3 bytes: 8 bytes now is not what was recorded
    ASSERT_TRUE(terminal::writeItemState(folder + terminal::stateFileName(name), s));
    EXPECT_EQ(files.transferFile(folder, s.url), QString());
    EXPECT_TRUE(files.removeTransferFile(folder, s.url)) << "no recorded file is left";
    EXPECT_EQ(readAll(folder + name), "abcdefgh");
    EXPECT_FALSE(QFileInfo::exists(folder + terminal::stateFileName(name))) << "the stale record goes";
}
