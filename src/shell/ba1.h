#pragma once
// The main window BA1: a frameless window that paints its own frame from the
// skin, places every named region by the layout rules, and wires the window
// modes, the move/size handling, the tray icon and the popup menus.
//
// Every control has the object name it is known by; an element of a control
// array carries its index in its name ("npc4", "bo_but6", "La0").

#include "app/dialogs.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "menus/popup_menus.h"
#include "shell/layout.h"
#include "shell/move_size.h"
#include "shell/skin.h"
#include "shell/tray_icon.h"
#include "shell/window_modes.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QFrame;

namespace vantoli {
class WebPane;
}

namespace vantoli::shell {

class PictureBox;

struct MainWindowOptions {
    QString programFolder;
    QString contentBase = QStringLiteral("http://127.0.0.1:8260/");
    QString statsBase = QStringLiteral("http://127.0.0.1:8260/stat/");
};

class BA1 final : public QWidget,
                  public MainWindowHost,
                  public ModesView,
                  public MoveSizeHost,
                  public MenuCommands,
                  public TrayHost {
    Q_OBJECT
public:
    BA1(MainWindowOptions options, Dialogs &dialogs, QWidget *parent = nullptr);
    ~BA1() override;

    // Start-up.
    bool load() override;
    ShowResult show() override;
    void reloadHistoryPane(HistoryList list, const QString &pagePath) override;

    // Public operations.
    void npc_Click(int index) override { modes_.npc_Click(index); }
    void jbi_Click() override { modes_.jbi_Click(); }
    void zhi_d(int value) override { modes_.zhi_d(value); }
    void p_p(int skin) override;
    void ttt_v() override;
    void bo_but_Click(int index) override;

    WindowModes &modes() { return modes_; }
    const SkinSet &skin() const { return skin_; }
    tip *menus() const { return menus_; }
    TrayIcon *tray() const { return tray_; }
    WebPane *webPane(int number) const; // Web1 to Web11
    const Settings &settings() const { return settings_; }
    bool isLoaded() const { return loaded_; }

    // ModesView.
    void setControlVisible(const QString &name, bool visible) override;
    void setControlToolTip(const QString &name, const QString &text) override;
    void setCaption(const QString &name, const QString &text) override;
    QRect controlRect(const QString &name) const override;
    void paintTitleButton(int index) override;
    void paintPageTab(int index, bool selected) override;
    void paintSideTab(int index, bool selected) override;
    void hideTooltipBox() override;
    void resetTextButtonColours() override;
    void minimise() override;
    bool isMaximised() const override;
    void setMaximised(bool maximised) override;
    void hideToTray() override;
    void setStaysOnTop(bool onTop) override;
    void popupMainMenuAt(QPoint windowPos) override;
    void setCompactMenuCaption(const QString &caption) override;
    QSize outerSizeTwips() const override;
    void setOuterSizeTwips(QSize size) override;
    QSize screenSizeTwips() const override;
    void moveToTwips(QPoint topLeft) override;
    void relayout() override;
    void runExitRoutine() override { ttt_v(); }

    // MoveSizeHost.
    QSize clientSize() const override { return size(); }
    void setCursorShape(Qt::CursorShape shape) override;
    bool startSystemMove() override;
    bool startSystemResize(Qt::Edges edges) override;
    QRect windowGeometry() const override { return geometry(); }
    void setWindowGeometry(const QRect &g) override { setGeometry(g); }
    QSize minimumWindowSize() const override;

    // MenuCommands.
    void catalogBack() override;
    void catalogForward() override;
    void catalogRefresh() override;
    void catalogCopy() override;
    void catalogPaste() override;
    void catalogHome() override;
    bool isCompact() const override { return modes_.compactMode() != 0; }
    void shengji() override {}
    void openProductHomePage() override;
    void CCC() override {}
    void ddd() override {}
    void eee() override {}
    void qk_xl() override {}
    void qk_xw() override {}
    void setPictureMode(int) override {}
    void setAudioChannel(int) override {}
    bool isTopmost() const override { return modes_.pinned(); }
    bool isWindowHidden() const override { return isHidden(); }
    bool isWindowMinimized() const override { return isMinimized(); }
    void showWindow() override;
    void restoreWindow() override;
    void showSettingsDialog() override {}
    void selectSettingsTab(int) override {}
    void focusSettingsDialog() override {}

    // TrayHost.
    QString windowCaption() const override { return windowTitle(); }
    bool isWindowVisible() const override { return isVisible(); }
    void hideWindow() override { hide(); }
    void minimizeWindow() override { showMinimized(); }
    void popupMainMenu(const QPoint &globalPos) override;

    // The player's current address; empty while nothing is loaded.
    QString playerUrl() const { return playerUrl_; }

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
    void buildControls();
    template <class T> T *add(T *widget);
    PictureBox *box(const QString &name, QWidget *parent, QSize size = {});
    QLabel *label(const QString &name, QWidget *parent, const QString &text = {});
    WebPane *pane(int number, QWidget *holder);
    QWidget *control(const QString &name) const { return controls_.value(name); }
    PictureBox *pictureBox(const QString &name) const;

    DesignSizes designSizes() const;
    void applyLayout();
    void paintButtons();
    void paintToggleStrips();
    void applyShape();
    bool isBackground(const QPoint &pos) const;

    // Hover visuals and the small mouse handlers.
    void titleButtonMove(int index, QPoint pos, bool left);
    void textButtonHover(QLabel *label);
    void popupPlayerMenu(const QPoint &globalPos);
    bool controlMouseEvent(QWidget *w, QEvent *event);

    MainWindowOptions options_;
    Settings settings_;
    Dialogs &dialogs_;
    WindowModes modes_;
    MoveSizeController moveSize_;
    SkinSet skin_;
    bool skinLoaded_ = false;
    bool loaded_ = false;
    bool exiting_ = false;
    bool maximised_ = false;
    int volume_ = 100;
    QString playerUrl_;
    QRect normalGeometry_;
    QHash<QString, QWidget *> controls_;
    WebPane *panes_[12] = {};
    QPointer<tip> menus_;
    TrayIcon *tray_ = nullptr;
    QCursor closeCursor_;
    int pressedButton_ = -1; // npc index under a left press, for its click
    bool backgroundDrag_ = false; // a left press on the background is held
};

} // namespace vantoli::shell
