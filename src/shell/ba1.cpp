#include "shell/ba1.h"

#include "app/app_settings.h"
#include "app/program_folder.h"
#include "controls/playback_module.h"
#include "desktop/desktop_module.h"
#include "playback/playback_controller.h"
#include "playback/player.h"
#include "playback/processes_module.h"
#include "shell/label_colours.h"
#include "shell/layout.h"
#include "shell/part_names.h"
#include "shell/picture_box.h"
#include "shell/playback_panel.h"
#include "shell/tray_icon.h"
#include "shell/window_controls.h"
#include "shell/window_modules.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace vantoli::shell {

BA1::BA1(MainWindowOptions options, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint),
      options_(std::move(options)),
      settings_(inFolder(options_.programFolder, kSettingsFile)),
      dialogs_(dialogs),
      modes_(*this, settings_, dialogs_, playbackSession_.state()),
      moveSize_(*this, modes_, settings_),
      history_(options_.programFolder) {
    setObjectName(QStringLiteral("BA1"));
    setWindowTitle(kProductName);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    initSkinResources();
    closeCursor_ = QCursor(QPixmap(QStringLiteral(":/skins/close_cursor.png")), 16, 16);
    controls_ = std::make_unique<WindowControls>(*this);
    panel_ = std::make_unique<PlaybackPanel>(*this, *controls_, modes_, skin_);

    modules_ = std::make_unique<WindowModules>(*this);
    controls_->watchNativeVideo(this);
    // Started with something to play, the window shows and plays before
    // the web engine starts (load()).
    if (options_.commandLine.isEmpty())
        controls_->createPanes();
    resize(twipsToPixels(kDefaultWidthTwips), twipsToPixels(kDefaultHeightTwips));
}

BA1::~BA1() {
    modules_.reset();
    delete menus_;
    // The panes go before the profile their engine pages use.
    controls_.reset();
}

QWidget *BA1::control(const QString &name) const { return controls_->control(name); }

PictureBox *BA1::pictureBox(const QString &name) const { return controls_->pictureBox(name); }

WebPane *BA1::webPane(int number) const { return controls_->pane(number); }

QRect BA1::controlRect(const QString &name) const { return controls_->rectInWindow(name); }

PlaybackModule &BA1::playbackModule() const { return modules_->playback(); }

PlaybackController &BA1::playback() const { return modules_->playback().controller(); }

CatalogModule &BA1::catalog() const { return *modules_->catalog(); }

ProcessesModule *BA1::processes() const { return modules_->processes(); }

void BA1::applyLayout() {
    if (isMinimized())
        return;
    LayoutState s;
    s.client = size();
    s.compactMode = modes_.compactMode();
    s.sideBarOpen = modes_.sideBarOpen();
    s.tvSideBarOpen = modes_.tvSideBarOpen();
    s.volume = modules_ ? playbackModule().player().Volume() : 100;

    if (s.compactMode == 1) {
        // The compact title is the title of the item playing.
        auto *niName = static_cast<QLabel *>(control(QStringLiteral("ni_name")));
        if (!panel_->title().isEmpty())
            niName->setText(panel_->title());
        auto *niBo1 = static_cast<QLabel *>(control(QStringLiteral("ni_bo1")));
        niBo1->setText(niName->text());
        niBo1->setWordWrap(false);
    }

    const DesignSizes d = controls_->designSizes();
    const Layout l = layoutFor(s, d);
    for (auto it = l.rect.cbegin(); it != l.rect.cend(); ++it) {
        if (QWidget *w = control(it.key()))
            w->setGeometry(it.value());
    }
    if (s.compactMode == 1)
        static_cast<QLabel *>(control(QStringLiteral("ni_bo1")))->setWordWrap(l.niBo1Wrapped);
    if (s.compactMode == 0) {
        paintToggleStrips();
        pictureBox(QStringLiteral("bo_foot"))->setPicture(skin_.slot(3), true);
    }
    // Stacking: strips over their side bars, covers over what they cover.
    for (const char *n : {"npc6", "npc15", "ggx", "gtv", "Lpeer", "bo_ad", "gunt2", "gunt1", "bo_v"})
        control(QString::fromLatin1(n))->raise();
    control(QStringLiteral("P1"))->raise();
    update();
}

