// The popup menu form: the whole tree and what each item does.

#include "menus/popup_menus.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

#include <functional>

using namespace vantoli;

namespace {

// Records every call as text, e.g. "npc_Click(3)".
class FakeCommands : public CatalogMenuCommands,
                     public WindowMenuCommands,
                     public PlayerMenuCommands,
                     public HistoryMenuCommands,
                     public SettingsMenuCommands {
public:
    QStringList calls;
    bool topmost = false;
    bool hidden = false;
    bool minimized = false;
    bool compact = false;
    bool enterCompactWorks = true;

    void log(const QString &call) { calls << call; }
    void log(const char *name, int value) { calls << QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(value); }

    void catalogBack() override { log(QStringLiteral("catalogBack")); }
    void catalogForward() override { log(QStringLiteral("catalogForward")); }
    void catalogRefresh() override { log(QStringLiteral("catalogRefresh")); }
    void catalogCopy() override { log(QStringLiteral("catalogCopy")); }
    void catalogPaste() override { log(QStringLiteral("catalogPaste")); }
    void catalogHome() override { log(QStringLiteral("catalogHome")); }
    void p_p(int skin) override { log("p_p", skin); }
    void npc_Click(int index) override {
        log("npc_Click", index);
        if (index == 3 && enterCompactWorks)
            compact = true;
    }
    void jbi_Click() override {
        log(QStringLiteral("jbi_Click"));
        compact = false;
    }
    bool isCompact() const override { return compact; }
    void bo_but_Click(int index) override { log("bo_but_Click", index); }
    void ttt_v() override { log(QStringLiteral("ttt_v")); }
    void shengji() override { log(QStringLiteral("shengji")); }
    void openProductHomePage() override { log(QStringLiteral("openProductHomePage")); }
    void CCC() override { log(QStringLiteral("CCC")); }
    void ddd() override { log(QStringLiteral("ddd")); }
    void eee() override { log(QStringLiteral("eee")); }
    void qk_xl() override { log(QStringLiteral("qk_xl")); }
    void qk_xw() override { log(QStringLiteral("qk_xw")); }
    void setPictureMode(int mode) override { log("setPictureMode", mode); }
    void setAudioChannel(int channel) override { log("setAudioChannel", channel); }
    void setShutdownAfterPlayback(bool on) override {
        shutdown = on;
        log("setShutdownAfterPlayback", on ? 1 : 0);
    }
    bool shutdown = false;
    bool isTopmost() const override { return topmost; }
    void zhi_d(int value) override {
        log("zhi_d", value);
        topmost = value == 1;
    }
    bool isWindowHidden() const override { return hidden; }
    // The tray's part of the window commands: not the menus' concern.
    QString windowCaption() const override { return {}; }
    bool isWindowVisible() const override { return !hidden; }
    void hideWindow() override {}
    void minimizeWindow() override {}
    void popupMainMenu(const QPoint &) override {}
    bool isWindowMinimized() const override { return minimized; }
    void showWindow() override {
        log(QStringLiteral("showWindow"));
        hidden = false;
    }
    void restoreWindow() override {
        log(QStringLiteral("restoreWindow"));
        minimized = false;
    }
    void showSettingsDialog() override { log(QStringLiteral("showSettingsDialog")); }
    void selectSettingsTab(int tab) override { log("selectSettingsTab", tab); }
    void focusSettingsDialog() override { log(QStringLiteral("focusSettingsDialog")); }
};

// One line per item: indentation for depth, name, caption, then
// "> " for a submenu, "[x]" when checked, "(hidden)" when not visible.
void dump(const QMenu *menu, int depth, QStringList &out) {
    for (const QAction *action : menu->actions()) {
        QString line = QString(depth * 2, QLatin1Char(' ')) + action->objectName() + QLatin1Char(' ') +
                       (action->isSeparator() ? QStringLiteral("-") : action->text());
        if (action->menu())
            line += QStringLiteral(" >");
        if (action->isChecked())
            line += QStringLiteral(" [x]");
        if (!action->isVisible())
            line += QStringLiteral(" (hidden)");
        out << line;
        if (action->menu())
            dump(action->menu(), depth + 1, out);
    }
}

class PopupMenusTest : public ::testing::Test {
protected:
    void choose(const char *name) {
        QAction *action = form.item(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    QStringList checkedOf(std::initializer_list<const char *> names) {
        QStringList checked;
        for (const char *name : names)
            if (form.item(QString::fromLatin1(name))->isChecked())
                checked << QString::fromLatin1(name);
        return checked;
    }

    FakeCommands commands;
    tip form{MenuTargets{&commands, &commands, &commands, &commands, &commands}};
};

const std::initializer_list<const char *> kSoundGroup = {"q_shun", "q_szuo", "q_syou", "q_szuoq", "q_syouq"};
const std::initializer_list<const char *> kFrameGroup = {"q_la", "q_suo", "q_43", "q_54", "q_169"};

} // namespace

TEST_F(PopupMenusTest, TreeMatchesTheMenuTable) {
    QStringList tree;
    for (const QMenu *menu : form.menus()) {
        tree << menu->objectName();
        EXPECT_FALSE(menu->isVisible());
        dump(menu, 1, tree);
    }
    const QStringList expected = {
        QStringLiteral("myMenu"),
        QStringLiteral("  ht 后退"),
        QStringLiteral("  qj 前进"),
        QStringLiteral("  sx 刷新"),
        QStringLiteral("  sss -"),
        QStringLiteral("  fz 复制"),
        QStringLiteral("  zt 粘贴"),
        QStringLiteral("  zy 主页"),
        QStringLiteral("r_m"),
        QStringLiteral("  shezhi 软件设置"),
        QStringLiteral("  pifu 更换皮肤 >"),
        QStringLiteral("    green 黑色冷酷"),
        QStringLiteral("    blue 蓝色经典"),
        QStringLiteral("  about 关于我们"),
        QStringLiteral("  aa12 -"),
        QStringLiteral("  guanf 官方主页"),
        QStringLiteral("  shengji 升级检测"),
        QStringLiteral("  qsoft 退出软件"),
        QStringLiteral("webc"),
        QStringLiteral("  c_f 播放选定"),
        QStringLiteral("  c_shan 删除任务"),
        QStringLiteral("  ttbn -"),
        QStringLiteral("  c_shan2 删除下载"),
        QStringLiteral("c_fie"),
        QStringLiteral("  renwub 删除任务列表"),
        QStringLiteral("  wenjianb 管理下载文件"),
        QStringLiteral("peer_m"),
        QStringLiteral("  q_bo 播放/暂停(空格)"),
        QStringLiteral("  q_stop 停止"),
        QStringLiteral("  q_quan 全屏"),
        QStringLiteral("  q_yin 静音"),
        QStringLiteral("  q_xx -"),
        QStringLiteral("  q_kuang 视频框架 >"),
        QStringLiteral("    q_la 拉伸以适合窗口"),
        QStringLiteral("    q_suo 缩放以适合窗口 [x]"),
        QStringLiteral("    q_43 4:3"),
        QStringLiteral("    q_54 5:4"),
        QStringLiteral("    q_169 16:9"),
        QStringLiteral("  q_shengdao 声道调节 >"),
        QStringLiteral("    q_shun 混合声道 [x]"),
        QStringLiteral("    q_szuo 左声道"),
        QStringLiteral("    q_syou 右声道"),
        QStringLiteral("    q_szuoq 左声道扩展至全部"),
        QStringLiteral("    q_syouq 右声道扩展至全部"),
        QStringLiteral("  q_yy - (hidden)"),
        QStringLiteral("  q_tiao 视频调节 (hidden)"),
        QStringLiteral("  q_yinpin 音频调节 (hidden)"),
        QStringLiteral("  q_yinxiao 音效均衡 (hidden)"),
        QStringLiteral("  peer_zz -"),
        QStringLiteral("  q_wan 播放完后 >"),
        QStringLiteral("    kaiqi 自动关机"),
        QStringLiteral("    q_wu 无操作 [x]"),
        QStringLiteral("  q_jing 精简模式"),
    };
    EXPECT_EQ(tree.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
    // The marks at start record no player call.
    EXPECT_TRUE(commands.calls.isEmpty());
    EXPECT_FALSE(commands.shutdown);
}

TEST_F(PopupMenusTest, ItemsForwardToTheMainWindow) {
    const std::pair<const char *, const char *> cases[] = {
        {"ht", "catalogBack"},          {"qj", "catalogForward"},  {"sx", "catalogRefresh"},
        {"fz", "catalogCopy"},          {"zt", "catalogPaste"},    {"zy", "catalogHome"},
        {"green", "p_p(0)"},            {"blue", "p_p(1)"},        {"guanf", "openProductHomePage"},
        {"shengji", "shengji"},         {"qsoft", "ttt_v"},        {"c_f", "CCC"},
        {"c_shan", "ddd"},              {"c_shan2", "eee"},        {"renwub", "qk_xl"},
        {"wenjianb", "qk_xw"},          {"q_bo", "bo_but_Click(0)"}, {"q_stop", "bo_but_Click(1)"},
        {"q_quan", "bo_but_Click(3)"},  {"q_yin", "bo_but_Click(2)"},
    };
    for (const auto &[item, call] : cases) {
        commands.calls.clear();
        choose(item);
        EXPECT_EQ(commands.calls, QStringList{QString::fromLatin1(call)}) << item;
    }
}

TEST_F(PopupMenusTest, RadioGroupsCallThePlayerAndMoveTheMark) {
    choose("q_syou");
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("setAudioChannel(2)")});
    EXPECT_EQ(checkedOf(kSoundGroup), QStringList{QStringLiteral("q_syou")});
    // The checked item again: the player is asked again, the marks stay.
    choose("q_syou");
    EXPECT_EQ(commands.calls.size(), 2);
    EXPECT_EQ(checkedOf(kSoundGroup), QStringList{QStringLiteral("q_syou")});

