#pragma once
// The form `tip`: it is never shown and owns every popup menu of the program
// (myMenu, r_m, webc, c_fie, peer_m). Item names are the objectNames of the
// QMenu/QAction objects. Items forward to the subsystem that carries their
// command out (MenuTargets); the video-frame, sound-channel and after-playback items keep
// their state in their own check marks.

#include "shell/tray_icon.h"

#include <QObject>
#include <QPoint>
#include <QString>

class QAction;
class QMenu;

namespace vantoli {

// What the menu items need, split by the subsystem that carries each
// command out. A target left out makes its items do nothing.

// Catalog pane Web1. Failures are ignored by the implementation.
class CatalogMenuCommands {
public:
    virtual ~CatalogMenuCommands() = default;
    virtual void catalogBack() = 0;
    virtual void catalogForward() = 0;
    virtual void catalogRefresh() = 0;
    virtual void catalogCopy() = 0;
    virtual void catalogPaste() = 0;
    virtual void catalogHome() = 0; // navigate Web1 to the content-server base URL
};

// The main window, as the menus and the tray icon see it.
class WindowMenuCommands : public TrayHost {
public:
    virtual void p_p(int skin) = 0;           // 0 black, 1 blue
    virtual void npc_Click(int index) = 0;    // window-button command
    virtual void jbi_Click() = 0;             // leave compact mode
    virtual bool isCompact() const = 0;       // compact mode is not 0
    virtual void ttt_v() = 0;                 // exit routine
    virtual void openProductHomePage() = 0;   // in the user's browser
    virtual bool isTopmost() const = 0;       // npc element 4 reads "取消置顶"
    virtual void zhi_d(int value) = 0;        // 1 top-most band on, other off
    virtual bool isWindowHidden() const = 0;
};

// The player and the transport commands.
class PlayerMenuCommands {
public:
    virtual ~PlayerMenuCommands() = default;
    virtual void bo_but_Click(int index) = 0; // transport command
    virtual void setPictureMode(int mode) = 0;
    virtual void setAudioChannel(int channel) = 0;
    // The after-playback choice: shut the computer down when the last
    // episode has played (kaiqi), or do nothing (q_wu).
    virtual void setShutdownAfterPlayback(bool on) = 0;
};

// History commands of the network-task list.
class HistoryMenuCommands {
public:
    virtual ~HistoryMenuCommands() = default;
    virtual void CCC() = 0;
    virtual void ddd() = 0;
    virtual void eee() = 0;
    virtual void qk_xl() = 0;
    virtual void qk_xw() = 0;
};

// The settings dialog and the manual update check.
class SettingsMenuCommands {
public:
    virtual ~SettingsMenuCommands() = default;
    virtual void showSettingsDialog() = 0;       // modeless, owned by the main window
    virtual void selectSettingsTab(int tab) = 0; // the dialog's d_z_Click
    virtual void focusSettingsDialog() = 0;
    virtual void shengji() = 0;                  // manual update check
};

struct MenuTargets {
    CatalogMenuCommands *catalog = nullptr;
    WindowMenuCommands *window = nullptr;
    PlayerMenuCommands *player = nullptr;
    HistoryMenuCommands *history = nullptr;
    SettingsMenuCommands *settings = nullptr;
};

class tip : public QObject {
    Q_OBJECT
public:
    explicit tip(const MenuTargets &targets, QObject *parent = nullptr);
    ~tip() override;

    QMenu *myMenu() const { return myMenu_; }
    QMenu *r_m() const { return r_m_; }
    QMenu *webc() const { return webc_; }
    QMenu *c_fie() const { return c_fie_; }
    QMenu *peer_m() const { return peer_m_; }

    // Every top-level menu in display order.
    QList<QMenu *> menus() const;
    // The item (or submenu's action) with this name, nullptr when unknown.
    QAction *item(const QString &name) const;

    // Pops a menu up at a global screen position.
    static void popup(QMenu *menu, const QPoint &globalPos);

    // "自动关机" after playback is chosen (read by the end of playback).
    // q_yin caption: "取消静音" while muted, "静音" otherwise.
    void setMuteCaption(bool muted);
    // q_jing caption: "退出精简" in compact mode, "精简模式" otherwise.
    void setCompactCaption(bool compact);

private:
    void build();
    void wire();
    void openSettings(bool aboutTab);
    void toggleCompact();

    MenuTargets targets_;
    QMenu *myMenu_ = nullptr;
    QMenu *r_m_ = nullptr;
    QMenu *webc_ = nullptr;
    QMenu *c_fie_ = nullptr;
    QMenu *peer_m_ = nullptr;
};

} // namespace vantoli
