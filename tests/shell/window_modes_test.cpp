#include "shell/window_modes.h"

#include "shell_fakes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;
using namespace vantoli::shell;
using vantoli::shell::test::FakeDialogs;
using vantoli::shell::test::FakeView;

namespace {

class WindowModesTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("App.ini"))};
    FakeView view;
    FakeDialogs dialogs;
    PlaybackState playback;
    WindowModes modes{view, settings, dialogs, playback};

    QString ini(const char *key) { return settings.read(QStringLiteral("S_q"), QString::fromLatin1(key), QStringLiteral("-")); }
    void setIni(const char *key, const char *value) {
        settings.write(QStringLiteral("S_q"), QString::fromLatin1(key), QString::fromLatin1(value));
    }
};

} // namespace

TEST_F(WindowModesTest, ForcedTabsAtStartPaintAndShowTheInitialPages) {
    modes.applyTabs();
    EXPECT_EQ(view.log, QStringList({"side 12 normal", "side 12 selected", "tab 8 normal", "tab 8 selected"}));
    EXPECT_TRUE(view.visible.value("zzp"));
    EXPECT_TRUE(view.visible.value("Pic3"));
    EXPECT_EQ(view.captions.value("qk"), kTasksCaption);

    // The tab already selected does nothing.
    view.log.clear();
    modes.npc_Click(8);
    modes.npc_Click(12);
    EXPECT_EQ(view.log, QStringList({"hide P1", "hide P1"}));

    modes.npc_Click(13);
    EXPECT_FALSE(view.visible.value("zzp"));
    EXPECT_TRUE(view.visible.value("tv"));
    EXPECT_EQ(modes.mainTab(), 13);
    modes.npc_Click(7);
    EXPECT_FALSE(view.visible.value("Pic3"));
    EXPECT_TRUE(view.visible.value("Pic4"));
    EXPECT_EQ(view.captions.value("qk"), kClearListCaption);
    modes.npc_Click(11);
    EXPECT_TRUE(view.visible.value("Pic5"));
    EXPECT_EQ(view.captions.value("qk"), kTasksCaption);
    EXPECT_EQ(modes.sideTab(), 11);
}

TEST_F(WindowModesTest, ARightPressSuppressesUntilItsOwnRelease) {
    // Only a left release makes a click; the right release ends the press
    // whose click the flag was for.
    modes.npc_MouseDown(5, Qt::RightButton);
    modes.mouseReleased(Qt::LeftButton);
    EXPECT_TRUE(modes.clickSuppress());
    modes.mouseReleased(Qt::RightButton);
    EXPECT_FALSE(modes.clickSuppress());
    modes.backgroundPressed(Qt::MiddleButton);
    EXPECT_TRUE(modes.clickSuppress());
    modes.mouseReleased(Qt::MiddleButton);
    EXPECT_FALSE(modes.clickSuppress());
}

TEST_F(WindowModesTest, PreludeClearsHoverLeftovers) {
    modes.setNoticeHoverState(1);
    modes.npc_MouseDown(0, Qt::RightButton);
    EXPECT_TRUE(modes.clickSuppress());
    modes.npc_Click(10);
    EXPECT_EQ(view.log, QStringList({"hide P1"}));
    EXPECT_EQ(view.colourResets, 1);
    EXPECT_EQ(modes.noticeHoverState(), 0);
    EXPECT_FALSE(modes.clickSuppress());
}

TEST_F(WindowModesTest, MinimiseMaximiseAndMenu) {
    modes.npc_Click(0);
    EXPECT_EQ(view.minimised, 1);
    modes.npc_Click(1);
    EXPECT_TRUE(view.maximised);
    EXPECT_EQ(view.tips.value("npc1"), kRestoreTip);
    modes.npc_Click(1);
    EXPECT_FALSE(view.maximised);
    EXPECT_EQ(view.tips.value("npc1"), kMaximiseTip);
    EXPECT_TRUE(view.log.contains("paint npc1"));

    modes.npc_Click(5);
    EXPECT_EQ(view.menuAt, QPoint(882 - 15, 4 + 20));
}

TEST_F(WindowModesTest, AlwaysOnTopToggleAndSwitch) {
    modes.npc_Click(4);
    EXPECT_TRUE(view.onTop);
    EXPECT_TRUE(modes.pinned());
    EXPECT_EQ(view.tips.value("npc4"), kUnpinTip);
    // The switch alone leaves the tooltip (and the toggle state) alone.
    modes.zhi_d(0);
    EXPECT_FALSE(view.onTop);
    EXPECT_TRUE(modes.pinned());
    modes.zhi_d(1);
    modes.npc_Click(4);
    EXPECT_FALSE(view.onTop);
    EXPECT_EQ(view.tips.value("npc4"), kPinTip);
}

TEST_F(WindowModesTest, SideBarToggles) {
    modes.npc_Click(6);
    EXPECT_FALSE(modes.sideBarOpen());
    EXPECT_FALSE(view.visible.value("l2", true));
    EXPECT_EQ(view.tips.value("npc6"), kSideBarClosedTip);
    EXPECT_EQ(view.relayouts, 1);
    modes.npc_Click(6);
    EXPECT_TRUE(view.visible.value("l2"));
    EXPECT_EQ(view.tips.value("npc6"), kSideBarOpenTip);

    modes.npc_Click(15);
    EXPECT_FALSE(modes.tvSideBarOpen());
    EXPECT_FALSE(view.visible.value("tvright", true));
    EXPECT_TRUE(modes.sideBarOpen());
}