void BA1::paintToggleStrips() {
    pictureBox(QStringLiteral("npc6"))->setPicture(skin_.cell(toggleStripCell(modes_.sideBarOpen())));
    pictureBox(QStringLiteral("npc15"))->setPicture(skin_.cell(toggleStripCell(modes_.tvSideBarOpen())));
}

void BA1::applyShape() { setMask(shapeRegion(roundedShape(size()))); }

void BA1::paintEvent(QPaintEvent *) {
    QPainter g(this);
    g.fillRect(rect(), Qt::black);
    const QPixmap &frame = skin_.slot(0);
    if (frame.isNull())
        return;
    for (const Slice &s : frameSlices(size(), modes_.compactMode() != 0))
        g.drawPixmap(s.dst, frame, s.src);
}

void BA1::resizeEvent(QResizeEvent *) {
    if (isMinimized())
        return;
    // Compared in pixels: a minimum in twips that is no whole number of
    // pixels (4100 twips = 273.3 px) must not keep the layout from running.
    const QSize clamped = clampOuterSizeTwips(outerSizeTwips(), modes_.compactMode(), isMaximised());
    const QSize clampedPx(twipsToPixels(clamped.width()), twipsToPixels(clamped.height()));
    if (clampedPx.width() > width() || clampedPx.height() > height()) {
        resize(clampedPx.expandedTo(size()));
        return;
    }
    applyLayout();
    applyShape();
    moveSize_.windowResized();
}

void BA1::changeEvent(QEvent *e) {
    if (e->type() == QEvent::WindowStateChange && !isMinimized()) {
        if (maximised_ != isMaximized()) {
            maximised_ = isMaximized();
            setTitleButtonTip(1, maximised_ ? kRestoreTip : kMaximiseTip);
        }
        paintTitleButton(1);
        applyLayout();
        applyShape();
    }
    QWidget::changeEvent(e);
}

void BA1::closeEvent(QCloseEvent *e) {
    // The application quitting closes the window; a close request from the
    // desktop (task bar, window menu) runs the close button's command.
    if (exiting_ || !e->spontaneous()) {
        e->accept();
        return;
    }
    e->ignore();
    modes_.npc_Click(2);
}

// ---- skins ---------------------------------------------------------------

void BA1::p_p(int skin) {
    skin_.load(skin);
    if (auto *imi = static_cast<QLabel *>(control(QStringLiteral("Imi"))))
        imi->setPixmap(skin_.titleIcon());
    if (skinLoaded_) {
        update();
        AppSettings(settings_).setSkin(skin_.skin());
    } else {
        applyLayout();
        skinLoaded_ = true;
    }
    paintButtons();
    modes_.applyTabs();
    applyLayout();
    if (modules_)
        modules_->skinChanged();
}

void BA1::paintButtons() {
    const bool maximised = isMaximised();
    for (int i = 0; i <= 5; ++i)
        pictureBox(QStringLiteral("npc%1").arg(i))->setPicture(skin_.cell(titleButtonCell(i, false, maximised, modes_.pinned())));
    for (int i : {9, 8, 13, 14})
        pictureBox(QStringLiteral("npc%1").arg(i))->setPicture(skin_.cell(pageTabCell(i, false)));
    pictureBox(QStringLiteral("npc10"))->setPicture(skin_.slot(10), true);
    for (int i : {11, 12, 7})
        pictureBox(QStringLiteral("npc%1").arg(i))->setPicture(skin_.cell(sideTabCell(i, false)));
    for (int i = 0; i <= 7; ++i)
        pictureBox(QStringLiteral("bo_but%1").arg(i))->setPicture(skin_.cell(transportNormalCell(i)));
    pictureBox(QStringLiteral("yin"))->setPicture(skin_.slot(15));
    pictureBox(QStringLiteral("bo_v"))->setPicture(skin_.slot(4));
    pictureBox(QStringLiteral("bo_foot"))->setPicture(skin_.slot(3), true);
    paintToggleStrips();
}

void BA1::paintTitleButton(int index) {
    if (index < 0 || index > 5)
        return;
    pictureBox(QStringLiteral("npc%1").arg(index))
        ->setPicture(skin_.cell(titleButtonCell(index, false, isMaximised(), modes_.pinned())));
}

