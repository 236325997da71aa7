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
#include "catalog/episode_list.h"
#include "catalog/pane_events.h"
#include "catalog/pane_handlers.h"
#include "history/history_files.h"
#include "menus/popup_menus.h"
#include "playback/play_address.h"
#include "playback/playback_state.h"
#include "playback/playback_view.h"
#include "shell/layout.h"
#include "shell/move_size.h"
#include "shell/part_names.h"
#include "shell/skin.h"
#include "shell/tray_icon.h"
#include "shell/window_modes.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class QKeyEvent;
class QTimer;
class QLabel;
class QFrame;

namespace vantoli {
class AsyncHttpGet;
class Player;
class PlayerFactory;
class PlaybackController;
class PlayerProcesses;
class ProcessTable;
class StatisticsPings;
class Power;
class WebPane;
class MprisService;
class PlayInhibitor;
namespace controls {
class Keyboard;
class KeyPreview;
class PlayerMenu;
class SeekVolumeBars;
class Transport;
} // namespace controls
} // namespace vantoli

namespace vantoli::shell {

class PictureBox;

struct MainWindowOptions {
    QString programFolder;
    QString contentBase = QStringLiteral("http://127.0.0.1:8260/");
    QString statsBase = QStringLiteral("http://127.0.0.1:8260/stat/");
    // Makes the window's player; none (or a failure) leaves a silent
    // stand-in that never plays.
    PlayerFactory *playerFactory = nullptr;
    // Platform layers; the real ones when left out.
    AsyncHttpGet *http = nullptr;    // the control file and the notices
    AsyncHttpGet *lookups = nullptr; // episode lookups
    Power *power = nullptr;
    ProcessTable *processTable = nullptr;
    // The remote control and the screen kept awake use the session's bus;
    // false keeps them off it (tests that start no bus of their own).
    bool sessionBus = true;
    // A file or address to play once the window has loaded.
    QString commandLine;
};

class BA1 final : public QWidget,
                  public MainWindowHost,
                  public ModesView,
                  public MoveSizeHost,
                  public CatalogMenuCommands,
                  public WindowMenuCommands,
                  public TrayHost,
                  public PlaybackView,
                  public TransportCommands,
                  public CatalogHost,
                  public PaneEventsHost,
                  public CatalogBodyReader {
    Q_OBJECT
public:
    BA1(MainWindowOptions options, Dialogs &dialogs, QWidget *parent = nullptr);
    ~BA1() override;

    // Start-up.
    bool load() override;
    ShowResult show() override;
    HistoryStore &history() override { return history_; }
    // Shows a list page the store wrote anew in its list pane, once the
    // window is loaded.
    void reloadHistoryPane(HistoryList list, const QString &pagePath);

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
    void bo_but_Click(int index) override;
    // Plays a command line as a local item.
    void l_com(const QString &commandLine);
    // A later start of the program sent its command line: come to the
    // front and play it.
    void linkExecute(const QString &commandLine);
    // A start from outside (a later start, or this one) or the remote
    // control asked for this: catalog links act as if clicked in their pane,
    // files and network addresses the origin may name play as by
    // linkExecute, anything else does nothing (ba1_desktop.cpp).
    void openFromOutside(const QString &commandLine, AddressOrigin origin = AddressOrigin::User);

    WindowModes &modes() { return modes_; }
    const SkinSet &skin() const { return skin_; }
    tip *menus() const { return menus_; }
    TrayIcon *tray() const { return tray_; }
    WebPane *webPane(int number) const; // Web1 to Web11

    // ModesView.
    void setControlVisible(const QString &name, bool visible);
    void setControlToolTip(const QString &name, const QString &text);
    void setCaption(const QString &name, const QString &text);
    QRect controlRect(const QString &name) const;
    void setShown(ModesPart part, bool shown, int index) override {
        setControlVisible(modesPartControlName(part, index), shown);
    }
    void setTitleButtonTip(int index, const QString &text) override {
        setControlToolTip(QStringLiteral("npc%1").arg(index), text);
    }
    QRect titleButtonRect(int index) const override { return controlRect(QStringLiteral("npc%1").arg(index)); }
    void setProductNameCaption(const QString &text) override { setCaption(QStringLiteral("ni_name"), text); }
    void setSideTabCaption(const QString &text) override { setCaption(QStringLiteral("qk"), text); }
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

    // Menu commands of the window and of the catalog pane.
    void catalogBack() override;
    void catalogForward() override;
    void catalogRefresh() override;
    void catalogCopy() override;
    void catalogPaste() override;
    void catalogHome() override;
    bool isCompact() const override { return modes_.compactMode() != 0; }
    void openProductHomePage() override;
    bool isTopmost() const override { return modes_.pinned(); }
    bool isWindowHidden() const override { return isHidden(); }
    bool isWindowMinimized() const override { return isMinimized(); }
    void showWindow() override;
    void restoreWindow() override;

    // TrayHost.
    QString windowCaption() const override { return windowTitle(); }
    bool isWindowVisible() const override { return isVisible(); }
    void hideWindow() override { hide(); }
    void minimizeWindow() override { showMinimized(); }
    void popupMainMenu(const QPoint &globalPos) override;

    // PlaybackView.
    bool isControlVisible(const QString &name) const;
    QRect controlGeometry(const QString &name) const;
    void setControlGeometry(const QString &name, const QRect &geometry);
    void setControlEnabled(const QString &name, bool enabled);
    void setLabelText(const QString &name, const QString &text);
    bool isShown(Part part) const override { return isControlVisible(partControlName(part)); }
    void setShown(Part part, bool shown) override { setControlVisible(partControlName(part), shown); }
    QRect geometryOf(Part part) const override { return controlGeometry(partControlName(part)); }
    void setGeometryOf(Part part, const QRect &g) override { setControlGeometry(partControlName(part), g); }
    void setTextOf(Part part, const QString &text) override { setLabelText(partControlName(part), text); }
    void setToolTipOf(Part part, const QString &text) override { setControlToolTip(partControlName(part), text); }
    QRect transportButtonRect(int button) const override { return controlRect(QStringLiteral("bo_but%1").arg(button)); }
    void setTransportToolTip(int button, const QString &text) override {
        setControlToolTip(QStringLiteral("bo_but%1").arg(button), text);
    }
    void setTransportEnabled(int button, bool enabled) override {
        setControlEnabled(QStringLiteral("bo_but%1").arg(button), enabled);
    }
    void setTransportCapture(int button, bool capture) override {
        setMouseCapture(QStringLiteral("bo_but%1").arg(button), capture);
    }
    void setStatus(const QString &text) override { setLabelText(QStringLiteral("zhun"), text); }
    void setTimes(const QString &text, TimesLine line) override;
    void clearTimes() override;
    void setTitle(const QString &text) override;
    QString labelText(const QString &name) const;
    void paintTransportFrame(int button, int strip, int frame) override;
    void balloon(const QString &text) override;
    void navigatePane(int number, const QString &url) override;
    int mainTab() const override { return modes_.mainTab(); }
    void setMuteMenuCaption(bool muted) override;
    void setMouseCapture(const QString &name, bool capture);
    void resetCursor() override { setCursor(Qt::ArrowCursor); }
    bool clickSuppress() const override { return modes_.clickSuppress(); }
    void setClickSuppress(bool on) override { modes_.setClickSuppress(on); }

    // CatalogHost.
    void refreshPane(int number) override;
    bool localListShown() const override { return modes_.sideTab() == 7; }
    void ensureTransferRunning() override; // ba1_processes.cpp
    void sendPlayPing() override;
    void showEpisodeList(const QString &title, int videoId, int source, int episode) override {
        DangJ(title, videoId, source, episode);
    }

    // PaneEventsHost and CatalogBodyReader.
    void setPaneSilent(int pane) override;
    void popupMenu(PaneMenu menu, const QPoint &globalPos) override;
    void showHomeRetryPicture(bool retry) override; // ba1_events.cpp
    void readCatalogBody(std::function<void(const QString &)> done) override;

    // Shows the episode list of a title, from the catalog page on display
    // when it carries the episode data.
    void DangJ(const QString &title, int videoId, int source, int episode);

    Player &player() const { return *player_; }
    PaneEvents &paneEvents() const { return *paneEvents_; }
    PaneHandlers &paneHandlers() const { return *paneHandlers_; }
    PlaybackController &playback() const { return *playback_; }

    // Manual update check (menu item shengji); the timed check is Timer5.
    void shengji();
    // Loads the notice pop-up hidden; its own start-up decides what it shows.
    void loadNoticePopup();
    // Starts the scrolling notice line.
    void gun_ad();

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
    // The fetches of the control file and the notices: the options' or our own.
    AsyncHttpGet &contentFetches();
    void createPlayback();
    void loadPanes();
    // Each subsystem wires itself in its own ba1_<subsystem>.cpp; load()
    // calls these in this order, before the menus are made from menuTargets_.
    void wireProcesses();      // player processes, cache folder (ba1_processes.cpp)
    void wireHistoryCommands(); // history commands (ba1_history.cpp)
    void wireSettings();       // settings dialog BA3 (ba1_settings.cpp)
    void wireUpdate();         // update check Timer5 (ba1_update.cpp)
    void wireNotices();        // notice pop-up, notice line, recommendation (ba1_notices.cpp)
    void wireDesktop();        // desktop integration (ba1_desktop.cpp)
    // Exit-routine steps owned by the subsystems whose windows they close.
    void unloadSettingsWindow();     // ba1_settings.cpp
    void settingsSkinChanged();      // an open settings dialog repaints (ba1_settings.cpp)
    void unloadNoticeWindow();       // ba1_notices.cpp
    void cancelControlFile();        // a control file on its way is dropped (ba1_update.cpp)
    // Shows the recommendation window when recommendAtExit_ is "1"; true
    // when it is shown (the process then lives until it closes).
    bool showRecommendationOnExit(); // ba1_notices.cpp
    struct ExitAdapter;              // the window's steps of the exit routine
    bool barMouseEvent(QWidget *w, QEvent *event);

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
    // The player draws into a native window of its own (X11); a widget that
    // may overlap the video then needs one too (ba1_playback.cpp).
    bool videoInNativeWindow() const;
    static void keepAboveNativeVideo(QWidget *w);
    bool controlMouseEvent(QWidget *w, QEvent *event);

    MainWindowOptions options_;
    Settings settings_;
    Dialogs &dialogs_;
    PlaybackState playbackState_; // owned here, driven by the playback controller
    WindowModes modes_;
    MoveSizeController moveSize_;
    SkinSet skin_;
    bool skinLoaded_ = false;
    bool loaded_ = false;
    bool exiting_ = false;
    bool exitRoutineRan_ = false;
    bool maximised_ = false;
    HistoryStore history_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<AsyncHttpGet> ownHttp_;
    std::unique_ptr<AsyncHttpGet> ownLookups_; // outlives the controllers that use it
    std::unique_ptr<Power> ownPower_;
    std::unique_ptr<PlaybackController> playback_;
    std::unique_ptr<controls::Transport> transport_;
    std::unique_ptr<controls::SeekVolumeBars> bars_;
    std::unique_ptr<controls::Keyboard> keys_;
    std::unique_ptr<controls::KeyPreview> keyPreview_; // before keys_ goes
    std::unique_ptr<controls::PlayerMenu> playerMenu_;
    std::unique_ptr<PaneHandlers> paneHandlers_;
    std::unique_ptr<PaneEvents> paneEvents_;
    std::unique_ptr<EpisodeList> episodeList_;
    std::unique_ptr<StatisticsPings> pings_; // made at load from App.ini
    Cell transportCells_[8];   // the frame each transport button shows
    int transportSkin_[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    QRect normalGeometry_;
    QHash<QString, QWidget *> controls_;
    WebPane *panes_[12] = {};
    QPointer<tip> menus_;
    MenuTargets menuTargets_;
    // Player processes: the real process table unless the options give one,
    // and Timer3, the housekeeping run once per enabling.
    std::unique_ptr<ProcessTable> ownProcessTable_;
    QTimer *timer3_ = nullptr;
    // The player programs; made by wireProcesses().
    std::unique_ptr<PlayerProcesses> processes_;
    // "1" makes the exit routine show the recommendation window; set by the
    // update check from the control file, "0" at start.
    QString recommendAtExit_ = QStringLiteral("0");
    // Update check: Timer5, the control file, shengji (ba1_update.cpp).
    struct UpdateWiring;
    std::unique_ptr<UpdateWiring, void (*)(UpdateWiring *)> update_{nullptr, nullptr};
    // Desktop integration: media-player remote control, screen kept awake (ba1_desktop.cpp).
    std::unique_ptr<MprisService, void (*)(MprisService *)> mpris_{nullptr, nullptr};
    std::unique_ptr<PlayInhibitor, void (*)(PlayInhibitor *)> inhibitor_{nullptr, nullptr};
    // History commands: the qk click, CCC, ddd, eee, qk_xl, qk_xw (ba1_history.cpp).
    struct HistoryWiring;
    std::unique_ptr<HistoryWiring, void (*)(HistoryWiring *)> historyCommands_{nullptr, nullptr};
    void historyLabelClicked(const QPoint &globalPos);
    // Notices: the pop-up tankou, the notice line La, the recommendation window ba4 (ba1_notices.cpp).
    struct NoticesWiring;
    std::unique_ptr<NoticesWiring, void (*)(NoticesWiring *)> notices_{nullptr, nullptr};
    // Settings dialog BA3 and its menu items (ba1_settings.cpp).
    struct SettingsWiring;
    std::unique_ptr<SettingsWiring, void (*)(SettingsWiring *)> settingsDialog_{nullptr, nullptr};
    TrayIcon *tray_ = nullptr;
    QCursor closeCursor_;
    int pressedButton_ = -1; // npc index under a left press, for its click
    bool backgroundDrag_ = false; // a left press on the background is held
};

} // namespace vantoli::shell