TEST_F(WindowModesTest, CompactModeNeedsSomethingShown) {
    modes.npc_Click(3);
    EXPECT_EQ(modes.compactMode(), 0);
    EXPECT_TRUE(view.visible.isEmpty());
    EXPECT_EQ(view.sizeTwips, QSize(14850, 9830));
}

TEST_F(WindowModesTest, CompactModeOnThePlayerPage) {
    playback.playAreaMode = (2);
    modes.npc_Click(14);
    view.maximised = true;
    modes.npc_Click(3);
    EXPECT_EQ(modes.compactMode(), 1);
    EXPECT_EQ(modes.mainTab(), 9);
    EXPECT_FALSE(view.maximised);
    EXPECT_TRUE(view.visible.value("jbi"));
    EXPECT_TRUE(view.visible.value("ni_bo1"));
    for (const char *hidden : {"Imi", "bo_name", "ni_name", "ggx", "l2", "bo_foot", "npc0", "npc6", "npc15"})
        EXPECT_FALSE(view.visible.value(hidden, true)) << hidden;
    EXPECT_EQ(view.compactMenuCaption, kLeaveCompactCaption);
    EXPECT_EQ(view.sizeTwips, QSize(5900, 4800));

    // Leaving: the closed side bar stays closed, the saved size comes back centred.
    modes.npc_Click(6); // (hidden strip, but reachable through the transport button)
    setIni("h_w", " 15000"); // read as numbers, as every length of App.ini
    setIni("h_h", "9000.0");
    modes.jbi_Click();
    EXPECT_EQ(modes.compactMode(), 0);
    EXPECT_FALSE(view.visible.value("jbi", true));
    EXPECT_FALSE(view.visible.value("ni_bo1", true));
    EXPECT_FALSE(view.visible.value("l2", true));
    for (const char *shown : {"Imi", "bo_name", "ni_name", "ggx", "bo_foot", "npc0", "npc15"})
        EXPECT_TRUE(view.visible.value(shown)) << shown;
    EXPECT_EQ(view.captions.value("ni_name"), QStringLiteral("Vantoli"));
    EXPECT_EQ(view.compactMenuCaption, kCompactCaption);
    EXPECT_EQ(view.sizeTwips, QSize(15000, 9000));
    EXPECT_EQ(view.posTwips, QPoint((19200 - 15000) / 2, (15360 - 9000) / 2));
}

TEST_F(WindowModesTest, CompactModeOnTheTvPage) {
    playback.playAreaMode = (3);
    modes.npc_Click(3);
    EXPECT_EQ(modes.compactMode(), 2);
    EXPECT_EQ(modes.mainTab(), 13);
    EXPECT_FALSE(view.visible.value("gtv", true));
    EXPECT_FALSE(view.visible.value("tvright", true));
    EXPECT_FALSE(view.visible.contains("ni_bo1"));
    EXPECT_TRUE(view.compactMenuCaption.isEmpty());

    // No saved size: the minimum size takes over.
    modes.jbi_Click();
    EXPECT_TRUE(view.visible.value("gtv"));
    EXPECT_TRUE(view.visible.value("tvright"));
    EXPECT_EQ(view.sizeTwips, QSize(13500, 7000));
}

TEST_F(WindowModesTest, FirstCloseAsksOnceNoExits) {
    setIni("ts", "3");
    setIni("quit", "2");
    dialogs.answer = false;
    modes.npc_Click(2);
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0], QStringLiteral("提示：关闭 Vantoli  最小化到托盘吗？"));
    EXPECT_TRUE(view.exited);
    EXPECT_EQ(ini("ts"), QStringLiteral("1"));
    EXPECT_EQ(ini("quit"), QStringLiteral("1"));

    view.exited = false;
    modes.npc_Click(2);
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(view.exited);
    EXPECT_FALSE(view.hidden);
}

TEST_F(WindowModesTest, FirstCloseYesHidesToTheTray) {
    setIni("ts", "3");
    dialogs.answer = true;
    modes.npc_Click(2);
    EXPECT_TRUE(view.hidden);
    EXPECT_FALSE(view.exited);
    EXPECT_EQ(ini("quit"), QStringLiteral("2"));

    // Later closes hide silently; anything but quit=1 hides.
    view.hidden = false;
    setIni("quit", "7");
    modes.npc_Click(2);
    EXPECT_TRUE(view.hidden);
    EXPECT_EQ(dialogs.questions.size(), 1);
    // "1.0" is 1, as the settings dialog shows it: exit.
    setIni("quit", "1.0");
    modes.npc_Click(2);
    EXPECT_TRUE(view.exited);
    EXPECT_EQ(dialogs.questions.size(), 1);
}

TEST_F(WindowModesTest, RightPressSuppressesTheNextBackgroundDoubleClick) {
    modes.npc_MouseDown(3, Qt::RightButton);
    // A double-click: press, (release), double-click.
    modes.backgroundPressed(Qt::LeftButton);
    modes.backgroundDoubleClicked();
    EXPECT_FALSE(view.maximised);
    modes.backgroundPressed(Qt::LeftButton);
    modes.backgroundDoubleClicked();
    EXPECT_TRUE(view.maximised);
    EXPECT_EQ(view.tips.value("npc1"), kRestoreTip);

    // A right press on the background suppresses too; a left press on a
    // title-bar button lifts it.
    modes.backgroundPressed(Qt::RightButton);
    modes.npc_MouseDown(0, Qt::LeftButton);
    modes.backgroundPressed(Qt::LeftButton);
    modes.backgroundDoubleClicked();
    EXPECT_FALSE(view.maximised);
}
