#include "support/fake_dialogs.h"
#include "app/startup.h"
#include "playback/player.h"

#include "app/settings_file.h"
#include "platform/text_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

class FakeFactory : public PlayerFactory {
public:
    PlayerCreation result = PlayerCreation::Created;
    QStringList registered;
    PlayerCreation probe() override { return result; }
    void registerComponent(const QString &file) override { registered.append(file); }
    std::unique_ptr<Player> create(QWidget *, const QString &, const QString &) override { return nullptr; }
};

// Records the pages its store says it wrote, as the window reloads them.
class FakeWindow : public MainWindowHost {
public:
    explicit FakeWindow(const QString &folder) : store(folder) {
        QObject::connect(&store, &HistoryStore::pageWritten,
                         [this](HistoryList, const QString &page) { reloaded.append(page); });
    }
    ShowResult showResult = ShowResult::Shown;
    bool loadResult = true;
    int loads = 0, shows = 0;
    QStringList reloaded;
    HistoryStore store;
    void forget() {
        loads = shows = 0;
        reloaded.clear();
    }
    HistoryStore &history() override { return store; }
    bool load() override {
        ++loads;
        return loadResult;
    }
    ShowResult show() override {
        ++shows;
        return showResult;
    }
};

class StartupTest : public ::testing::Test {
protected:
    StartupContext ctx() {
        StartupContext c;
        c.programFolder = dir_.path();
        c.playerFactory = &factory_;
        c.dialogs = &dialogs_;
        c.makeWindow = [this]() -> MainWindowHost * {
            ++windowsMade_;
            return &window_;
        };
        c.machineIdentifier = [this] { return id_; };
        return c;
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
    // Dates the file (or a link's target) back to 2020.
    void age(const QString &name) {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite | QIODevice::Append));
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(0, 0)), QFileDevice::FileModificationTime));
    }
    void makeComponentFile() {
        QDir(dir_.path()).mkpath(QStringLiteral("Peer"));
        writeRaw(kPlayerComponentFolder + kPlayerComponentFileName, "x");
    }

    QTemporaryDir dir_;
    FakeFactory factory_;
    FakeDialogs dialogs_;
    FakeWindow window_{dir_.path()};
    int windowsMade_ = 0;
    QString id_ = QStringLiteral("52-54-00-12-34-56");
};

const QByteArray kFirstStartIni =
    "[main]\r\nName=Vantoli\r\n[User]\r\nName=52-54-00-12-34-56\r\n[Skin]\r\nNum=0\r\n[Ver]\r\nName=1.0\r\n"
    "[S_q]\r\nts=3\r\nup=2\r\nquit=2\r\npeerk=2\r\ns_size=2\r\nh_w=14850\r\nh_h=9830\r\ns_h=2\r\n"
    "s_bo=2\r\ns_jd=2\r\npeerqi=2\r\ns_pao=2\r\n";

} // namespace

TEST_F(StartupTest, FirstStartWritesDefaultsFilesAndPages) {
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_EQ(raw("App.ini"), kFirstStartIni);
    EXPECT_EQ(raw("date.dat"), QByteArray("\r\n"));
    EXPECT_EQ(raw("date_f.dat"), QByteArray("\r\n"));
    EXPECT_TRUE(raw("c.htm").contains("<tr><td colspan=2 align=center>\xD4\xDD\xCE\xDE\xBC\xC7\xC2\xBC</td></tr>"));
    EXPECT_TRUE(raw("f.htm").contains("colspan=2"));
    // The window was loaded before the pages were rendered, once, then shown.
    EXPECT_EQ(window_.loads, 1);
    EXPECT_EQ(window_.shows, 1);
    EXPECT_EQ(window_.reloaded, (QStringList{file("c.htm"), file("f.htm")}));
    EXPECT_TRUE(dialogs_.questions.isEmpty());
    EXPECT_TRUE(dialogs_.messages.isEmpty());
}

TEST_F(StartupTest, RepairPassFixesOnlyWhatItMust) {
    writeRaw("App.ini",
             "[main]\r\nName=Hacked\r\ninst=7\r\n[User]\r\nName=old\r\n[Skin]\r\nNum=1\r\n[Ver]\r\nName=1.0\r\n"
             "[S_q]\r\nts=2\r\nup=1\r\nquit=\r\npeerk=0\r\ns_size=abc\r\nh_h=12000\r\ns_h=1\r\n"
             "s_bo=1\r\ns_jd=1\r\npeerqi=1\r\ns_pao=1\r\npeerw=/opt/x/\r\n");
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_EQ(raw("App.ini"),
              QByteArray("[main]\r\nName=Vantoli\r\ninst=7\r\n[User]\r\nName=52-54-00-12-34-56\r\n[Skin]\r\nNum=1\r\n"
                         "[Ver]\r\nName=1.0\r\n[S_q]\r\nts=2\r\nup=1\r\nquit=2\r\npeerk=2\r\ns_size=2\r\n"
                         "h_h=12000\r\ns_h=1\r\ns_bo=1\r\ns_jd=1\r\npeerqi=1\r\ns_pao=1\r\npeerw=/opt/x/\r\n"
                         "h_w=14850\r\n"));
}