    commands.calls.clear();
    for (const char *name : {"q_szuoq", "q_syouq", "q_shun", "q_szuo"})
        choose(name);
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("setAudioChannel(4)"), QStringLiteral("setAudioChannel(5)"),
                                           QStringLiteral("setAudioChannel(0)"), QStringLiteral("setAudioChannel(1)")}));

    // The groups are independent of each other.
    commands.calls.clear();
    for (const char *name : {"q_la", "q_43", "q_54", "q_169"})
        choose(name);
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("setPictureMode(0)"), QStringLiteral("setPictureMode(2)"),
                                           QStringLiteral("setPictureMode(3)"), QStringLiteral("setPictureMode(4)")}));
    EXPECT_EQ(checkedOf(kFrameGroup), QStringList{QStringLiteral("q_169")});
    EXPECT_EQ(checkedOf(kSoundGroup), QStringList{QStringLiteral("q_szuo")});
}

TEST_F(PopupMenusTest, AfterPlaybackPairIsTheShutdownSetting) {
    choose("kaiqi");
    EXPECT_TRUE(commands.shutdown);
    EXPECT_EQ(checkedOf({"kaiqi", "q_wu"}), QStringList{QStringLiteral("kaiqi")});
    choose("kaiqi");
    EXPECT_TRUE(commands.shutdown);
    choose("q_wu");
    EXPECT_FALSE(commands.shutdown);
    EXPECT_EQ(checkedOf({"kaiqi", "q_wu"}), QStringList{QStringLiteral("q_wu")});
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("setShutdownAfterPlayback(1)"),
                                           QStringLiteral("setShutdownAfterPlayback(1)"),
                                           QStringLiteral("setShutdownAfterPlayback(0)")}));
}

