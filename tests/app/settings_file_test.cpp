#include "app/settings_file.h"

#include "platform/ansi_codec.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    QString path() const { return dir_.filePath(QStringLiteral("App.ini")); }
    void writeRaw(const QByteArray &bytes) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray raw() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir_;
};

} // namespace

TEST_F(SettingsFileTest, ReadSemantics) {
    writeRaw("[S_q]\r\nempty=\r\nts = 2 \r\nquoted=\"a b\"\r\nk=\"\"\r\nlong=" + QByteArray(300, 'x') +
             "\r\nnul=ab" + QByteArray(1, '\0') + "cd\r\n[User]\r\nName=\xD6\xD0\r\n");
    EXPECT_EQ(readSetting(path(), "S_q", "missing"), QStringLiteral("0"));
    EXPECT_EQ(readSetting(path(), "S_q", "missing", QString()), QString());
    EXPECT_EQ(readSetting(path(), "nosection", "ts"), QStringLiteral("0"));
    EXPECT_EQ(readSetting(path(), "S_q", "empty"), QString());
    EXPECT_EQ(readSetting(path(), "s_Q", "TS"), QStringLiteral("2"));
    EXPECT_EQ(readSetting(path(), "S_q", "quoted"), QStringLiteral("a b"));
    EXPECT_EQ(readSetting(path(), "S_q", "k", QStringLiteral("dflt")), QString());
    EXPECT_EQ(readSetting(path(), "S_q", "long"), QString(254, u'x'));
    EXPECT_EQ(readSetting(path(), "S_q", "nul"), QStringLiteral("ab"));
    EXPECT_EQ(readSetting(path(), "user", "name"), QStringLiteral("中"));
    EXPECT_EQ(readSetting(dir_.filePath("none.ini"), "S_q", "ts"), QStringLiteral("0"));
}

TEST_F(SettingsFileTest, ConventionsCommentsDuplicatesAndOddContent) {
    writeRaw("key=outside\n; comment=1\n# k=2\n[a]\nk=first\nk=second\n[b]\nx=1\n[A]\nk=third\nj=4\r"
             "[broken\nnoequals\n\xFF\xFE=bin\n");
    EXPECT_EQ(readSetting(path(), "a", "k"), QStringLiteral("first"));
    EXPECT_EQ(readSetting(path(), "a", "j"), QStringLiteral("4"));
    EXPECT_EQ(readSetting(path(), "a", "; comment"), QStringLiteral("0"));
    EXPECT_EQ(readSetting(path(), "", "key"), QStringLiteral("0"));
    EXPECT_EQ(readSetting(path(), "b", "x"), QStringLiteral("1"));
}

TEST_F(SettingsFileTest, WritingOneKeyKeepsTheRest) {
    writeRaw("; my settings\r\n[main]\r\nName=Other\r\n\r\n[S_q]\r\nts=3\r\nup = 1\r\n\r\n[zz]\r\nb=\xFF\r\n");
    ASSERT_TRUE(writeSetting(path(), "MAIN", "name", "Vantoli"));
    ASSERT_TRUE(writeSetting(path(), "S_q", "quit", "2"));
    ASSERT_TRUE(writeSetting(path(), "new", "k", "v"));
    ASSERT_TRUE(writeSetting(path(), "S_q", "up", "2"));
    EXPECT_EQ(raw(), QByteArray("; my settings\r\n[main]\r\nName=Vantoli\r\n\r\n[S_q]\r\nts=3\r\nup=2\r\n"
                                "quit=2\r\n\r\n[zz]\r\nb=\xFF\r\n[new]\r\nk=v\r\n"));
}

TEST_F(SettingsFileTest, CreatesTheFileAndWritesGbkWithCrLf) {
    ASSERT_TRUE(writeSetting(path(), "main", "Name", "中文"));
    ASSERT_TRUE(writeSetting(path(), "main", "Two", "a\r\nb"));
    EXPECT_EQ(raw(), QByteArray("[main]\r\nName=\xD6\xD0\xCE\xC4\r\nTwo=a  b\r\n"));
    EXPECT_EQ(readSetting(path(), "main", "Two"), QStringLiteral("a  b"));
}

TEST_F(SettingsFileTest, EmptyValueIsWrittenAndReadAsEmpty) {
    Settings s(path());
    ASSERT_TRUE(s.write("S_q", "peerw", ""));
    EXPECT_EQ(s.read("S_q", "peerw"), QString());
}
