#pragma once
// The main window BA1: a frameless window that paints its own frame from the
// skin, places its controls by the layout rules, and runs the window modes,
// moving and sizing, the tray icon and the menus. Each subsystem's part of
// the window is a module (catalog, playback, history, settings, update,
// notices, desktop, player programs) that owns its controllers; the window
// holds the list, hands the user's input on through WindowInput, and
// draws what the modules ask for through its views.

#include "app/dialogs.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "desktop/outside_link.h"
#include "history/history_files.h"
#include "menus/popup_menus.h"
#include "playback/playback_session.h"
#include "shell/main_window_options.h"
#include "shell/move_size.h"
#include "shell/skin.h"
#include "shell/window_input.h"
#include "shell/window_modes.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace vantoli {
class CatalogModule;
class PlaybackController;
class PlaybackModule;
class ProcessesModule;
class WebPane;
class TrayIcon;
} // namespace vantoli

namespace vantoli::shell {

class PictureBox;
class PlaybackPanel;
class WindowControls;
class WindowModules;

class BA1 final : public QWidget,
                  public MainWindowHost,
                  public ModesView,
                  public MoveSizeHost,
                  public WindowMenuCommands {
    Q_OBJECT
public:
    BA1(MainWindowOptions options, Dialogs &dialogs, QWidget *parent = nullptr);
    ~BA1() override;

    // Start-up: makes the modules, loads the panes and the menus (once).
    bool load() override;
    ShowResult show() override;
    HistoryStore &history() override { return history_; }

    // Public operations.
    void npc_Click(int index) override { modes_.npc_Click(index); }
    void jbi_Click() override { modes_.jbi_Click(); }
    void zhi_d(int value) override { modes_.zhi_d(value); }
    void p_p(int skin) override;
    void ttt_v() override;
    // The desktop, the session or a signal asks the program to end: the
    // exit routine runs unless it already did (never with the
    // recommendation window, which would keep the program alive), then the
    // program ends.
    void endSession();
    // A later start of the program sent its command line: come to the
    // front and play it.
    void linkExecute(const QString &commandLine);
    // A start from outside or the remote control asked for this (the
    // desktop module decides what it may do).
    void openFromOutside(const QString &commandLine, AddressOrigin origin = AddressOrigin::User);
    // The exit routine's last step for the window: it closes for good.
    void closeForExit();
    void popupMenu(QMenu *menu, const QPoint &globalPos);

    // What the modules are given.
    const MainWindowOptions &options() const { return options_; }
    Settings &settings() { return settings_; }
    Dialogs &dialogs() { return dialogs_; }
    PlaybackSession &playbackSession() { return playbackSession_; }
    WindowControls &controls() const { return *controls_; }
    PlaybackPanel &panel() const { return *panel_; }
    WindowInput &input() { return input_; }
    WindowModes &modes() { return modes_; }
    const SkinSet &skin() const { return skin_; }
    tip *menus() const { return menus_; }
    TrayIcon *tray() const { return tray_; }
    WebPane *webPane(int number) const; // Web1 to Web11
    QRect controlRect(const QString &name) const;

    // The modules: the playback module exists from construction, the
    // others once the window has loaded.
    PlaybackModule &playbackModule() const;
    PlaybackController &playback() const;
    CatalogModule &catalog() const;
    ProcessesModule *processes() const;

    // ModesView.
    void setShown(ModesPart part, bool shown, int index) override;
    void setTitleButtonTip(int index, const QString &text) override;
    QRect titleButtonRect(int index) const override;
    void setProductNameCaption(const QString &text) override;
    void setSideTabCaption(const QString &text) override;
    void paintTitleButton(int index) override;
    void paintPageTab(int index, bool selected) override;
    void paintSideTab(int index, bool selected) override;
    void hideTooltipBox() override;
    void resetTextButtonColours() override;
    void minimise() override { showMinimized(); }
    bool isMaximised() const override { return maximised_; }
    void setMaximised(bool maximised) override;
    void hideToTray() override;
    void setStaysOnTop(bool onTop) override;
    void popupMainMenuAt(QPoint windowPos) override { popupMainMenu(mapToGlobal(windowPos)); }
    void setCompactMenuCaption(const QString &caption) override;
    QSize outerSizeTwips() const override;
    void setOuterSizeTwips(QSize size) override;
    QSize screenSizeTwips() const override;
    void moveToTwips(QPoint topLeft) override;
    void relayout() override { applyLayout(); }
    void runExitRoutine() override { ttt_v(); }

    // MoveSizeHost.
    QSize clientSize() const override { return size(); }
    void setCursorShape(Qt::CursorShape shape) override { setCursor(shape); }
    bool startSystemMove() override;
    bool startSystemResize(Qt::Edges edges) override;
    QRect windowGeometry() const override { return geometry(); }
    void setWindowGeometry(const QRect &g) override { setGeometry(g); }
    QSize minimumWindowSize() const override;

    // WindowMenuCommands, the tray's included.
    bool isCompact() const override { return modes_.compactMode() != 0; }
    void openProductHomePage() override { dialogs_.openUrl(options_.contentBase); }
    bool isTopmost() const override { return modes_.pinned(); }
    bool isWindowHidden() const override { return isHidden(); }
    bool isWindowMinimized() const override { return isMinimized(); }
    void showWindow() override;
    void restoreWindow() override { showNormal(); }
    QString windowCaption() const override { return windowTitle(); }
    bool isWindowVisible() const override { return isVisible(); }
    void hideWindow() override { hide(); }
    void minimizeWindow() override { showMinimized(); }
    void popupMainMenu(const QPoint &globalPos) override;

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void changeEvent(QEvent *) override;
    void closeEvent(QCloseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void mouseDoubleClickEvent(QMouseEvent *) override;
    void enterEvent(QEnterEvent *) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The panes (unless made), the modules but playback, the menus and the
    // tray icon.
    void loadModules();
    QWidget *control(const QString &name) const;
    PictureBox *pictureBox(const QString &name) const;

    void applyLayout();
    void paintButtons();
    void paintToggleStrips();
    void applyShape();
    bool isBackground(const QPoint &pos) const;
    // Mouse on the controls (ba1_events.cpp).
    bool controlMouseEvent(QWidget *w, QEvent *event);
    void titleButtonMove(int index, QPoint pos);

    MainWindowOptions options_;
    Settings settings_;
    Dialogs &dialogs_;
    PlaybackSession playbackSession_;
    WindowModes modes_;
    MoveSizeController moveSize_;
    SkinSet skin_;
    HistoryStore history_;
    WindowInput input_;
    bool skinLoaded_ = false;
    bool loaded_ = false;
    bool modulesLoaded_ = false;
    QList<std::pair<QString, AddressOrigin>> waitingOutside_; // until the modules are loaded
    bool exiting_ = false;
    bool exitRoutineRan_ = false;
    bool maximised_ = false;
    QRect normalGeometry_;
    std::unique_ptr<WindowControls> controls_;
    std::unique_ptr<PlaybackPanel> panel_;
    // The modules; they go before the controls and the panel they use.
    std::unique_ptr<WindowModules> modules_;
    QPointer<tip> menus_;
    TrayIcon *tray_ = nullptr;
    QCursor closeCursor_;
    QWidget *pressed_ = nullptr; // the control under a left press, for its click
    bool backgroundDrag_ = false; // a left press on the background is held
};

} // namespace vantoli::shell
