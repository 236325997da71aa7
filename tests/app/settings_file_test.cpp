#include "app/settings_file.h"
#include "app/app_settings.h"

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

// The typed keys: what a missing key and odd stored forms mean, and the bytes
// the writers leave in the file.

TEST_F(SettingsFileTest, MissingKeysReadAsTheProgramAlwaysTookThem) {
    const AppSettings s{Settings(path())};
    for (const AppSetting &k : appSettings()) {
        EXPECT_EQ(s.text(k.id), QStringLiteral("0")) << k.key.toString().toStdString();
        EXPECT_EQ(s.number(k.id), 0) << k.key.toString().toStdString();
        if (k.form == SettingForm::Switch)
            EXPECT_FALSE(s.isOn(k.id) || s.isOff(k.id)) << k.key.toString().toStdString();
    }
    EXPECT_TRUE(s.closeHidesToTray()); // only "1" exits
    EXPECT_FALSE(s.closeQuestionPending());
    EXPECT_FALSE(s.rememberWindowSize());
    EXPECT_FALSE(s.balloonsWanted());
    EXPECT_FALSE(s.bufferNextEpisode());
    EXPECT_FALSE(s.keepPlayerApplication());
    EXPECT_EQ(s.windowSizeTwips(), QSize(0, 0));
    EXPECT_EQ(s.skin(), 0);
    EXPECT_EQ(s.installTag(), QStringLiteral("0"));
    EXPECT_EQ(s.storedPlayerFolder(), QStringLiteral("0"));
}

TEST_F(SettingsFileTest, SwitchesAndNumbersReadAsNumbers) {
    const AppSettings s{Settings(path())};
    struct Case {
        const char *stored;
        bool on, off;
    };
    for (const Case &c : {Case{"2", true, false}, Case{" 2", true, false}, Case{"2.0", true, false},
                          Case{"1", false, true}, Case{"1.0", false, true}, Case{"", false, false},
                          Case{"abc", false, false}, Case{"2x", false, false}, Case{"22", false, false},
                          Case{"0", false, false}, Case{"3", false, false}}) {
        writeRaw("[s_q]\r\nS_PAO=" + QByteArray(c.stored) + "\r\nquit=" + c.stored + "\r\n");
        EXPECT_EQ(s.balloonsWanted(), c.on) << c.stored;
        EXPECT_EQ(s.isOff(AppKey::s_pao), c.off) << c.stored;
        EXPECT_EQ(s.closeHidesToTray(), !c.off) << c.stored;
    }
    writeRaw("[S_q]\r\nts=3.0\r\nh_w= 14850\r\nh_h=9830.9\r\n[skin]\r\nnum= 1\r\n[user]\r\nname=\r\n");
    EXPECT_TRUE(s.closeQuestionPending());
    EXPECT_EQ(s.windowSizeTwips(), QSize(14850, 9830));
    EXPECT_EQ(s.skin(), 1);
    EXPECT_EQ(s.machineIdentifier(), QString()); // empty, not the default
    // Lengths beyond an int, or no number at all, are 0; skins other than 1 are 0.
    writeRaw("[S_q]\r\nh_w=1e12\r\nh_h=-3\r\n[Skin]\r\nNum=2\r\n");
    EXPECT_EQ(s.windowSizeTwips(), QSize(0, -3));
    EXPECT_EQ(s.skin(), 0);
    writeRaw("[S_q]\r\nh_w=abc\r\nh_h=-1e300\r\n");
    EXPECT_EQ(s.windowSizeTwips(), QSize(0, 0));
}

TEST_F(SettingsFileTest, TypedWritersWriteTheProgramsTextAndReadBack) {
    writeRaw("; kept\r\n[user]\r\nName=id\r\n[S_q]\r\nquit = 1\r\n");
    const AppSettings s{Settings(path())};
    s.setCloseHidesToTray(true);
    s.setCloseQuestionAsked();
    s.setWindowSizeTwips(QSize(15000, 9000));
    s.setSkin(1);
    s.setSwitch(AppKey::s_pao, false);
    s.setStoredPlayerFolder(QStringLiteral("/opt/播放器/"));
    s.setText(AppKey::User_Name, QStringLiteral("00-11"));
    EXPECT_EQ(raw(), QByteArray("; kept\r\n[user]\r\nName=00-11\r\n[S_q]\r\nquit=2\r\nts=1\r\nh_w=15000\r\n"
                                "h_h=9000\r\ns_pao=1\r\npeerw=/opt/\xB2\xA5\xB7\xC5\xC6\xF7/\r\n"
                                "[Skin]\r\nNum=1\r\n"));
    EXPECT_TRUE(s.closeHidesToTray());
    EXPECT_FALSE(s.closeQuestionPending());
    EXPECT_EQ(s.windowSizeTwips(), QSize(15000, 9000));
    EXPECT_EQ(s.skin(), 1);
    EXPECT_TRUE(s.isOff(AppKey::s_pao));
    EXPECT_EQ(s.storedPlayerFolder(), QStringLiteral("/opt/播放器/"));
    EXPECT_EQ(s.machineIdentifier(), QStringLiteral("00-11"));
}