TEST_F(PopupMenusTest, AboutRestoresAMinimisedTopmostWindowAndKeepsItOnTop) {
    commands.topmost = true;
    commands.minimized = true;
    choose("about");
    EXPECT_EQ(commands.calls,
              (QStringList{QStringLiteral("zhi_d(0)"), QStringLiteral("restoreWindow"),
                           QStringLiteral("showSettingsDialog"), QStringLiteral("zhi_d(1)"),
                           QStringLiteral("selectSettingsTab(0)"), QStringLiteral("focusSettingsDialog")}));
    EXPECT_TRUE(commands.topmost);
}

TEST_F(PopupMenusTest, SettingsShowsAHiddenWindowAndKeepsTheTab) {
    commands.hidden = true;
    choose("shezhi");
    EXPECT_EQ(commands.calls, (QStringList{QStringLiteral("showWindow"), QStringLiteral("showSettingsDialog"),
                                           QStringLiteral("focusSettingsDialog")}));
}

TEST_F(PopupMenusTest, CompactItemFollowsTheWindowMode) {
    QAction *item = form.item(QStringLiteral("q_jing"));
    choose("q_jing");
    EXPECT_EQ(commands.calls, QStringList{QStringLiteral("npc_Click(3)")});
    EXPECT_EQ(item->text(), QStringLiteral("退出精简"));
    choose("q_jing");
    EXPECT_EQ(commands.calls.last(), QStringLiteral("jbi_Click"));
    EXPECT_EQ(item->text(), QStringLiteral("精简模式"));

    // Nothing played yet: the window stays normal, and so does the caption,
    // so the next choice tries compact mode again instead of leaving it.
    commands.enterCompactWorks = false;
    choose("q_jing");
    EXPECT_EQ(item->text(), QStringLiteral("精简模式"));
    choose("q_jing");
    EXPECT_EQ(commands.calls.last(), QStringLiteral("npc_Click(3)"));

    // The window sets the caption when the mode changes by other means.
    form.setCompactCaption(true);
    EXPECT_EQ(item->text(), QStringLiteral("退出精简"));
}

