#include "shell/window_modes.h"

#include "app/startup.h"
#include "shell/layout.h"

namespace vantoli::shell {

QString titleButtonTip(int index) {
    switch (index) {
    case 0: return QStringLiteral("最小化");
    case 1: return kMaximiseTip;
    case 2: return QStringLiteral("关闭");
    case 3: return kCompactCaption;
    case 4: return kPinTip;
    case 5: return QStringLiteral("菜单");
    default: return {};
    }
}

QString sideTabCaption(int index) { return index == 7 ? kClearListCaption : kTasksCaption; }

WindowModes::WindowModes(ModesView &view, const Settings &settings, Dialogs &dialogs,
                         const PlaybackState &playback)
    : view_(view), settings_(settings), dialogs_(dialogs), playback_(playback) {}

void WindowModes::prelude() {
    view_.hideTooltipBox();
    view_.resetTextButtonColours();
    if (noticeHover_ == 1)
        noticeHover_ = 0;
    clickSuppress_ = false;
    suppressAtPress_ = false;
}

QSize WindowModes::startSizeTwips() const {
    const QSize twips = settings_.rememberWindowSize() ? settings_.windowSizeTwips()
                                                       : QSize(kDefaultWidthTwips, kDefaultHeightTwips);
    return clampOuterSizeTwips(twips, 0, false);
}

void WindowModes::npc_Click(int index) {
    prelude();
    switch (index) {
    case 0:
        view_.minimise();
        view_.paintTitleButton(0);
        break;
    case 1:
        if (view_.isMaximised()) {
            view_.setMaximised(false);
            view_.setTitleButtonTip(1, kMaximiseTip);
        } else {
            view_.setMaximised(true);
            view_.setTitleButtonTip(1, kRestoreTip);
        }
        view_.paintTitleButton(1);
        break;
    case 2:
        close();
        break;
    case 3:
        enterCompact();
        break;
    case 4:
        pinned_ = !pinned_;
        view_.setTitleButtonTip(4, pinned_ ? kUnpinTip : kPinTip);
        zhi_d(pinned_ ? 1 : 0);
        view_.paintTitleButton(4);
        break;
    case 5: {
        view_.paintTitleButton(5);
        const QRect button = view_.titleButtonRect(5);
        view_.popupMainMenuAt(QPoint(button.left() - 15, button.top() + 20));
        break;
    }
    case 6:
        toggleSideBar(false);
        break;
    case 15:
        toggleSideBar(true);
        break;
    case 7:
    case 11:
    case 12:
        switchSideTab(index, false);
        break;
    case 8:
    case 9:
    case 13:
    case 14:
        switchMainTab(index, false);
        break;
    default: // 10, the side-bar header, and anything else: nothing
        break;
    }
}

void WindowModes::toggleSideBar(bool tv) {
    bool &open = tv ? tvSideBarOpen_ : sideBarOpen_;
    open = !open;
    view_.setTitleButtonTip(tv ? 15 : 6, open ? kSideBarOpenTip : kSideBarClosedTip);
    view_.setShown(tv ? ModesPart::TvSideBar : ModesPart::SideBar, open);
    view_.relayout();
}

void WindowModes::close() {
    view_.paintTitleButton(2);
    if (!settings_.closeQuestionPending()) {
        if (settings_.closeHidesToTray())
            view_.hideToTray();
        else
            view_.runExitRoutine();
        return;
    }
    settings_.setCloseQuestionAsked();
    const QString question = QStringLiteral("关闭 ") + kProductName + QStringLiteral("  最小化到托盘吗？");
    if (dialogs_.askYesNo(kDialogTitle, question)) {
        settings_.setCloseHidesToTray(true);
        view_.hideToTray();
    } else {
        settings_.setCloseHidesToTray(false);
        view_.runExitRoutine();
    }
}

void WindowModes::setAllTitleButtonsVisible(bool visible) {
    for (int i = 0; i <= 15; ++i)
        view_.setShown(ModesPart::TitleButton, visible, i);
}

void WindowModes::enterCompact() {
    if (playback_.playAreaMode == 1 || playback_.playAreaMode == 2)
        switchMainTab(9, false);
    else if (playback_.playAreaMode == 3)
        switchMainTab(13, false);
    else
        return;

    if (view_.isMaximised())
        view_.setMaximised(false);
    view_.setShown(ModesPart::LeaveCompact, true);
    view_.setShown(ModesPart::TitleIcon, false);
    view_.setShown(ModesPart::ItemTitle, false);
    setAllTitleButtonsVisible(false);
    view_.setShown(ModesPart::ProductName, false);
    if (mainTab_ == 9) {
        compactMode_ = 1;
        view_.setShown(ModesPart::WebPlaybackClose, false);
        view_.setShown(ModesPart::CompactTitle, true);
        view_.setShown(ModesPart::SideBar, false);
        view_.setCompactMenuCaption(kLeaveCompactCaption);
    } else {
        compactMode_ = 2;
        view_.setShown(ModesPart::TvClose, false);
        view_.setShown(ModesPart::TvSideBar, false);
    }
    view_.setShown(ModesPart::Footer, false);
    view_.setOuterSizeTwips(QSize(5900, 4800));
    view_.relayout();
    view_.paintTitleButton(3);
}

void WindowModes::jbi_Click() {
    if (view_.isMaximised())
        view_.setMaximised(false);
    setAllTitleButtonsVisible(true);
    view_.setShown(ModesPart::LeaveCompact, false);
    view_.setShown(ModesPart::TitleIcon, true);
    view_.setProductNameCaption(kProductName);
    view_.setShown(ModesPart::ProductName, true);
    view_.setShown(ModesPart::Footer, true);
    if (compactMode_ == 1) {
        view_.setShown(ModesPart::ItemTitle, true);
        view_.setShown(ModesPart::CompactTitle, false);
        view_.setShown(ModesPart::WebPlaybackClose, true);
        view_.setShown(ModesPart::SideBar, sideBarOpen_);
        view_.setCompactMenuCaption(kCompactCaption);
    } else if (compactMode_ == 2) {
        view_.setShown(ModesPart::TvClose, true);
        view_.setShown(ModesPart::TvSideBar, tvSideBarOpen_);
    }
    compactMode_ = 0;

    // Back to the saved normal size, centred on the screen. A missing or
    // unreadable size reads as 0, which the minimum size then corrects.
    view_.setOuterSizeTwips(settings_.windowSizeTwips());
    const QSize outer = view_.outerSizeTwips();
    const QSize screen = view_.screenSizeTwips();
    view_.moveToTwips(QPoint((screen.width() - outer.width()) / 2, (screen.height() - outer.height()) / 2));
    view_.relayout();
}

void WindowModes::zhi_d(int value) { view_.setStaysOnTop(value == 1); }

void WindowModes::npc_MouseDown(int, Qt::MouseButton button) { clickSuppress_ = button != Qt::LeftButton; }

void WindowModes::mouseReleased(Qt::MouseButton button) {
    if (button != Qt::LeftButton)
        clickSuppress_ = false;
}

void WindowModes::backgroundPressed(Qt::MouseButton button) {
    if (button != Qt::LeftButton) {
        clickSuppress_ = true;
        return;
    }
    // The first press of a double-click clears the flag; remember whether it
    // was set so that the double-click that follows is still suppressed.
    suppressAtPress_ = clickSuppress_;
    clickSuppress_ = false;
}

void WindowModes::backgroundDoubleClicked() {
    if (clickSuppress_ || suppressAtPress_) {
        clickSuppress_ = false;
        suppressAtPress_ = false;
        return;
    }
    npc_Click(1);
}

void WindowModes::switchMainTab(int tab, bool force) {
    if (tab == mainTab_ && !force)
        return;
    const int old = mainTab_;
    view_.paintPageTab(old, false);
    if (!force)
        view_.setShown(ModesPart::TabPage, false, old);
    view_.paintPageTab(tab, true);
    view_.setShown(ModesPart::TabPage, true, tab);
    mainTab_ = tab;
}

void WindowModes::switchSideTab(int tab, bool force) {
    if (tab == sideTab_ && !force)
        return;
    const int old = sideTab_;
    view_.paintSideTab(old, false);
    view_.setShown(ModesPart::TabPage, false, old);
    view_.paintSideTab(tab, true);
    view_.setShown(ModesPart::TabPage, true, tab);
    view_.setSideTabCaption(sideTabCaption(tab));
    sideTab_ = tab;
}

void WindowModes::applyTabs() {
    switchSideTab(sideTab_, true);
    switchMainTab(mainTab_, true);
}

} // namespace vantoli::shell