TEST_F(StartupTest, RepairPassReadsTheSwitchesAsNumbersAsTheProgramDoes) {
    // "1.0" is off and "2.0" on for the settings dialog and the exit routine;
    // the repair pass must not turn them into something else.
    const QByteArray kept = "[S_q]\r\nts=2.0\r\nup=1.0\r\nquit=1.0\r\npeerk=2.0\r\ns_size= 1\r\nh_w=14850\r\n"
                            "h_h=9830\r\ns_h=2\r\ns_bo=2\r\ns_jd=2\r\npeerqi=1e0\r\ns_pao=2\r\n";
    writeRaw("App.ini", kept);
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_TRUE(raw("App.ini").contains(kept)) << raw("App.ini").constData();
}

TEST_F(StartupTest, RepairPassResetsOddCloseQuestionStateAndVersion) {
    writeRaw("App.ini", "[S_q]\r\nts=5\r\n[ver]\r\nname=0.9\r\n");
    runStartup(ctx());
    Settings s(file("App.ini"));
    EXPECT_EQ(s.read("S_q", "ts"), QStringLiteral("3"));
    EXPECT_EQ(s.read("Ver", "Name"), majorMinor(programVersion())); // "1.0" for 1.0.0
    EXPECT_EQ(s.read("main", "Name"), QStringLiteral("Vantoli"));
    EXPECT_EQ(s.read("S_q", "h_h"), QStringLiteral("9830"));
}

TEST_F(StartupTest, RepairPassAddsMissingSizesWidthFirst) {
    writeRaw("App.ini", "[S_q]\r\nts=3\r\n");
    runStartup(ctx());
    const QByteArray ini = raw("App.ini");
    const qsizetype w = ini.indexOf("h_w=14850\r\n");
    const qsizetype h = ini.indexOf("h_h=9830\r\n");
    ASSERT_GE(w, 0);
    ASSERT_GE(h, 0);
    EXPECT_LT(w, h);
}

TEST_F(StartupTest, ExistingFilesAndPagesThatShowThemAreLeftAlone) {
    writeRaw("date.dat", "1|t|e|a|0|0|5\r\n");
    runStartup(ctx());
    const QByteArray page = raw("c.htm");
    ASSERT_TRUE(page.contains("open://1"));
    age("c.htm");
    window_.forget();
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_EQ(raw("date.dat"), QByteArray("1|t|e|a|0|0|5\r\n"));
    EXPECT_EQ(raw("date_f.dat"), QByteArray("\r\n"));
    EXPECT_EQ(raw("c.htm"), page);
    EXPECT_EQ(QFileInfo(file("c.htm")).lastModified().date().year(), 2020);
    // No page was missing: the window is loaded by showing it.
    EXPECT_EQ(window_.loads, 0);
    EXPECT_EQ(window_.shows, 1);
}

TEST_F(StartupTest, APageThatDoesNotShowItsFileIsRebuilt) {
    // Killed between writing a history file and its page, or a history file
    // made anew: the list would open and delete other entries than it shows.
    writeRaw("date.dat", "1|t|e|a|0|0|5\r\n");
    writeRaw("c.htm", "<a href=open://1>old</a><a href=open://2>gone</a>");
    writeRaw("f.htm", "old");
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_EQ(raw("date.dat"), QByteArray("1|t|e|a|0|0|5\r\n"));
    EXPECT_EQ(raw("date_f.dat"), QByteArray("\r\n"));
    EXPECT_TRUE(raw("c.htm").contains("title=t href=open://1>\xA1\xA4t</a>"));
    EXPECT_FALSE(raw("c.htm").contains("open://2"));
    EXPECT_TRUE(raw("f.htm").contains("colspan=2"));
    EXPECT_EQ(window_.loads, 0) << "the panes load the rebuilt pages with the window";
    EXPECT_TRUE(window_.reloaded.isEmpty());
}

