#pragma once
// The view states of the main window and the window-button commands that
// change them: page and side tabs, side bars, always on top, maximise,
// compact mode and the close question. Widgets stay behind ModesView, so the
// commands are checked with a fake view.

#include "app/dialogs.h"
#include "app/app_settings.h"
#include "playback/playback_state.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <Qt>

namespace vantoli::shell {

inline const QString kSideBarOpenTip = QStringLiteral("关闭侧栏");
inline const QString kSideBarClosedTip = QStringLiteral("显示侧栏");
inline const QString kPinTip = QStringLiteral("置顶");
inline const QString kUnpinTip = QStringLiteral("取消置顶");
inline const QString kMaximiseTip = QStringLiteral("最大化");
inline const QString kRestoreTip = QStringLiteral("还原");
inline const QString kCompactCaption = QStringLiteral("精简模式");
inline const QString kLeaveCompactCaption = QStringLiteral("退出精简");
inline const QString kTasksCaption = QStringLiteral("∴ 管理任务");
inline const QString kClearListCaption = QStringLiteral("∴ 清空列表");

// Design-time tooltip of a title-bar button (npc0 to npc5).
QString titleButtonTip(int index);
// The caption of "qk" while a side tab is selected.
QString sideTabCaption(int index);

// The window's parts the modes show and hide. Title buttons and tab pages
// are told apart by their index (a title button's 0 to 15, a tab's 7 to 14).
enum class ModesPart {
    TitleButton,      // the window buttons, tabs and side-bar strips
    TabPage,          // the page a page tab or side tab shows
    LeaveCompact,     // the button back from compact mode
    TitleIcon,
    ItemTitle,        // the title of the item playing
    ProductName,      // the product name in the title bar
    CompactTitle,     // the item's title in compact mode
    WebPlaybackClose, // the close button over web playback
    SideBar,          // the player page's side bar
    TvClose,          // the close button over a TV channel
    TvSideBar,        // the TV page's side bar
    Footer,           // the bottom bar with the notice line
};

// What the commands need from the window.
class ModesView {
public:
    virtual ~ModesView() = default;
    virtual void setShown(ModesPart part, bool shown, int index = 0) = 0;
    virtual void setTitleButtonTip(int index, const QString &text) = 0;
    virtual QRect titleButtonRect(int index) const = 0; // window coordinates
    virtual void setProductNameCaption(const QString &text) = 0;
    virtual void setSideTabCaption(const QString &text) = 0; // the history list's caption
    // Painting in the normal look for the current state.
    virtual void paintTitleButton(int index) = 0;
    virtual void paintPageTab(int index, bool selected) = 0;
    virtual void paintSideTab(int index, bool selected) = 0;
    // Hover leftovers: the tooltip box and the two text-button colours.
    virtual void hideTooltipBox() = 0;
    virtual void resetTextButtonColours() = 0;

    virtual void minimise() = 0;
    virtual bool isMaximised() const = 0;
    virtual void setMaximised(bool maximised) = 0;
    virtual void hideToTray() = 0;
    virtual void setStaysOnTop(bool onTop) = 0;
    virtual void popupMainMenuAt(QPoint windowPos) = 0;
    virtual void setCompactMenuCaption(const QString &caption) = 0;

    // Outer size and position in twips. Setting the size runs the layout
    // (and its minimum rules) as a resize does.
    virtual QSize outerSizeTwips() const = 0;
    virtual void setOuterSizeTwips(QSize size) = 0;
    virtual QSize screenSizeTwips() const = 0;
    virtual void moveToTwips(QPoint topLeft) = 0;
    // A layout pass for the current size and state.
    virtual void relayout() = 0;

    virtual void runExitRoutine() = 0;
};

class WindowModes {
public:
    // The play-area mode is read from the playback state (compact mode
    // depends on what the play area shows).
    WindowModes(ModesView &view, const Settings &settings, Dialogs &dialogs, const PlaybackState &playback);

    // The outer size to start with: the saved size when the user asked for
    // it (s_size), else the default; within the normal mode's limits.
    QSize startSizeTwips() const;

    // The window-button command of an index 0 to 15.
    void npc_Click(int index);
    // Leaves compact mode.
    void jbi_Click();
    // Always-on-top switch: 1 on, anything else off. Leaves npc4's tooltip alone.
    void zhi_d(int value);

    // A press on a title-bar button: any button but the left one suppresses
    // the next background double-click.
    void npc_MouseDown(int index, Qt::MouseButton button);
    // The release of a mouse button on a title-bar button or the window
    // background. Only a left release makes a click, so the click a press
    // with another button suppressed never comes: its release clears the
    // flag, and the next command from a menu or a key runs.
    void mouseReleased(Qt::MouseButton button);
    // Presses and double-clicks on the window background.
    void backgroundPressed(Qt::MouseButton button);
    void backgroundDoubleClicked();

    // Forced tab switches that paint and show the current tabs (skin load).
    void applyTabs();
    void switchMainTab(int tab, bool force);
    void switchSideTab(int tab, bool force);

    int mainTab() const { return mainTab_; }
    int sideTab() const { return sideTab_; }
    int compactMode() const { return compactMode_; }
    bool sideBarOpen() const { return sideBarOpen_; }
    bool tvSideBarOpen() const { return tvSideBarOpen_; }
    bool pinned() const { return pinned_; } // npc4 reads "取消置顶"
    bool clickSuppress() const { return clickSuppress_; }
    void setClickSuppress(bool on) { clickSuppress_ = on; }

    // Notice-line hover state, shared with the notice line (1: pointer on a notice).
    int noticeHoverState() const { return noticeHover_; }
    void setNoticeHoverState(int state) { noticeHover_ = state; }

private:
    void prelude();
    void close();
    void enterCompact();
    void toggleSideBar(bool tv);
    void setAllTitleButtonsVisible(bool visible);

    ModesView &view_;
    AppSettings settings_;
    Dialogs &dialogs_;
    const PlaybackState &playback_;
    int mainTab_ = 8;
    int sideTab_ = 12;
    int compactMode_ = 0;
    bool sideBarOpen_ = true;
    bool tvSideBarOpen_ = true;
    bool pinned_ = false;
    bool clickSuppress_ = false;
    bool suppressAtPress_ = false;
    int noticeHover_ = 0;
};

} // namespace vantoli::shell
