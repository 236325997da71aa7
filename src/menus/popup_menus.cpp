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

tip::tip(const MenuTargets &targets, QObject *parent) : QObject(parent), targets_(targets) {
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
    // Items whose subsystem is not there do nothing.
    const auto to = [&on](const char *name, auto *target, auto command) {
        on(name, [target, command] {
            if (target)
                command(*target);
        });
    };
    CatalogMenuCommands *cat = targets_.catalog;
    WindowMenuCommands *win = targets_.window;
    PlayerMenuCommands *pl = targets_.player;
    HistoryMenuCommands *his = targets_.history;
    SettingsMenuCommands *set = targets_.settings;

    to("ht", cat, [](CatalogMenuCommands &c) { c.catalogBack(); });
    to("qj", cat, [](CatalogMenuCommands &c) { c.catalogForward(); });
    to("sx", cat, [](CatalogMenuCommands &c) { c.catalogRefresh(); });
    to("fz", cat, [](CatalogMenuCommands &c) { c.catalogCopy(); });
    to("zt", cat, [](CatalogMenuCommands &c) { c.catalogPaste(); });
    to("zy", cat, [](CatalogMenuCommands &c) { c.catalogHome(); });

    on("shezhi", [this] { openSettings(false); });
    to("green", win, [](WindowMenuCommands &c) { c.p_p(0); });
    to("blue", win, [](WindowMenuCommands &c) { c.p_p(1); });
    on("about", [this] { openSettings(true); });
    to("guanf", win, [](WindowMenuCommands &c) { c.openProductHomePage(); });
    to("shengji", set, [](SettingsMenuCommands &c) { c.shengji(); });
    to("qsoft", win, [](WindowMenuCommands &c) { c.ttt_v(); });

    to("c_f", his, [](HistoryMenuCommands &c) { c.CCC(); });
    to("c_shan", his, [](HistoryMenuCommands &c) { c.ddd(); });
    to("c_shan2", his, [](HistoryMenuCommands &c) { c.eee(); });
    to("renwub", his, [](HistoryMenuCommands &c) { c.qk_xl(); });
    to("wenjianb", his, [](HistoryMenuCommands &c) { c.qk_xw(); });

    to("q_bo", pl, [](PlayerMenuCommands &c) { c.bo_but_Click(0); });
    to("q_stop", pl, [](PlayerMenuCommands &c) { c.bo_but_Click(1); });
    to("q_quan", pl, [](PlayerMenuCommands &c) { c.bo_but_Click(3); });
    // Transport command 2 sets this item's caption through setMuteCaption.
    to("q_yin", pl, [](PlayerMenuCommands &c) { c.bo_but_Click(2); });
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
    radio(kPictureModes, [pl](int mode) {
        if (pl)
            pl->setPictureMode(mode);
    });
    radio(kAudioChannels, [pl](int channel) {
        if (pl)
            pl->setAudioChannel(channel);
    });
    const RadioItem afterPlayback[] = {{"kaiqi", 1}, {"q_wu", 0}};
    radio(afterPlayback, [pl](int on) {
        if (pl)
            pl->setShutdownAfterPlayback(on == 1);
    });
}

void tip::openSettings(bool aboutTab) {
    WindowMenuCommands *w = targets_.window;
    SettingsMenuCommands *d = targets_.settings;
    if (!w || !d)
        return;
    // The dialog must not end up behind a top-most main window.
    const bool wasTopmost = w->isTopmost();
    if (wasTopmost)
        w->zhi_d(0);
    if (w->isWindowHidden())
        w->showWindow();
    if (w->isWindowMinimized())
        w->restoreWindow();
    d->showSettingsDialog();
    if (wasTopmost)
        w->zhi_d(1);
    if (aboutTab)
        d->selectSettingsTab(0);
    d->focusSettingsDialog();
}

void tip::toggleCompact() {
    WindowMenuCommands *w = targets_.window;
    if (!w)
        return;
    if (!w->isCompact())
        w->npc_Click(3);
    else
        w->jbi_Click();
    // The caption follows the mode the window is actually in: entering
    // compact mode does nothing while nothing has been played.
    setCompactCaption(w->isCompact());
}

} // namespace vantoli
