// The settings dialog's logic: the nine switches as App.ini holds them, the
// cache folder change and its steps, the folder dialog, the home page link.
#include "settings_fakes.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace vantoli {
namespace {

const QString kS = QStringLiteral("S_q");

QByteArray fileBytes(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Rig {
    FakeSettingsHost host;
    FakeSettingsView view;
    SettingsDialogModel model{host, view};
    Rig() { view.calls = &host.calls; }
    void load() {
        model.load();
        host.calls.clear();
    }
};

TEST(SettingsSwitches, ValueReadAsNumberOneIsTheOnlyUntickedOne) {
    // Read as a number, as the program reads the switch; text that is no
    // number shows ticked, like every value other than 1.
    struct Case {
        const char *stored;
        bool ticked;
    };
    for (const Case &c : {Case{"1", false}, Case{" 1", false}, Case{"1.0", false}, Case{"0", true}, Case{"2", true},
                          Case{"3", true}, Case{"", true}, Case{"abc", true}, Case{"11", true}, Case{"-1", true}}) {
        Rig r;
        r.host.ini.write(kS, QStringLiteral("s_jd"), QString::fromLatin1(c.stored));
        r.load();
        EXPECT_EQ(r.model.ticked(3), c.ticked) << c.stored;
    }
}

TEST(SettingsSwitches, FileWithoutTheKeysShowsAllTickedAndApplyWritesTwoInItsOrder) {
    Rig r;
    r.load();
    for (const SettingsBox &b : settingsBoxes())
        EXPECT_TRUE(r.model.ticked(b.index)) << b.key().toStdString();
    r.model.apply();
    EXPECT_EQ(fileBytes(r.host.ini.path()),
              "[S_q]\r\nquit=2\r\npeerk=2\r\ns_size=2\r\ns_h=2\r\ns_bo=2\r\ns_jd=2\r\n"
              "peerqi=2\r\ns_pao=2\r\nup=2\r\n");
}

TEST(SettingsSwitches, EachBoxShowsAndWritesItsOwnKey) {
    for (const SettingsBox &off : settingsBoxes()) {
        Rig r;
        for (const SettingsBox &b : settingsBoxes())
            r.host.ini.write(kS, b.key(), b.key() == off.key() ? QStringLiteral("1") : QStringLiteral("0"));
        r.load();
        for (const SettingsBox &b : settingsBoxes())
            EXPECT_EQ(r.model.ticked(b.index), b.index != off.index) << off.key().toStdString();
        r.model.apply();
        for (const SettingsBox &b : settingsBoxes())
            EXPECT_EQ(r.host.ini.read(kS, b.key()), b.key() == off.key() ? "1" : "2") << off.key().toStdString();
    }
}

TEST(SettingsSwitches, ApplyKeepsOtherKeysOfTheFile) {
    Rig r;
    r.host.ini.write(kS, QStringLiteral("peerw"), QStringLiteral("/opt/peer/"));
    r.host.ini.write(QStringLiteral("Skin"), QStringLiteral("Num"), QStringLiteral("1"));
    r.load();
    r.model.setTicked(5, false);
    r.model.apply();
    EXPECT_EQ(r.host.ini.read(kS, QStringLiteral("quit")), "1");
    EXPECT_EQ(r.host.ini.read(kS, QStringLiteral("peerw")), "/opt/peer/");
    EXPECT_EQ(r.host.ini.read(QStringLiteral("Skin"), QStringLiteral("Num")), "1");
}

TEST(CacheFolderText, NotAnAbsoluteFolderBecomesTheDefaultAndEveryFolderEndsWithSlash) {
    const QString def = QStringLiteral("/home/u/Media/");
    EXPECT_EQ(completeCacheFolderText(QStringLiteral("/data/films"), def), "/data/films/");
    EXPECT_EQ(completeCacheFolderText(QStringLiteral("/data/films/"), def), "/data/films/");
    for (const char *bad : {"", "films", "./films", "/", "D:\\Media\\"})
        EXPECT_EQ(completeCacheFolderText(QString::fromLatin1(bad), def), def) << bad;
}

TEST(CacheFolderChange, UnchangedFolderWritesTheKeysOnly) {
    Rig r;
    r.load();
    EXPECT_EQ(r.model.folderText(), "/srv/media/");
    r.model.setFolderText(QStringLiteral("/srv/media")); // the slash is added before comparing
    r.model.apply();
    EXPECT_TRUE(r.host.calls.isEmpty()) << r.host.calls.join(u',').toStdString();
    EXPECT_TRUE(r.host.dialogsFake.messages.isEmpty());
    EXPECT_EQ(r.model.folderText(), "/srv/media/");
    EXPECT_EQ(r.host.ini.read(kS, QStringLiteral("up")), "2");
}

TEST(CacheFolderChange, EndsTheProgramsUnderTheNoticeSetsTheFolderAndStartsTheTerminal) {
    Rig r;
    r.load();
    r.model.setFolderText(QStringLiteral("/data/films"));
    r.model.apply();
    EXPECT_EQ(r.host.calls, QStringList({"notice on", "end", "set /opt/peer/ /data/films/", "start",
                                         "lookUp /opt/peer/", "notice off"}));
    EXPECT_EQ(r.host.dialogsFake.messages, QStringList{kDialogTitle + kCacheChanged});
    EXPECT_EQ(r.model.loadedCacheFolder(), "/data/films/");
    // Applying again changes nothing more.
    r.host.calls.clear();
    r.model.apply();
    EXPECT_TRUE(r.host.calls.isEmpty());
    EXPECT_EQ(r.host.dialogsFake.messages.size(), 1);
}

TEST(CacheFolderChange, FolderTheFilesDoNotTakeIsReportedAsNotChangedAndTriedAgain) {
    Rig r;
    r.host.writesFail = true;
    r.load();
    r.model.setFolderText(QStringLiteral("/data/films/"));
    r.model.apply();
    EXPECT_EQ(r.host.dialogsFake.messages, QStringList{kDialogTitle + kCacheNotChanged});
    EXPECT_EQ(r.model.loadedCacheFolder(), "/srv/media/");
    EXPECT_FALSE(r.view.noticeShown);
    r.host.writesFail = false;
    r.model.apply();
    EXPECT_EQ(r.host.dialogsFake.messages.last(), kDialogTitle + kCacheChanged);
}

TEST(CacheFolderChange, WithoutAPlayerFolderNothingIsStartedOrReportedAsChanged) {
    Rig r;
    r.host.folder.clear();
    r.load();
    r.model.setFolderText(QStringLiteral("/data/films/"));
    r.model.apply();
    EXPECT_FALSE(r.host.calls.contains("start"));
    EXPECT_EQ(r.host.dialogsFake.messages, QStringList{kDialogTitle + kCacheNotChanged});
}

TEST(CacheFolderBrowse, ChosenCancelledAndRestored) {
    Rig r;
    r.load();
    r.host.dialogsFake.chosenFolder = QStringLiteral("/data/new");
    r.model.browse();
    EXPECT_EQ(r.host.dialogsFake.folderDialogs, QStringList{kBrowseTitle + "|/srv/media/"});
    EXPECT_EQ(r.model.folderText(), "/data/new/");
    // Cancelled: the loaded folder comes back.
    r.host.dialogsFake.chosenFolder.clear();
    r.model.browse();
    EXPECT_EQ(r.model.folderText(), "/srv/media/");
}

TEST(CacheFolderBrowse, CancelledWithoutALoadedFolderLeavesTheRootWhichApplyReplaces) {
    Rig r;
    r.host.cacheFolder.clear();
    r.load();
    EXPECT_EQ(r.model.folderText(), "/home/u/Media/"); // an empty loaded folder shows the default
    r.model.browse();
    EXPECT_EQ(r.model.folderText(), "/");
    r.model.apply();
    EXPECT_EQ(r.model.folderText(), "/home/u/Media/");
    EXPECT_TRUE(r.host.calls.contains("set /opt/peer/ /home/u/Media/"));
}

TEST(PeerFieldText, StoredFormsAndRefusals) {
    EXPECT_EQ(storedUploadLimit(QString()), "0");
    EXPECT_EQ(storedUploadLimit(QStringLiteral(" 0512 ")), "512");
    EXPECT_EQ(storedUploadLimit(QStringLiteral("2097151")), "2097151");
    for (const char *bad : {"2097152", "-1", "abc", "1.5", "+5", "5 k", "99999999999", "１２"})
        EXPECT_FALSE(storedUploadLimit(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(storedListenPort(QString()), "0");
    EXPECT_EQ(storedListenPort(QStringLiteral(" 0")), "0");
    EXPECT_EQ(storedListenPort(QStringLiteral("1024")), "1024");
    EXPECT_EQ(storedListenPort(QStringLiteral("65535")), "65535");
    for (const char *bad : {"1023", "80", "65536", "-6881", "port", "6881x", "6881.0"})
        EXPECT_FALSE(storedListenPort(QString::fromLatin1(bad))) << bad;
}

// A player folder of the rig's own, with PeerCfg.ini holding `cfg`.
struct PeerRig : Rig {
    explicit PeerRig(const QByteArray &cfg = {}) {
        host.folder = host.dir.filePath(QStringLiteral("peer")) + u'/';
        QDir().mkpath(host.folder);
        if (!cfg.isNull())
            writeCfg(cfg);
    }
    QString cfgPath() const { return host.folder + kPeerConfigFile; }
    void writeCfg(const QByteArray &bytes) const {
        QFile f(cfgPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST(PeerFields, ShowWhatTheTerminalTakesFromTheFile) {
    EXPECT_EQ(PeerRig().model.peerFields(), PeerFields{}); // before load
    PeerRig none;
    none.load();
    EXPECT_EQ(none.model.peerFields(), (PeerFields{"0", true, ""}));
    PeerRig set("[nbpeerterminal]\r\nUploadLimitKB= 300\r\nseeding=0\r\nlistenport=6881\r\n");
    set.load();
    EXPECT_EQ(set.model.peerFields(), (PeerFields{"300", false, "6881"}));
    // Values the terminal ignores show as its defaults; only "0" stops seeding.
    PeerRig odd("[NBPEERTERMINAL]\r\nuploadlimitkb=-5\r\nseeding=no\r\nlistenport=70000\r\n");
    odd.load();
    EXPECT_EQ(odd.model.peerFields(), (PeerFields{"0", true, ""}));
}

TEST(PeerFields, ApplyWritesTheChangedOnesAndKeepsTheOtherLines) {
    const QByteArray cfg = "; terminal\r\n[NBPEERTERMINAL]\r\ndefaultsavepath=/srv/media/\r\ncachelimitmb=2048\r\n";
    PeerRig r(cfg);
    r.load();
    EXPECT_TRUE(r.model.apply()); // nothing changed: nothing written
    EXPECT_EQ(fileBytes(r.cfgPath()), cfg);
    r.model.setPeerFields({QStringLiteral(" 512"), false, QStringLiteral("6881")});
    EXPECT_TRUE(r.model.apply());
    EXPECT_EQ(fileBytes(r.cfgPath()), cfg + "uploadlimitkb=512\r\nseeding=0\r\nlistenport=6881\r\n");
    EXPECT_EQ(r.model.peerFields(), (PeerFields{"512", false, "6881"}));
    EXPECT_TRUE(r.host.dialogsFake.messages.isEmpty());
    // Back to no cap and the terminal's own port; "" and "0" mean the same.
    r.model.setPeerFields({QString(), true, QStringLiteral("0")});
    EXPECT_TRUE(r.model.apply());
    EXPECT_EQ(fileBytes(r.cfgPath()), cfg + "uploadlimitkb=0\r\nseeding=1\r\nlistenport=0\r\n");
    EXPECT_EQ(r.model.peerFields(), (PeerFields{"0", true, ""}));
}

TEST(PeerFields, RefusedInputWritesNothingAndIsKeptToBeCorrected) {
    const QByteArray cfg = "[NBPEERTERMINAL]\r\nlistenport=7000\r\n";
    for (const PeerFields &bad : {PeerFields{"0", true, "80"}, PeerFields{"0", true, "abc"},
                                  PeerFields{"-1", true, ""}, PeerFields{"1e3", true, "7000"}}) {
        PeerRig r(cfg);
        r.load();
        r.model.setTicked(5, false);
        r.model.setFolderText(QStringLiteral("/data/films/"));
        r.model.setPeerFields({bad.uploadLimit, false, bad.listenPort});
        EXPECT_FALSE(r.model.apply());
        const QString refusal = bad.uploadLimit == u"0" ? kListenPortRefused : kUploadLimitRefused;
        EXPECT_EQ(r.host.dialogsFake.messages, QStringList{kDialogTitle + refusal});
        EXPECT_EQ(fileBytes(r.cfgPath()), cfg);
        EXPECT_FALSE(QFile::exists(r.host.ini.path()));
        EXPECT_TRUE(r.host.calls.isEmpty()) << r.host.calls.join(u',').toStdString();
        EXPECT_EQ(r.model.peerFields().listenPort, bad.listenPort);
    }
    // A value the page would refuse but the file already holds is kept as it is.
    PeerRig kept("[NBPEERTERMINAL]\r\nlistenport=80\r\n");
    kept.load();
    EXPECT_EQ(kept.model.peerFields().listenPort, "80");
    kept.model.setPeerFields({QStringLiteral("64"), true, QStringLiteral("80")});
    EXPECT_TRUE(kept.model.apply());
    EXPECT_EQ(fileBytes(kept.cfgPath()), "[NBPEERTERMINAL]\r\nlistenport=80\r\nuploadlimitkb=64\r\n");
}

TEST(PeerFields, WithoutAPlayerFolderThereIsNothingToEdit) {
    Rig r;
    r.host.folder.clear();
    r.load();
    EXPECT_FALSE(r.model.peerFieldsEditable());
    EXPECT_EQ(r.model.peerFields(), PeerFields{});
}

TEST(HomePageLink, HoverClickAndPageHover) {
    Rig r;
    r.load();
    const LinkLook plain;
    const LinkLook hover{true, QColor(0xff, 0, 0)};
    r.model.linkHovered();
    EXPECT_EQ(r.model.linkLook(), hover);
    r.model.linkClicked();
    EXPECT_EQ(r.host.dialogsFake.opened, QStringList{"http://127.0.0.1:8260/"});
    EXPECT_EQ(r.model.linkLook(), plain);
    r.model.linkHovered(); // visited: stays plain
    EXPECT_EQ(r.model.linkLook(), plain);
    r.model.pageHovered();
    EXPECT_FALSE(r.model.linkVisited());
    r.model.linkHovered();
    EXPECT_EQ(r.model.linkLook(), hover);
    r.model.otherAboutLabelClicked();
    EXPECT_EQ(r.model.linkLook(), plain);
}

} // namespace
} // namespace vantoli
