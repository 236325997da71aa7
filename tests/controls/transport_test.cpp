#include "controls_rig.h"

#include <QDir>
#include <QFile>

namespace vantoli::controls::test {
namespace {

using Transport_ = ControlsTest;

void writeBytes(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
// Not a real clip: only the player's own open would tell.
void writeMedia(const QString &path) { writeBytes(path, QByteArray(64, 'v')); }


TEST_F(Transport_, PressWithAnotherButtonShowsHoverButRunsNoCommandAndTheNextLeftClickWorks) {
    transport.mouseMove(2, QPoint(5, 5));
    transport.mousePress(2, Qt::RightButton);
    transport.bo_but_Click(2);
    EXPECT_TRUE(view.log.contains(QStringLiteral("frame 2 14 25")));
    EXPECT_FALSE(player.calls.contains(QStringLiteral("setMute(-1)")));
    EXPECT_FALSE(state.muted);
    EXPECT_FALSE(view.visible.value(QStringLiteral("P1"))); // hidden by the click

    transport.mousePress(2, Qt::LeftButton);
    transport.bo_but_Click(2);
    EXPECT_TRUE(state.muted);
    EXPECT_EQ(player.mute, kPlayerTrue);
}

TEST_F(Transport_, ARightClickSuppressesItsOwnClickOnlyNotTheNextCommand) {
    // Only a left release makes a click: the right one ends its press with
    // the flag cleared, so the menu's stop after it saves and stops.
    playNetwork(120, 600, QStringLiteral("12"));
    transport.mousePress(0, Qt::RightButton);
    EXPECT_TRUE(view.suppress);
    transport.mouseRelease(0, Qt::RightButton);
    EXPECT_FALSE(view.suppress);
    transport.bo_but_Click(1);
    EXPECT_EQ(player.calls.filter(QStringLiteral("Stop")).size(), 1);

    // A left release leaves a flag that another button's press set while it
    // was held: that press's click has not come yet.
    transport.mousePress(2, Qt::MiddleButton);
    transport.mouseRelease(2, Qt::LeftButton);
    EXPECT_TRUE(view.suppress);
    transport.mouseRelease(2, Qt::MiddleButton);
    EXPECT_FALSE(view.suppress);
}

TEST_F(Transport_, PlayPauseNeedsThePlayerAndKeepsTheFaceInTheState) {
    session.setPlayAreaMode(kPlayAreaWeb);
    view.timers[PlaybackTimer::Status] = false;
    transport.bo_but_Click(0);
    EXPECT_TRUE(player.calls.isEmpty());
    EXPECT_FALSE(view.timers[PlaybackTimer::Status]);

    session.setPlayAreaMode(kPlayAreaPlayer);
    player.url = QStringLiteral("/m/a.mp4");
    session.markResumed();
    session.enableAd(AdPane::Pause);
    transport.bo_but_Click(0);
    EXPECT_EQ(player.calls, QStringList{QStringLiteral("Play")});
    EXPECT_TRUE(view.timers[PlaybackTimer::Status]);
    EXPECT_EQ(state.resumeDone, 0);
    EXPECT_TRUE(state.pauseFace);
    EXPECT_EQ(view.tips[QStringLiteral("bo_but0")], QStringLiteral("暂停"));
    EXPECT_TRUE(view.log.contains(QStringLiteral("frame 0 12 116")));
    EXPECT_TRUE(view.log.contains(QStringLiteral("npc 9")));
    EXPECT_FALSE(view.visible[QStringLiteral("bo_ad")]);
    EXPECT_TRUE(view.visible[QStringLiteral("Peerx")]);

    view.log.clear();
    transport.bo_but_Click(0);
    EXPECT_EQ(player.calls.last(), QStringLiteral("Pause"));
    EXPECT_FALSE(state.pauseFace);
    EXPECT_EQ(view.tips[QStringLiteral("bo_but0")], QStringLiteral("播放"));
    EXPECT_EQ(view.texts[QStringLiteral("zhun")], QStringLiteral("已暂停"));
    EXPECT_TRUE(view.log.contains(QStringLiteral("frame 0 12 0")));
    EXPECT_FALSE(view.log.contains(QStringLiteral("npc 9")));
    EXPECT_TRUE(view.visible[QStringLiteral("ad_huan")]);
    EXPECT_FALSE(view.visible[QStringLiteral("bo_pad")]);
    EXPECT_TRUE(view.visible[QStringLiteral("bo_ad")]);
    EXPECT_FALSE(view.visible[QStringLiteral("Peerx")]);
}

TEST_F(Transport_, StopSavesThePositionOfANetworkTaskAndResetsTheBar) {
    ASSERT_TRUE(history.addNetworkTask(7, QStringLiteral("剧"), QStringLiteral("第3集"),
                                       QStringLiteral("kxpeer://x"), 1, 3, 0));
    playNetwork(120, 3600, QStringLiteral("7"));
    session.followPosition(120);
    session.enableAd(AdPane::Stop);
    view.texts[QStringLiteral("bo_name")] = QStringLiteral("剧");
    view.setLabelText(QStringLiteral("times"), QStringLiteral("02:00 / 60:00"));
    view.geometry[QStringLiteral("gunt1")].moveLeft(300);
    view.geometry[QStringLiteral("gunt2")].setWidth(300);
    view.geometry[QStringLiteral("huan")] = QRect(-30, 0, 400, 7);

    transport.bo_but_Click(1);

    EXPECT_TRUE(file(kNetworkHistoryFile).startsWith("7|"));
    EXPECT_TRUE(file(kNetworkHistoryFile).contains("|120\r\n")) << file(kNetworkHistoryFile).data();
    EXPECT_EQ(player.calls, QStringList{QStringLiteral("Stop")});
    EXPECT_FALSE(view.timers[PlaybackTimer::Status]);
    EXPECT_EQ(state.lastPosition, 0);
    EXPECT_EQ(state.resumePosition, 0);
    EXPECT_EQ(geo("gunt1"), QRect(0, 0, 14, 7));
    EXPECT_EQ(geo("gunt2").width(), 0);
    EXPECT_EQ(geo("huan").width(), 0); // the buffered part out of sight
    EXPECT_EQ(view.texts[QStringLiteral("bo_name")], QString());
    // Placed with the width it had, then cleared.
    EXPECT_EQ(geo("times").topLeft(), QPoint(784 - 13 * 6 - 13, 3));
    EXPECT_EQ(view.texts[QStringLiteral("times")], QString());
    EXPECT_TRUE(view.visible[QStringLiteral("bo_pad")]);
    EXPECT_TRUE(view.visible[QStringLiteral("bo_ad")]);
    EXPECT_FALSE(view.visible[QStringLiteral("Peerx")]);
    EXPECT_FALSE(state.pauseFace);
    EXPECT_EQ(view.tips[QStringLiteral("bo_but0")], QStringLiteral("播放"));
    EXPECT_EQ(view.texts[QStringLiteral("zhun")], QStringLiteral("已停止"));
    EXPECT_EQ(view.log.mid(view.log.size() - 2),
              (QStringList{QStringLiteral("frame 0 12 0"), QStringLiteral("frame 1 13 0")}));
}

TEST_F(Transport_, StopWritesNothingWithoutAReferenceOrAPosition) {
    ASSERT_TRUE(history.addNetworkTask(7, QStringLiteral("t"), QStringLiteral("e"),
                                       QStringLiteral("kxpeer://x"), 1, 3, 55));
    ASSERT_TRUE(history.addLocalPlay(QStringLiteral("a.mkv"), QStringLiteral("/m/a.mkv"), 40));
    const QByteArray network = file(kNetworkHistoryFile), local = file(kLocalHistoryFile);

    struct Case { QString reference; int source; int lastPosition; };
    for (const Case &c : {Case{QStringLiteral("0"), kSourceNetwork, 90},
                          Case{QStringLiteral("7"), kSourceNetwork, 0},
                          Case{QStringLiteral("/m/a.mkv"), kSourceLocal, 0},
                          // Not a task number: must not be written as task 0.
                          Case{QStringLiteral("abc"), kSourceNetwork, 90}}) {
        playItem(c.source, c.reference, c.lastPosition, 600);
        transport.bo_but_Click(1);
        EXPECT_EQ(file(kNetworkHistoryFile), network) << c.reference.toStdString();
        EXPECT_EQ(file(kLocalHistoryFile), local) << c.reference.toStdString();
    }

    // Outside the player stop does nothing at all.
    session.setPlayAreaMode(kPlayAreaTv);
    player.calls.clear();
    transport.bo_but_Click(1);
    EXPECT_TRUE(player.calls.isEmpty());
}

TEST_F(Transport_, StopSavesALocalPlayByItsPath) {
    ASSERT_TRUE(history.addLocalPlay(QStringLiteral("a.mkv"), QStringLiteral("/m/a.mkv"), 0));
    playItem(kSourceLocal, QStringLiteral("/m/a.mkv"), 75, 600);
    transport.bo_but_Click(1);
    EXPECT_EQ(file(kLocalHistoryFile), QByteArray("a.mkv|/m/a.mkv|75\r\n"));
}

TEST_F(Transport_, FullScreenOnlyWhilePlayingAndUnpinsFirst) {
    for (int s : {kStatePaused, kStateBuffering, kStateIdle}) {
        player.state = s;
        view.topmost = true;
        transport.bo_but_Click(3);
    }
    EXPECT_FALSE(view.log.contains(QStringLiteral("npc 4")));
    EXPECT_FALSE(view.log.contains(QStringLiteral("npc 9")));
    EXPECT_EQ(player.fullScreen, kPlayerFalse);

    player.state = kStatePlaying;
    view.log.clear();
    transport.bo_but_Click(3);
    EXPECT_EQ(view.log, (QStringList{QStringLiteral("npc 4"), QStringLiteral("npc 9"),
                                     QStringLiteral("frame 3 16 50")}));
    EXPECT_EQ(player.fullScreen, kPlayerTrue);

    view.topmost = false;
    view.log.clear();
    transport.bo_but_Click(3);
    EXPECT_EQ(view.log.first(), QStringLiteral("npc 9"));
}

TEST_F(Transport_, OpenFileCancelledChangesNothing) {
    playNetwork(100, 600, QStringLiteral("7"));
    const QByteArray local = file(kLocalHistoryFile);
    dialogs.chosenFile.clear();
    transport.bo_but_Click(4);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_EQ(dialogs.fileDialogs.first(), kOpenFileTitle + u'|' + kOpenFileFilter);
    EXPECT_TRUE(player.calls.isEmpty());
    EXPECT_EQ(view.log, QStringList{QStringLiteral("frame 4 16 25")});
    EXPECT_EQ(state.playAreaMode, kPlayAreaPlayer);
    EXPECT_EQ(state.currentItemReference, QStringLiteral("7"));
    EXPECT_EQ(file(kLocalHistoryFile), local);
}

TEST_F(Transport_, OpenFileFilterKeepsTheClassicPatternsAndOffersLinuxContainers) {
    const QStringList entries = kOpenFileFilter.split(QStringLiteral(";;"));
    ASSERT_EQ(entries.size(), 2);
    for (const char *p : {"*.rm ", "*.rmvb ", "*.wmv ", "*.mp3 ", "*wma ", "*mid ", "*wav ",
                          "*mpg ", "*mp4 ", "*.mkv ", "*.webm ", "*.avi ", "*.ogg "})
        EXPECT_TRUE(entries[0].contains(QLatin1String(p))) << p;
    EXPECT_TRUE(entries[0].startsWith(QStringLiteral("影音文件 (")));
    EXPECT_EQ(entries[1], QStringLiteral("所有文件 (*)"));
}

TEST_F(Transport_, OpenFileWhileANetworkTaskPlaysStopsItAndRecordsTheLocalPlay) {
    ASSERT_TRUE(history.addNetworkTask(7, QStringLiteral("t"), QStringLiteral("e"),
                                       QStringLiteral("kxpeer://x"), 1, 3, 0));
    playNetwork(300, 3600, QStringLiteral("7"));
    session.nextEpisodeFound(QStringLiteral("kxpeer://next"), QStringLiteral("http://127.0.0.1:8260/next"));
    session.markPrebufferStarted();
    session.markResumed();
    view.timers[PlaybackTimer::Status] = false;
    const QString path = dir.filePath(QStringLiteral("holiday.mkv"));
    writeMedia(path);
    dialogs.chosenFile = path;

    transport.bo_but_Click(4);

    EXPECT_EQ(view.log.indexOf(QStringLiteral("play area 2")), 1); // right after the frame
    EXPECT_TRUE(file(kNetworkHistoryFile).contains("|300\r\n"));
    EXPECT_EQ(player.calls, (QStringList{QStringLiteral("Stop"), QStringLiteral("setUrl(") + path + u')',
                                         QStringLiteral("Play")}));
    EXPECT_TRUE(view.timers[PlaybackTimer::Status]);
    EXPECT_EQ(file(kLocalHistoryFile), QStringLiteral("holiday.mkv|%1|0\r\n\r\n").arg(path).toUtf8());
    EXPECT_EQ(state.playSource, kSourceLocal);
    EXPECT_EQ(state.currentItemReference, path);
    // Nothing of the network task carries over to the local file.
    EXPECT_EQ(state.nextEpisodeState, kNothing);
    EXPECT_EQ(state.prebufferLink, kNothing);
    EXPECT_EQ(state.prebufferStarted, 0);
    EXPECT_EQ(state.resumeDone, 0);
    EXPECT_EQ(view.texts[QStringLiteral("bo_name")], QStringLiteral("holiday.mkv"));
    EXPECT_EQ(geo("bo_name").topLeft(), QPoint((784 - 11 * 6) / 2, 3));
    EXPECT_EQ(view.log.mid(view.log.size() - 2),
              (QStringList{QStringLiteral("npc 7"), QStringLiteral("npc 9")}));
}

TEST_F(Transport_, OpenFileCutsLongTitlesToThirtyColumns) {
    struct Case { QString path; QString title; };
    const QString latin = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789.mp4");
    const QString chinese = QStringLiteral("一二三四五六七八九十一二三四五六七.rmvb");
    for (const Case &c : {Case{dir.filePath(latin), latin.left(30)},
                          Case{dir.filePath(chinese), chinese.left(15)},
                          Case{dir.filePath(QStringLiteral("D:\\Media\\") + chinese), chinese.left(15)},
                          Case{dir.filePath(QStringLiteral("abcdefghijklmno.ts")), QStringLiteral("abcdefghijklmno.ts")}}) {
        writeMedia(c.path);
        dialogs.chosenFile = c.path;
        transport.bo_but_Click(4);
        EXPECT_EQ(view.texts[QStringLiteral("bo_name")], c.title) << c.path.toStdString();
        EXPECT_EQ(geo("bo_name").left(), (784 - int(c.title.size()) * 6) / 2);
    }
}

TEST_F(Transport_, MuteWorksWithNothingPlayingAndTheMenuFollows) {
    transport.bo_but_Click(2);
    EXPECT_TRUE(state.muted);
    EXPECT_EQ(player.mute, kPlayerTrue);
    EXPECT_EQ(view.tips[QStringLiteral("bo_but2")], QStringLiteral("取消静音"));
    EXPECT_TRUE(view.muteMenuCaptionMuted);
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 2 14 50"));

    transport.bo_but_Click(2);
    EXPECT_FALSE(state.muted);
    EXPECT_EQ(player.mute, kPlayerFalse);
    EXPECT_EQ(view.tips[QStringLiteral("bo_but2")], QStringLiteral("静音"));
    EXPECT_FALSE(view.muteMenuCaptionMuted);
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 2 14 0"));
}

TEST_F(Transport_, EpisodeButtonsAreDisabledDuringTheStepAndSideBarFollowsTheTab) {
    transport.bo_but_Click(5);
    transport.bo_but_Click(7);
    EXPECT_EQ(view.log, (QStringList{
        QStringLiteral("enabled bo_but5 0"), QStringLiteral("step 1"), QStringLiteral("enabled bo_but5 1"),
        QStringLiteral("frame 5 18 0"),
        QStringLiteral("enabled bo_but7 0"), QStringLiteral("step 2"), QStringLiteral("enabled bo_but7 1"),
        QStringLiteral("frame 7 18 50")}));

    view.log.clear();
    for (int tab : {9, 13, 8, 14}) {
        view.mainTabValue = tab;
        transport.bo_but_Click(6);
    }
    EXPECT_EQ(view.log, (QStringList{QStringLiteral("npc 6"), QStringLiteral("npc 15")}));

    view.log.clear();
    transport.bo_but_Click(8);
    transport.bo_but_Click(-1);
    EXPECT_TRUE(view.log.isEmpty());
}

TEST_F(Transport_, HoverShowsTheStateFaceAndTheTooltipBoxCentredUnderTheButton) {
    session.setPlayAreaMode(kPlayAreaPlayer);
    session.setPauseFace(true);
    transport.mouseMove(0, QPoint(25, 25)); // the far corner is still inside
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 0 12 174"));
    EXPECT_EQ(view.captured, QStringLiteral("bo_but0"));
    EXPECT_EQ(view.texts[QStringLiteral("bo_tip")], QStringLiteral("暂停"));
    EXPECT_EQ(geo("bo_tip"), QRect(3, 3, 12, 12));
    // Button 0 at left 20, width 25; the box takes the tip's size + 6.
    EXPECT_EQ(geo("P1"), QRect(20 + 12 - 9, 655 - 64, 18, 18));
    EXPECT_TRUE(view.visible[QStringLiteral("P1")]);

    transport.mouseMove(0, QPoint(26, 3));
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 0 12 116"));
    EXPECT_EQ(view.captured, QString());
    EXPECT_FALSE(view.visible[QStringLiteral("P1")]);

    session.setMuted(true);
    transport.mouseMove(2, QPoint(0, 0));
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 2 14 75"));
    EXPECT_EQ(view.texts[QStringLiteral("bo_tip")], QStringLiteral("取消静音"));
    transport.mouseMove(3, QPoint(4, 4));
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 3 17 50"));
    transport.mouseMove(3, QPoint(4, -1));
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 3 16 50"));
}

TEST_F(Transport_, HoverIsIgnoredWhereTheButtonHasNoUse) {
    session.setPlayAreaMode(kPlayAreaWeb);
    view.mainTabValue = 8;
    for (int button : {0, 1, 5, 7})
        transport.mouseMove(button, QPoint(3, 3));
    EXPECT_TRUE(view.log.isEmpty());
    EXPECT_EQ(view.captured, QString());

    view.mainTabValue = 9;
    transport.mouseMove(7, QPoint(3, 3));
    EXPECT_EQ(view.log.last(), QStringLiteral("frame 7 18 75"));
    EXPECT_EQ(view.texts[QStringLiteral("bo_tip")], QStringLiteral("下一集"));
}

TEST_F(Transport_, RefreshFacesShowsTheState) {
    session.setPauseFace(true);
    session.setMuted(true);
    transport.refreshFaces();
    EXPECT_EQ(view.tips[QStringLiteral("bo_but0")], QStringLiteral("暂停"));
    EXPECT_EQ(view.tips[QStringLiteral("bo_but2")], QStringLiteral("取消静音"));
    EXPECT_EQ(view.log, (QStringList{QStringLiteral("frame 0 12 116"), QStringLiteral("frame 2 14 50")}));
}

TEST_F(Transport_, CommandLinePlaysWithoutQuotesAndTrailingSlashAndIsRecorded) {
    const QString path = dir.filePath(QStringLiteral("a b.mp4"));
    writeMedia(path);
    transport.playCommandLine(QStringLiteral("\"") + path + QStringLiteral("/\""));
    EXPECT_EQ(player.url, path);
    EXPECT_TRUE(player.calls.contains(QStringLiteral("Play")));
    EXPECT_EQ(state.playAreaMode, kPlayAreaPlayer) << "so the transport commands act on it";
    EXPECT_EQ(state.playSource, kSourceLocal);
    EXPECT_EQ(state.currentItemReference, path);
    EXPECT_EQ(view.texts[QStringLiteral("bo_name")], QStringLiteral("a b.mp4"));
    EXPECT_EQ(file(kLocalHistoryFile), QStringLiteral("a b.mp4|%1|0\r\n\r\n").arg(path).toUtf8());
    EXPECT_EQ(view.log.mid(view.log.size() - 2), (QStringList{QStringLiteral("npc 9"), QStringLiteral("npc 7")}));

    // A plain network address plays too, under its own name.
    transport.playCommandLine(QStringLiteral("http://127.0.0.1:8260/media/1.mp4"));
    EXPECT_EQ(player.url, QStringLiteral("http://127.0.0.1:8260/media/1.mp4"));
    EXPECT_EQ(view.texts[QStringLiteral("bo_name")], QStringLiteral("1.mp4"));
}

TEST_F(Transport_, OnlyOneEnclosingPairOfQuotesIsTakenFromACommandLine) {
    // A Linux name may hold quotes of its own.
    const QString path = dir.filePath(QStringLiteral("a\"b\".mp4"));
    writeMedia(path);
    transport.playCommandLine(path);
    EXPECT_EQ(player.url, path);
    transport.playCommandLine(QStringLiteral("\"") + path + QStringLiteral("\""));
    EXPECT_EQ(player.url, path);
    transport.playCommandLine(QStringLiteral("\"") + path + QStringLiteral("\"/"));
    EXPECT_EQ(player.url, path);
    EXPECT_EQ(file(kLocalHistoryFile).count(QStringLiteral("|%1|").arg(path).toUtf8()), 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Transport_, EveryWayOfOpeningAFileResumesAtItsStoredPosition) {
    const QString path = dir.filePath(QStringLiteral("film.mkv"));
    writeMedia(path);
    dialogs.chosenFile = path;
    transport.bo_but_Click(4);
    history.updateLocalPlayPosition(path, 130);
    // The command line (a first or a later start) as the open-file button.
    transport.playCommandLine(path);
    EXPECT_EQ(state.resumePosition, 130);
    EXPECT_EQ(state.resumeDone, 0);
    EXPECT_TRUE(file(kLocalHistoryFile).startsWith(QStringLiteral("film.mkv|%1|130\r\n").arg(path).toUtf8()));
    transport.bo_but_Click(4);
    EXPECT_EQ(state.resumePosition, 130);
}

TEST_F(Transport_, WhatCannotBePlayedIsSaidAndNeitherPlayedNorRecorded) {
    const QByteArray before = file(kLocalHistoryFile);
    const QString empty = dir.filePath(QStringLiteral("empty.mp4"));
    writeBytes(empty, {});
    QDir(dir.path()).mkdir(QStringLiteral("folder.mp4"));
    const QStringList items{
        dir.filePath(QStringLiteral("missing.mp4")), empty, dir.filePath(QStringLiteral("folder.mp4")),
        // A name whose bytes are not valid UTF-8 arrives with U+FFFD in it.
        dir.filePath(QStringLiteral("caf\uFFFD.mp4")),
        QStringLiteral("av://lavfi:sine,ametadata=mode=print:file=/tmp/x"), QStringLiteral("relative.mp4"),
        QStringLiteral("http:"),
    };
    for (const QString &item : items) {
        transport.playCommandLine(item);
        dialogs.chosenFile = item;
        transport.bo_but_Click(4);
    }
    EXPECT_TRUE(player.calls.isEmpty()) << player.calls.join(u',').toStdString();
    EXPECT_EQ(file(kLocalHistoryFile), before);
    ASSERT_EQ(dialogs.messages.size(), 2 * items.size());
    EXPECT_EQ(dialogs.messages.first(), QStringLiteral("提示：") + items.first() + kCannotPlayText);
}

TEST_F(Transport_, AFileThePlayerCannotOpenIsSaidAndItsNewEntryTakenBack) {
    const QString played = dir.filePath(QStringLiteral("played.mp4"));
    const QString broken = dir.filePath(QStringLiteral("broken.mp4"));
    writeMedia(played);
    writeMedia(broken);
    player.autoState = false; // the engine takes its time to open
    transport.playCommandLine(played);
    history.updateLocalPlayPosition(played, 40);
    const QByteArray before = file(kLocalHistoryFile);

    transport.playCommandLine(broken);
    transport.playerChanged(); // still opening: nothing yet
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(file(kLocalHistoryFile).startsWith("broken.mp4|"));
    player.openFailed = true;
    player.state = kStateIdle;
    transport.playerChanged();
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("提示：") + broken + kCannotPlayText});
    EXPECT_EQ(file(kLocalHistoryFile), before);
    transport.playerChanged();
    EXPECT_EQ(dialogs.messages.size(), 1) << "said once";

    // An item that plays is not watched any more; one played before keeps
    // its entry and position when it fails later.
    player.openFailed = false;
    transport.playCommandLine(played);
    player.state = kStatePlaying;
    transport.playerChanged();
    player.openFailed = true;
    transport.playerChanged();
    EXPECT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(file(kLocalHistoryFile).startsWith(QStringLiteral("played.mp4|%1|40\r\n").arg(played).toUtf8()));
}

} // namespace
} // namespace vantoli::controls::test