void BA1::paintPageTab(int index, bool selected) {
    if (auto *b = pictureBox(QStringLiteral("npc%1").arg(index)))
        b->setPicture(skin_.cell(pageTabCell(index, selected)));
}

void BA1::paintSideTab(int index, bool selected) {
    if (auto *b = pictureBox(QStringLiteral("npc%1").arg(index)))
        b->setPicture(skin_.cell(sideTabCell(index, selected)));
}

// ---- start-up and exit ---------------------------------------------------

bool BA1::load() {
    if (loaded_)
        return true;
    loaded_ = true;

    const QSize twips = modes_.startSizeTwips();
    const QSize px(twipsToPixels(twips.width()), twipsToPixels(twips.height()));
    if (QScreen *s = QGuiApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        setGeometry(QRect(area.topLeft() + QPoint(std::max(0, (area.width() - px.width()) / 2),
                                                   std::max(0, (area.height() - px.height()) / 2)),
                          px));
    } else {
        resize(px);
    }
    setMinimumSize(minimumWindowSize());

    p_p(AppSettings(settings_).skin());

    // Started with something to play: the player starts first and the
    // window shows; the web engine, the panes and the other modules follow
    // once the first picture is on the screen (the window's thread maps the
    // video's window and draws its frames), once the item failed, or after
    // 3 s at most.
    if (options_.commandLine.isEmpty()) {
        loadModules();
    } else {
        playbackModule().l_com(options_.commandLine);
        playbackModule().whenPictureShown([this] { loadModules(); });
        QTimer::singleShot(3000, this, &BA1::loadModules);
    }
    return true;
}

void BA1::loadModules() {
    if (modulesLoaded_ || exitRoutineRan_)
        return;
    modulesLoaded_ = true;
    if (!controls_->panesMade()) {
        controls_->createPanes();
        applyLayout();
    }
    modules_->load();
    menus_ = new tip(modules_->menuTargets());
    setCompactMenuCaption(kCompactCaption);
    tray_ = new TrayIcon(this, *this, this);
    tray_->install(windowTitle());
    panel_->setBalloon([this](const QString &text) { tray_->balloon(text); });
    for (const auto &[commandLine, origin] : std::exchange(waitingOutside_, {}))
        openFromOutside(commandLine, origin);
}

MainWindowHost::ShowResult BA1::show() {
    if (!load())
        return ShowResult::EndProcess;
    QWidget::show();
    applyLayout();
    applyShape();
    return ShowResult::Shown;
}

void BA1::ttt_v() {
    exitRoutineRan_ = true;
    modules_->runExit(false);
}

void BA1::endSession() {
    if (!exitRoutineRan_) {
        exitRoutineRan_ = true;
        modules_->runExit(true);
    }
    QCoreApplication::quit();
}

void BA1::closeForExit() {
    exiting_ = true;
    hide();
    close();
}

void BA1::openFromOutside(const QString &commandLine, AddressOrigin origin) {
    // Before the modules are loaded (a start with a file shows its picture
    // first) the request waits for them.
    if (DesktopModule *desktop = modules_->desktop())
        desktop->openFromOutside(commandLine, origin);
    else if (!exitRoutineRan_)
        waitingOutside_.append({commandLine, origin});
}

void BA1::linkExecute(const QString &commandLine) {
    if (ProcessesModule *p = processes())
        p->restartHousekeeping();
    hide();
    showWindow();
    if (isMinimized())
        showNormal();
    if (commandLine.isEmpty())
        return;
    if (modes_.compactMode() != 0)
        jbi_Click();
    npc_Click(9);
    playback().playArea().setPlayAreaMode(kPlayAreaPlayer);
    playbackModule().l_com(commandLine);
}

// ---- ModesView -----------------------------------------------------------

void BA1::setShown(ModesPart part, bool shown, int index) {
    if (QWidget *w = control(modesPartControlName(part, index)))
        w->setVisible(shown);
}

void BA1::setTitleButtonTip(int index, const QString &text) {
    if (QWidget *w = control(QStringLiteral("npc%1").arg(index)))
        w->setToolTip(text);
}

QRect BA1::titleButtonRect(int index) const { return controlRect(QStringLiteral("npc%1").arg(index)); }