TEST_F(PopupMenusTest, MuteCaptionFollowsTheMuteState) {
    form.setMuteCaption(true);
    EXPECT_EQ(form.item(QStringLiteral("q_yin"))->text(), QStringLiteral("取消静音"));
    form.setMuteCaption(false);
    EXPECT_EQ(form.item(QStringLiteral("q_yin"))->text(), QStringLiteral("静音"));
}

// Walks every menu and submenu of the form as a user would see them and
// chooses each item once: every visible item must reach its own target.
TEST_F(PopupMenusTest, EveryVisibleItemOfEveryMenuReachesItsTarget) {
    const QHash<QString, QStringList> expected = {
        {"ht", {"catalogBack"}},
        {"qj", {"catalogForward"}},
        {"sx", {"catalogRefresh"}},
        {"fz", {"catalogCopy"}},
        {"zt", {"catalogPaste"}},
        {"zy", {"catalogHome"}},
        {"shezhi", {"showSettingsDialog", "focusSettingsDialog"}},
        {"green", {"p_p(0)"}},
        {"blue", {"p_p(1)"}},
        {"about", {"showSettingsDialog", "selectSettingsTab(0)", "focusSettingsDialog"}},
        {"guanf", {"openProductHomePage"}},
        {"shengji", {"shengji"}},
        {"qsoft", {"ttt_v"}},
        {"c_f", {"CCC"}},
        {"c_shan", {"ddd"}},
        {"c_shan2", {"eee"}},
        {"renwub", {"qk_xl"}},
        {"wenjianb", {"qk_xw"}},
        {"q_bo", {"bo_but_Click(0)"}},
        {"q_stop", {"bo_but_Click(1)"}},
        {"q_quan", {"bo_but_Click(3)"}},
        {"q_yin", {"bo_but_Click(2)"}},
        {"q_la", {"setPictureMode(0)"}},
        {"q_suo", {"setPictureMode(1)"}},
        {"q_43", {"setPictureMode(2)"}},
        {"q_54", {"setPictureMode(3)"}},
        {"q_169", {"setPictureMode(4)"}},
        {"q_shun", {"setAudioChannel(0)"}},
        {"q_szuo", {"setAudioChannel(1)"}},
        {"q_syou", {"setAudioChannel(2)"}},
        {"q_szuoq", {"setAudioChannel(4)"}},
        {"q_syouq", {"setAudioChannel(5)"}},
        {"kaiqi", {"setShutdownAfterPlayback(1)"}},
        {"q_wu", {"setShutdownAfterPlayback(0)"}},
        {"q_jing", {"npc_Click(3)"}},
    };
    QStringList walked, hidden;
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        for (QAction *action : menu->actions()) {
            if (action->menu()) {
                EXPECT_TRUE(action->isVisible()) << action->objectName().toStdString();
                walk(action->menu());
                continue;
            }
            if (!action->isVisible()) {
                hidden << action->objectName();
                continue;
            }
            if (action->isSeparator())
                continue;
            const QString name = action->objectName();
            walked << name;
            commands.calls.clear();
            action->trigger();
            const QStringList effect = commands.calls;
            EXPECT_FALSE(effect.isEmpty()) << "silent item " << name.toStdString();
            EXPECT_EQ(effect, expected.value(name)) << name.toStdString();
        }
    };
    for (QMenu *menu : form.menus())
        walk(menu);
    QStringList table = expected.keys();
    table.sort();
    walked.sort();
    EXPECT_EQ(walked, table);
    EXPECT_EQ(hidden, (QStringList{QStringLiteral("q_yy"), QStringLiteral("q_tiao"), QStringLiteral("q_yinpin"),
                                   QStringLiteral("q_yinxiao")}));
}
