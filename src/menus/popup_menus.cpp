#include "menus/popup_menus.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <functional>

namespace vantoli {

namespace {

const QString kCompactCaption = QStringLiteral("精简模式");
const QString kLeaveCompactCaption = QStringLiteral("退出精简");
const QString kMuteCaption = QStringLiteral("静音");
const QString kUnmuteCaption = QStringLiteral("取消静音");

// One row of the menu tree. A row with submenu set opens a submenu that
// holds the rows following it whose parent is its name.
struct ItemRow {
    const char *parent; // top-level menu or submenu name
    const char *name;
    const char *caption; // "-" for a separator
    bool submenu = false;
    bool hidden = false;
    bool checked = false;
};

const ItemRow kItems[] = {
    {"myMenu", "ht", "后退"},
    {"myMenu", "qj", "前进"},
    {"myMenu", "sx", "刷新"},
    {"myMenu", "sss", "-"},
    {"myMenu", "fz", "复制"},
    {"myMenu", "zt", "粘贴"},
    {"myMenu", "zy", "主页"},

    {"r_m", "shezhi", "软件设置"},
    {"r_m", "pifu", "更换皮肤", true},
    {"pifu", "green", "黑色冷酷"},
    {"pifu", "blue", "蓝色经典"},
    {"r_m", "about", "关于我们"},
    {"r_m", "aa12", "-"},
    {"r_m", "guanf", "官方主页"},
    {"r_m", "shengji", "升级检测"},
    {"r_m", "qsoft", "退出软件"},

    {"webc", "c_f", "播放选定"},
    {"webc", "c_shan", "删除任务"},
    {"webc", "ttbn", "-"},
    {"webc", "c_shan2", "删除下载"},

    {"c_fie", "renwub", "删除任务列表"},
    {"c_fie", "wenjianb", "管理下载文件"},

    {"peer_m", "q_bo", "播放/暂停(空格)"},
    {"peer_m", "q_stop", "停止"},
    {"peer_m", "q_quan", "全屏"},
    {"peer_m", "q_yin", "静音"},
    {"peer_m", "q_xx", "-"},
    {"peer_m", "q_kuang", "视频框架", true},
    {"q_kuang", "q_la", "拉伸以适合窗口"},
    {"q_kuang", "q_suo", "缩放以适合窗口", false, false, true},
    {"q_kuang", "q_43", "4:3"},
    {"q_kuang", "q_54", "5:4"},
    {"q_kuang", "q_169", "16:9"},
    {"peer_m", "q_shengdao", "声道调节", true},
    {"q_shengdao", "q_shun", "混合声道", false, false, true},
    {"q_shengdao", "q_szuo", "左声道"},
    {"q_shengdao", "q_syou", "右声道"},
    {"q_shengdao", "q_szuoq", "左声道扩展至全部"},
    {"q_shengdao", "q_syouq", "右声道扩展至全部"},
    {"peer_m", "q_yy", "-", false, true},
    {"peer_m", "q_tiao", "视频调节", false, true},
    {"peer_m", "q_yinpin", "音频调节", false, true},
    {"peer_m", "q_yinxiao", "音效均衡", false, true},
    {"peer_m", "peer_zz", "-"},
    {"peer_m", "q_wan", "播放完后", true},
    {"q_wan", "kaiqi", "自动关机"},
    {"q_wan", "q_wu", "无操作", false, false, true},
    {"peer_m", "q_jing", "精简模式"},
};

// Radio groups: item names and the value each passes on.
struct RadioItem {
    const char *name;
    int value;
};
const RadioItem kPictureModes[] = {{"q_la", 0}, {"q_suo", 1}, {"q_43", 2}, {"q_54", 3}, {"q_169", 4}};
const RadioItem kAudioChannels[] = {
    {"q_shun", 0}, {"q_szuo", 1}, {"q_syou", 2}, {"q_szuoq", 4}, {"q_syouq", 5}};

} // namespace

tip::tip(MenuCommands &commands, QObject *parent) : QObject(parent), commands_(commands) {
    setObjectName(QStringLiteral("tip"));
    build();
    wire();
}

tip::~tip() {
    // The menus have no QObject parent (a QMenu's parent must be a widget);
    // they belong to this form. The form may go away from inside one of its
    // own items (exit), so the menus are deleted once that has returned.
    for (QMenu *menu : menus())
        menu->deleteLater();
}

QList<QMenu *> tip::menus() const { return {myMenu_, r_m_, webc_, c_fie_, peer_m_}; }

void tip::build() {
    QHash<QString, QMenu *> containers;
    for (const char *name : {"myMenu", "r_m", "webc", "c_fie", "peer_m"}) {
        auto *menu = new QMenu;
        menu->setObjectName(QString::fromLatin1(name));
        containers.insert(menu->objectName(), menu);
    }
    myMenu_ = containers.value(QStringLiteral("myMenu"));
    r_m_ = containers.value(QStringLiteral("r_m"));
    webc_ = containers.value(QStringLiteral("webc"));
    c_fie_ = containers.value(QStringLiteral("c_fie"));
    peer_m_ = containers.value(QStringLiteral("peer_m"));

    for (const ItemRow &row : kItems) {
        QMenu *parentMenu = containers.value(QString::fromLatin1(row.parent));
        const QString name = QString::fromLatin1(row.name);
        const QString caption = QString::fromUtf8(row.caption);
        QAction *action = nullptr;
        if (row.submenu) {
            auto *sub = parentMenu->addMenu(caption);
            sub->setObjectName(name);
            action = sub->menuAction();
            containers.insert(name, sub);
        } else if (caption == u"-") {
            // No text: some styles draw a separator's text beside the line.
            action = parentMenu->addSeparator();
        } else {
            action = parentMenu->addAction(caption);
        }
        action->setObjectName(name);
        if (row.hidden)
            action->setVisible(false);
        if (row.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
    }
}

QAction *tip::item(const QString &name) const {
    for (QMenu *menu : menus()) {
        if (auto *action = menu->findChild<QAction *>(name))
            return action;
    }
    return nullptr;
}

void tip::popup(QMenu *menu, const QPoint &globalPos) {
    if (menu)
        menu->popup(globalPos);
}

bool tip::autoShutdown() const {
    const QAction *kaiqi = item(QStringLiteral("kaiqi"));
    return kaiqi && kaiqi->isChecked();
}

void tip::setMuteCaption(bool muted) {
    if (QAction *action = item(QStringLiteral("q_yin")))
        action->setText(muted ? kUnmuteCaption : kMuteCaption);
}

void tip::setCompactCaption(bool compact) {
    if (QAction *action = item(QStringLiteral("q_jing")))
        action->setText(compact ? kLeaveCompactCaption : kCompactCaption);
}

void tip::wire() {
    const auto on = [this](const char *name, std::function<void()> command) {
        QAction *action = item(QString::fromLatin1(name));
        Q_ASSERT(action);
        connect(action, &QAction::triggered, this, [command = std::move(command)] { command(); });
    };
    MenuCommands &c = commands_;

    on("ht", [&c] { c.catalogBack(); });
    on("qj", [&c] { c.catalogForward(); });
    on("sx", [&c] { c.catalogRefresh(); });
    on("fz", [&c] { c.catalogCopy(); });
    on("zt", [&c] { c.catalogPaste(); });
    on("zy", [&c] { c.catalogHome(); });

    on("shezhi", [this] { openSettings(false); });
    on("green", [&c] { c.p_p(0); });
    on("blue", [&c] { c.p_p(1); });
    on("about", [this] { openSettings(true); });
    on("guanf", [&c] { c.openProductHomePage(); });
    on("shengji", [&c] { c.shengji(); });
    on("qsoft", [&c] { c.ttt_v(); });

    on("c_f", [&c] { c.CCC(); });
    on("c_shan", [&c] { c.ddd(); });
    on("c_shan2", [&c] { c.eee(); });
    on("renwub", [&c] { c.qk_xl(); });
    on("wenjianb", [&c] { c.qk_xw(); });

    on("q_bo", [&c] { c.bo_but_Click(0); });
    on("q_stop", [&c] { c.bo_but_Click(1); });
    on("q_quan", [&c] { c.bo_but_Click(3); });
    // Transport command 2 sets this item's caption through setMuteCaption.
    on("q_yin", [&c] { c.bo_but_Click(2); });
    on("q_jing", [this] { toggleCompact(); });

    // Radio groups: the player is told first, then the marks follow the
    // choice. Choosing the checked item again calls the player again.
    const auto radio = [this](const auto &items, std::function<void(int)> apply) {
        auto *group = new QActionGroup(this);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
        for (const RadioItem &r : items) {
            QAction *action = item(QString::fromLatin1(r.name));
            action->setCheckable(true);
            group->addAction(action);
            const int value = r.value;
            connect(action, &QAction::triggered, this, [action, apply, value] {
                if (apply)
                    apply(value);
                action->setChecked(true);
            });
        }
    };
    radio(kPictureModes, [&c](int mode) { c.setPictureMode(mode); });
    radio(kAudioChannels, [&c](int channel) { c.setAudioChannel(channel); });
    const RadioItem afterPlayback[] = {{"kaiqi", 1}, {"q_wu", 0}};
    radio(afterPlayback, nullptr);
}

void tip::openSettings(bool aboutTab) {
    MenuCommands &c = commands_;
    // The dialog must not end up behind a top-most main window.
    const bool wasTopmost = c.isTopmost();
    if (wasTopmost)
        c.zhi_d(0);
    if (c.isWindowHidden())
        c.showWindow();
    if (c.isWindowMinimized())
        c.restoreWindow();
    c.showSettingsDialog();
    if (wasTopmost)
        c.zhi_d(1);
    if (aboutTab)
        c.selectSettingsTab(0);
    c.focusSettingsDialog();
}

void tip::toggleCompact() {
    QAction *action = item(QStringLiteral("q_jing"));
    if (action->text() == kCompactCaption)
        commands_.npc_Click(3);
    else
        commands_.jbi_Click();
    // The caption follows the mode the window is actually in: entering
    // compact mode does nothing while nothing has been played.
    setCompactCaption(commands_.isCompact());
}

} // namespace vantoli