TEST_F(StartupTest, LeftoversOfInterruptedWritesGoAndNothingElse) {
    const QByteArray leftovers[] = {"date.dat.vantoli-AbC1eF", "date_f.dat.vantoli-qwerty", "c.htm.vantoli-ZZ0000",
                                    "f.htm.aBcDeF", "App.ini.XyZabc", "t.htm.QwErty"};
    // A user's own copies beside the files are never taken for leftovers.
    const QByteArray others[] = {"date.dat.AbCdE1", "date.dat.AbCdEfg", "date.dat.AbCdE", "date.dat-AbCdEf",
                                 "notes.txt.AbCdEf", "xdate.dat.AbCdEf", "date.dat.ÄbCdEf", "young.txt",
                                 "date.dat.backup", "date_f.dat.Backup", "App.ini.BACKUP", "c.htm.vantoli-AbC1e",
                                 "c.htm.vantoli-AbC1e-"};
    for (const QByteArray &name : leftovers) {
        writeRaw(QString::fromUtf8(name), "x");
        age(QString::fromUtf8(name));
    }
    for (const QByteArray &name : others) {
        writeRaw(QString::fromUtf8(name), "x");
        age(QString::fromUtf8(name));
    }
    // One being written right now (another instance's), a folder and a link
    // with a leftover's name.
    writeRaw("date.dat.YoUngx", "x");
    QDir(dir_.path()).mkdir(QStringLiteral("c.htm.FoLder"));
    QFile::link(file("young.txt"), file("f.htm.LiNked"));
    age("f.htm.LiNked");

    runStartup(ctx());
    for (const QByteArray &name : leftovers)
        EXPECT_FALSE(QFileInfo::exists(file(QString::fromUtf8(name)))) << name.constData();
    for (const QByteArray &name : others)
        EXPECT_TRUE(QFileInfo::exists(file(QString::fromUtf8(name)))) << name.constData();
    EXPECT_TRUE(QFileInfo::exists(file("date.dat.YoUngx")));
    EXPECT_TRUE(QFileInfo(file("c.htm.FoLder")).isDir());
    EXPECT_TRUE(QFileInfo(file("f.htm.LiNked")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(file("young.txt")));
}

TEST_F(StartupTest, IdentifierIsRefreshedAtEveryStart) {
    runStartup(ctx());
    id_ = QStringLiteral("2026127930123");
    runStartup(ctx());
    EXPECT_EQ(Settings(file("App.ini")).read("user", "name"), id_);
}

TEST_F(StartupTest, MissingPlayerWithoutComponentFileAsksAndExits) {
    factory_.result = PlayerCreation::CannotBeCreated;
    dialogs_.answer = true;
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::Exit);
    ASSERT_EQ(dialogs_.questions.size(), 1);
    EXPECT_EQ(dialogs_.questions.at(0), kDialogTitle + kNoPlayerQuestion);
    EXPECT_EQ(dialogs_.opened.size(), 1);
    EXPECT_FALSE(QFile::exists(file("App.ini")));
    EXPECT_EQ(window_.shows, 0);
    EXPECT_EQ(windowsMade_, 0) << "no window (and no panes) for a start that ends here";

    dialogs_.answer = false;
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::Exit);
    EXPECT_EQ(dialogs_.opened.size(), 1);
    EXPECT_FALSE(QFile::exists(file("App.ini")));
}

TEST_F(StartupTest, MissingPlayerWithComponentFileRegistersAndGoesOn) {
    factory_.result = PlayerCreation::CannotBeCreated;
    makeComponentFile();
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_EQ(factory_.registered, QStringList{file("Peer/libmpv.so.2")});
    EXPECT_TRUE(dialogs_.questions.isEmpty());
    EXPECT_TRUE(QFile::exists(file("App.ini")));
    EXPECT_EQ(windowsMade_, 1);
}

TEST_F(StartupTest, APlayerThatFailsOtherwiseIsNoReasonToStop) {
    factory_.result = PlayerCreation::OtherError;
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_TRUE(dialogs_.questions.isEmpty());
    EXPECT_TRUE(factory_.registered.isEmpty());
}

TEST_F(StartupTest, OtherCreationErrorsAreIgnored) {
    factory_.result = PlayerCreation::OtherError;
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::WindowShown);
    EXPECT_TRUE(dialogs_.questions.isEmpty());
}

TEST_F(StartupTest, DamagedWindowShowsTheRightMessage) {
    window_.showResult = MainWindowHost::ShowResult::ControlLoadFailed;
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::Exit);
    EXPECT_EQ(dialogs_.messages, QStringList{kDialogTitle + kDamagedReinstallMessage});
    EXPECT_TRUE(factory_.registered.isEmpty());

    dialogs_.messages.clear();
    makeComponentFile();
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::Exit);
    EXPECT_EQ(dialogs_.messages, QStringList{kDialogTitle + kDamagedRestartMessage});
    EXPECT_EQ(factory_.registered.size(), 1);
}

TEST_F(StartupTest, AnotherInstanceEndsStartUpDuringLoad) {
    window_.loadResult = false;
    EXPECT_EQ(runStartup(ctx()), StartupOutcome::Exit);
    EXPECT_EQ(window_.shows, 0);
    EXPECT_FALSE(QFile::exists(file("c.htm")));
}
