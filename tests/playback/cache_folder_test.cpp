// The cache folder in the player's two files, compared byte for byte.
#include "playback/cache_folder.h"

#include "support/fake_dialogs.h"
#include "platform/ansi_codec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

class CacheFolder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path() + u'/'; }
    void put(const char *name, const QByteArray &bytes) {
        QFile f(folder() + QString::fromLatin1(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray bytes(const char *name) const {
        QFile f(folder() + QString::fromLatin1(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

const QByteArray kXml = "<?xml version=\"1.0\"?>\r\n<Config>\r\n"
                        "<Save Defaultsavepath=\"/data/old/\" Limit=\"4\"/>\r\n"
                        "<Copy Defaultsavepath=\"/data/old/\"/>\r\n</Config>\r\n";

TEST_F(CacheFolder, LookupPrefersTheConfigAndFallsThroughOnZeroOrEmpty) {
    put("PeerCfg.ini", "[NBPEERTERMINAL]\r\ndefaultsavepath=/srv/cache/\r\n");
    put("PeerPlayer.xml", kXml);
    EXPECT_EQ(lookUpCacheFolder(folder()), QStringLiteral("/srv/cache/"));

    put("PeerCfg.ini", "[NBPEERTERMINAL]\r\ndefaultsavepath=0\r\n");
    EXPECT_EQ(lookUpCacheFolder(folder()), QStringLiteral("/data/old/"));
    put("PeerCfg.ini", "[nbpeerterminal]\r\nDefaultSavePath=\r\n");
    EXPECT_EQ(lookUpCacheFolder(folder()), QStringLiteral("/data/old/"));
}

TEST_F(CacheFolder, LookupFallsBackWithoutFilesFolderOrAttribute) {
    // A folder of the program's own in the user's video folder, never one
    // the user keeps films of their own in.
    qputenv("XDG_VIDEOS_DIR", "/data/films");
    EXPECT_EQ(fallbackCacheFolder(), QStringLiteral("/data/films/Vantoli/"));
    qputenv("XDG_VIDEOS_DIR", "relative/films"); // not a folder to trust
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8()); // and no user-dirs.dirs
    const QString fallback = QDir::homePath() + QStringLiteral("/Videos/Vantoli/");
    EXPECT_EQ(fallbackCacheFolder(), fallback);
    qunsetenv("XDG_VIDEOS_DIR");
    EXPECT_EQ(fallbackCacheFolder(), fallback);
    EXPECT_EQ(lookUpCacheFolder(folder()), fallback);
    EXPECT_EQ(lookUpCacheFolder(QString()), fallback);
    put("PeerPlayer.xml", "<Config>\r\n<Save Limit=\"4\"/>\r\n</Config>\r\n");
    EXPECT_EQ(lookUpCacheFolder(folder()), fallback);
    // The attribute without its quotes names no folder.
    put("PeerPlayer.xml", "<Save Defaultsavepath=/data/old/ />\r\n");
    EXPECT_EQ(lookUpCacheFolder(folder()), QString());
    put("PeerPlayer.xml", "<Save Defaultsavepath=\"/data/old/\r\n\"/>\r\n");
    EXPECT_EQ(lookUpCacheFolder(folder()), QString());
}

TEST_F(CacheFolder, SetWithNeitherFileCreatesTheConfigOnly) {
    setCacheFolder(folder(), QStringLiteral("/media/films/"));
    EXPECT_EQ(bytes("PeerCfg.ini"), QByteArray("[NBPEERTERMINAL]\r\ndefaultsavepath=/media/films/\r\n"));
    EXPECT_FALSE(QFile::exists(folder() + QStringLiteral("PeerPlayer.xml")));
    EXPECT_EQ(lookUpCacheFolder(folder()), QStringLiteral("/media/films/"));
}

TEST_F(CacheFolder, SetRewritesEveryOccurrenceAndKeepsTheRestOfBothFiles) {
    put("PeerCfg.ini", "; player\r\n[NBPEERTERMINAL]\r\nport=9000\r\ndefaultsavepath=/data/old/\r\n");
    put("PeerPlayer.xml", kXml);
    setCacheFolder(folder(), QStringLiteral("/media/new/"));
    QByteArray want = kXml;
    want.replace("/data/old/", "/media/new/");
    EXPECT_EQ(bytes("PeerPlayer.xml"), want);
    EXPECT_EQ(bytes("PeerCfg.ini"),
              QByteArray("; player\r\n[NBPEERTERMINAL]\r\nport=9000\r\ndefaultsavepath=/media/new/\r\n"));

    // Back again, and the XML alone gives the same answer.
    setCacheFolder(folder(), QStringLiteral("/data/old/"));
    EXPECT_EQ(bytes("PeerPlayer.xml"), kXml);
    QFile::remove(folder() + QStringLiteral("PeerCfg.ini"));
    EXPECT_EQ(lookUpCacheFolder(folder()), QStringLiteral("/data/old/"));
}

TEST_F(CacheFolder, SetLeavesAnXmlAloneThatItCannotChangeSafely) {
    const QByteArray noAttribute = "<Config>\n<Save Limit=\"4\"/>\n</Config>";
    put("PeerPlayer.xml", noAttribute);
    setCacheFolder(folder(), QStringLiteral("/media/new/"));
    EXPECT_EQ(bytes("PeerPlayer.xml"), noAttribute);
    EXPECT_EQ(lookUpCacheFolder(folder()), QStringLiteral("/media/new/"));

    // A quote in the new folder would end the attribute early.
    put("PeerPlayer.xml", kXml);
    setCacheFolder(folder(), QStringLiteral("/media/say \"hi\"/"));
    EXPECT_EQ(bytes("PeerPlayer.xml"), kXml);

    // A line break would split the config's line: nothing is written at all.
    const QByteArray config = bytes("PeerCfg.ini");
    setCacheFolder(folder(), QStringLiteral("/media/a\r\n[x]\r\n"));
    EXPECT_EQ(bytes("PeerCfg.ini"), config);
    // Empty arguments do nothing.
    setCacheFolder(folder(), QString());
    setCacheFolder(QString(), QStringLiteral("/x/"));
    EXPECT_EQ(bytes("PeerCfg.ini"), config);
}

TEST_F(CacheFolder, ChineseFoldersKeepTheXmlsOwnEncoding) {
    const QString chinese = QStringLiteral("/媒体/电影/");
    // UTF-8 file stays UTF-8.
    put("PeerPlayer.xml", QByteArray("<Save Defaultsavepath=\"/旧/\"/>\r\n"));
    setCacheFolder(folder(), chinese);
    EXPECT_EQ(bytes("PeerPlayer.xml"), (QStringLiteral("<Save Defaultsavepath=\"") + chinese +
                                        QStringLiteral("\"/>\r\n")).toUtf8());
    // A GBK file stays GBK.
    put("PeerPlayer.xml", encodeAnsi(QStringLiteral("<Save Defaultsavepath=\"/旧/\"/>\r\n")));
    QFile::remove(folder() + QStringLiteral("PeerCfg.ini"));
    EXPECT_EQ(lookUpCacheFolder(folder()), QStringLiteral("/旧/"));
    setCacheFolder(folder(), chinese);
    EXPECT_EQ(bytes("PeerPlayer.xml"), encodeAnsi(QStringLiteral("<Save Defaultsavepath=\"") + chinese +
                                                  QStringLiteral("\"/>\r\n")));
    EXPECT_EQ(lookUpCacheFolder(folder()), chinese);
}

TEST(BrowseForFolder, TitleInitialFolderAndCancel) {
    FakeDialogs dialogs;
    dialogs.chosenFolder = QStringLiteral("/media/films");
    EXPECT_EQ(browseForFolder(dialogs, QStringLiteral("/media/"), QStringLiteral("请选择影片下载存放的文件夹")),
              QStringLiteral("/media/films"));
    dialogs.chosenFolder.clear();
    EXPECT_EQ(browseForFolder(dialogs, QString(), QString()), QString());
    EXPECT_EQ(dialogs.folderDialogs, (QStringList{QStringLiteral("请选择影片下载存放的文件夹|/media/"),
                                                  QStringLiteral("请选择文件夹|")}));
}

} // namespace