static void setCaption(QLabel *l, const QString &text) {
    l->setText(text);
    l->adjustSize();
}

void BA1::setProductNameCaption(const QString &text) { setCaption(controls_->label(QStringLiteral("ni_name")), text); }

void BA1::setSideTabCaption(const QString &text) { setCaption(controls_->label(QStringLiteral("qk")), text); }

void BA1::hideTooltipBox() { panel_->hideTooltipBox(); }

void BA1::resetTextButtonColours() {
    setTextColour(static_cast<QLabel *>(control(QStringLiteral("jbi"))), kLabelWhite);
    setTextColour(static_cast<QLabel *>(control(QStringLiteral("qk"))), kQkGrey);
}

void BA1::setMaximised(bool maximised) {
    if (maximised == maximised_)
        return;
    // The platform reports the new state later; the window's own idea of it
    // changes now, so the commands that follow see it.
    maximised_ = maximised;
    QScreen *s = screen();
    if (maximised) {
        normalGeometry_ = geometry();
        setMinimumSize(0, 0);
        showMaximized();
        // Without a window manager nothing else would size the window: the
        // maximised window takes the work area.
        if (s)
            setGeometry(s->availableGeometry());
    } else {
        showNormal();
        setMinimumSize(minimumWindowSize());
        if (normalGeometry_.isValid())
            setGeometry(normalGeometry_);
    }
    // The platform's report may come later or never (it compares with this
    // state): the tooltip follows now.
    setTitleButtonTip(1, maximised ? kRestoreTip : kMaximiseTip);
    paintTitleButton(1);
}

void BA1::hideToTray() {
    if (tray_)
        tray_->hideToTray();
    else
        showMinimized();
}

void BA1::setStaysOnTop(bool onTop) {
    if (QWindow *w = windowHandle()) {
        w->setFlag(Qt::WindowStaysOnTopHint, onTop);
        return;
    }
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
}

void BA1::popupMainMenu(const QPoint &globalPos) {
    if (menus_)
        popupMenu(menus_->r_m(), globalPos);
}

void BA1::popupMenu(QMenu *menu, const QPoint &globalPos) {
    if (menus_)
        tip::popup(menu, globalPos);
}

void BA1::setCompactMenuCaption(const QString &caption) {
    if (menus_)
        menus_->setCompactCaption(caption == kLeaveCompactCaption);
}

QSize BA1::outerSizeTwips() const { return {pixelsToTwips(width()), pixelsToTwips(height())}; }

void BA1::setOuterSizeTwips(QSize size) {
    const QSize clamped = clampOuterSizeTwips(size, modes_.compactMode(), isMaximised());
    setMinimumSize(minimumWindowSize());
    resize(twipsToPixels(clamped.width()), twipsToPixels(clamped.height()));
}

QSize BA1::screenSizeTwips() const {
    const QScreen *s = screen();
    const QSize px = s ? s->geometry().size() : QSize(1024, 768);
    return {pixelsToTwips(px.width()), pixelsToTwips(px.height())};
}

void BA1::moveToTwips(QPoint topLeft) {
    const QScreen *s = screen();
    const QPoint origin = s ? s->geometry().topLeft() : QPoint();
    move(origin + QPoint(topLeft.x() / kTwipsPerPixel, topLeft.y() / kTwipsPerPixel));
}

// ---- MoveSizeHost --------------------------------------------------------

bool BA1::startSystemMove() {
    QWindow *w = windowHandle();
    return w && w->startSystemMove();
}

bool BA1::startSystemResize(Qt::Edges edges) {
    QWindow *w = windowHandle();
    return w && w->startSystemResize(edges);
}

QSize BA1::minimumWindowSize() const {
    if (modes_.compactMode() != 0)
        return {twipsToPixels(kCompactMinWidthTwips), twipsToPixels(kCompactMinHeightTwips)};
    if (maximised_)
        return {0, 0};
    return {twipsToPixels(kNormalMinWidthTwips), twipsToPixels(kNormalMinHeightTwips)};
}

// ---- WindowMenuCommands ---------------------------------------------------

void BA1::showWindow() {
    QWidget::show();
    raise();
    activateWindow();
}

} // namespace vantoli::shell
