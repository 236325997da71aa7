#include "shell/ba1.h"

#include "app/first_pages.h"
#include "app/program_folder.h"
#include "controls/key_preview.h"
#include "controls/keyboard.h"
#include "controls/player_menu.h"
#include "controls/seek_volume.h"
#include "controls/transport.h"
#include "notices/pings.h"
#include "platform/http_get.h"
#include "platform/power.h"
#include "platform/process_table.h"
#include "platform/web_pane.h"
#include "playback/exit_routine.h"
#include "playback/player.h"
#include "playback/playback_controller.h"
#include "playback/player_processes.h"
#include "shell/label_colours.h"
#include "shell/picture_box.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace vantoli::shell {

namespace {

const char *const kTransportTips[8] = {"播放", "停止", "静音", "全屏", "打开文件", "上一集", "侧栏", "下一集"};

} // namespace


BA1::BA1(MainWindowOptions options, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinMaxButtonsHint),
      options_(std::move(options)),
      settings_(inFolder(options_.programFolder, kSettingsFile)),
      dialogs_(dialogs),
      modes_(*this, settings_, dialogs_, playbackState_),
      moveSize_(*this, modes_, settings_),
      history_(options_.programFolder) {
    setObjectName(QStringLiteral("BA1"));
    setWindowTitle(kProductName);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    initSkinResources();
    closeCursor_ = QCursor(QPixmap(QStringLiteral(":/skins/close_cursor.png")), 16, 16);
    buildControls();
    connect(&history_, &HistoryStore::pageWritten, this, &BA1::reloadHistoryPane);
    createPlayback();
    resize(twipsToPixels(kDefaultWidthTwips), twipsToPixels(kDefaultHeightTwips));
}

BA1::~BA1() {
    // No key reaches the shortcuts while the panes and their engine items go.
    keyPreview_.reset();
    // Timers and controllers go before the player they poll.
    playback_.reset();
    delete menus_;
    // Panes first: their engine pages must go before the profile they use.
    for (WebPane *&p : panes_) {
        delete p;
        p = nullptr;
    }
}

template <class T> T *BA1::add(T *widget) {
    controls_.insert(widget->objectName(), widget);
    return widget;
}

PictureBox *BA1::box(const QString &name, QWidget *parent, QSize size) {
    auto *b = add(new PictureBox(name, parent, size));
    b->setMouseTracking(true);
    b->installEventFilter(this);
    return b;
}

QLabel *BA1::label(const QString &name, QWidget *parent, const QString &text) {
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    add(l);
    l->setMouseTracking(true);
    l->installEventFilter(this);
    return l;
}

WebPane *BA1::pane(int number, QWidget *holder) {
    auto *p = new WebPane(holder);
    p->setObjectName(QStringLiteral("Web%1").arg(number));
    // The program's own notice with its retry instead of the engine's error
    // page; the advertisement panes put themselves away when they fail.
    if (number != kStatisticsPane && number != kPlayerAdPane && number != kUnderPlayerPane)
        p->setFailurePicture(QPixmap(QStringLiteral(":/skins/w3.png")));
    add(p);
    panes_[number] = p;
    return p;
}

PictureBox *BA1::pictureBox(const QString &name) const { return qobject_cast<PictureBox *>(control(name)); }

WebPane *BA1::webPane(int number) const { return number >= 1 && number <= 11 ? panes_[number] : nullptr; }

void BA1::buildControls() {
    QFont base = font();
    base.setPixelSize(12);
    setFont(base);

    // Title bar.
    auto *imi = label(QStringLiteral("Imi"), this);
    imi->resize(32, 32);
    imi->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *name = label(QStringLiteral("ni_name"), this, kProductName);
    QFont titleFont = base;
    titleFont.setPixelSize(14);
    titleFont.setBold(true);
    name->setFont(titleFont);
    setTextColour(name, kLabelWhite);
    name->adjustSize();
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *niBo1 = label(QStringLiteral("ni_bo1"), this);
    niBo1->setFont(titleFont);
    setTextColour(niBo1, kLabelWhite);
    niBo1->setAttribute(Qt::WA_TransparentForMouseEvents);
    niBo1->hide();
    auto *jbi = label(QStringLiteral("jbi"), this, QStringLiteral("✕"));
    QFont jbiFont = base;
    jbiFont.setPixelSize(12);
    jbiFont.setBold(true);
    jbi->setFont(jbiFont);
    jbi->setAlignment(Qt::AlignCenter);
    jbi->setToolTip(QStringLiteral("退出精简"));
    jbi->resize(15, 14);
    setTextColour(jbi, kLabelWhite);
    jbi->setCursor(Qt::ArrowCursor);
    jbi->hide();

    for (int i = 0; i <= 5; ++i) {
        auto *b = box(QStringLiteral("npc%1").arg(i), this, {24, 24});
        b->setToolTip(titleButtonTip(i));
        b->setOwnTooltipBox(true);
        b->setCursor(Qt::ArrowCursor);
    }
    for (int i : {8, 9, 13, 14}) {
        auto *b = box(QStringLiteral("npc%1").arg(i), this, {100, 37});
        b->setCursor(Qt::ArrowCursor);
    }

    auto makePage = [&](const char *n) {
        auto *w = new QWidget(this);
        w->setObjectName(QString::fromLatin1(n));
        add(w);
        w->setCursor(Qt::ArrowCursor);
        w->setAutoFillBackground(true);
        QPalette p = w->palette();
        p.setColor(QPalette::Window, QColor(0x1b, 0x1b, 0x1d));
        w->setPalette(p);
        w->hide();
        return w;
    };

    // Player page.
    QWidget *zz = makePage("zz");
    zz->setMouseTracking(true);
    zz->installEventFilter(this);
    auto *l1 = new QWidget(zz);
    l1->setObjectName(QStringLiteral("L1"));
    add(l1);
    auto *pic2 = new QWidget(l1);
    pic2->setObjectName(QStringLiteral("Pic2"));
    add(pic2);
    pane(2, pic2);
    auto *ggx = box(QStringLiteral("ggx"), pic2, {20, 20});
    ggx->setPicture(QPixmap(QStringLiteral(":/skins/close.png")));
    ggx->setToolTip(QStringLiteral("关闭"));
    pic2->hide();

    auto *peer = new QWidget(l1);
    peer->setObjectName(QStringLiteral("peer"));
    add(peer);
    auto *peerx = new QWidget(peer);
    peerx->setObjectName(QStringLiteral("Peerx"));
    add(peerx);
    auto *peerc = new QWidget(peerx);
    peerc->setObjectName(QStringLiteral("PeerC"));
    add(peerc);
    peerc->setAutoFillBackground(true);
    {
        QPalette p = peerc->palette();
        p.setColor(QPalette::Window, Qt::black);
        peerc->setPalette(p);
    }
    peerx->hide(); // nothing plays yet: the picture panel covers the video area
    auto *lpeer = new QWidget(peer);
    lpeer->setObjectName(QStringLiteral("Lpeer"));
    add(lpeer);
    lpeer->setMouseTracking(true);
    lpeer->installEventFilter(this);
    auto *boAd = box(QStringLiteral("bo_ad"), peer);
    boAd->setFill(QColor(0x10, 0x10, 0x11));
    auto *adp = box(QStringLiteral("adp"), boAd, {180, 100});
    adp->setPicture(QPixmap(QStringLiteral(":/skins/adp.png")));
    auto *boPad = new QWidget(boAd);
    boPad->setObjectName(QStringLiteral("bo_pad"));
    add(boPad);
    pane(8, boPad);
    boPad->hide();
    auto *adHuan = new QWidget(boAd);
    adHuan->setObjectName(QStringLiteral("ad_huan"));
    add(adHuan);
    pane(7, adHuan);
    adHuan->hide();
    auto *nextS = label(QStringLiteral("next_s"), boAd);
    setTextColour(nextS, QColor(0xc8, 0xc8, 0xc8));
    nextS->resize(200, 14);

    auto *boZt = box(QStringLiteral("bo_zt"), peer);
    boZt->setFill(QColor(0x16, 0x16, 0x18));
    for (const char *n : {"zhun", "times", "bo_name"}) {
        auto *l = label(QString::fromLatin1(n), boZt);
        setTextColour(l, QColor(0xc8, 0xc8, 0xc8));
        l->setFixedHeight(14);
    }
    auto *gunt = box(QStringLiteral("gunt"), peer);
    gunt->setFill(QColor(0x2c, 0x2c, 0x30));
    auto *huan = box(QStringLiteral("huan"), gunt, {0, 7});
    huan->setFill(QColor(0x60, 0x60, 0x66));
    auto *gunt2 = box(QStringLiteral("gunt2"), gunt, {0, 7});
    gunt2->setFill(kNoticeOrange);
    auto *gunt1 = box(QStringLiteral("gunt1"), gunt, {9, 7});
    gunt1->setFill(QColor(0xe8, 0xe8, 0xe8));
    gunt1->setCursor(Qt::PointingHandCursor);

    auto *l2 = new QWidget(zz);
    l2->setObjectName(QStringLiteral("l2"));
    add(l2);
    box(QStringLiteral("npc10"), l2, {202, 28});
    for (int i : {11, 12, 7}) {
        auto *b = box(QStringLiteral("npc%1").arg(i), l2, {60, 21});
        b->setCursor(Qt::ArrowCursor);
    }
    for (int i : {3, 4, 5}) {
        auto *holder = new QWidget(l2);
        holder->setObjectName(QStringLiteral("Pic%1").arg(i));
        add(holder);
        pane(i, holder);
        holder->hide();
    }
    auto *shan = box(QStringLiteral("shan"), l2);
    shan->setFill(QColor(0xee, 0xee, 0xee));
    auto *qk = label(QStringLiteral("qk"), shan, kTasksCaption);
    setTextColour(qk, kQkGrey);
    QFont small = base;
    small.setPixelSize(11);
    qk->setFont(small);
    qk->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    qk->setCursor(Qt::PointingHandCursor);
    qk->resize(74, 14);
    auto *npc6 = box(QStringLiteral("npc6"), zz, {3, 40});
    npc6->setToolTip(kSideBarOpenTip);
    npc6->setCursor(Qt::PointingHandCursor);

    // Catalog page.
    QWidget *zzp = makePage("zzp");
    auto *pic1 = new QWidget(zzp);
    pic1->setObjectName(QStringLiteral("Pic1"));
    add(pic1);
    pane(1, pic1);
    auto *wait = new QWidget(zzp);
    wait->setObjectName(QStringLiteral("wait"));
    add(wait);
    wait->setAutoFillBackground(true);
    {
        QPalette p = wait->palette();
        p.setColor(QPalette::Window, Qt::white);
        wait->setPalette(p);
    }
    auto *jia = box(QStringLiteral("jia"), wait, {160, 60});
    jia->setPicture(QPixmap(QStringLiteral(":/skins/jia.png")));
    wait->hide();

    // TV page.
    QWidget *tv = makePage("tv");
    auto *tvleft = new QWidget(tv);
    tvleft->setObjectName(QStringLiteral("tvleft"));
    add(tvleft);
    pane(10, tvleft);
    auto *gtv = box(QStringLiteral("gtv"), tvleft, {20, 20});
    gtv->setPicture(QPixmap(QStringLiteral(":/skins/close.png")));
    gtv->setToolTip(QStringLiteral("关闭"));
    gtv->hide();
    auto *tvright = new QWidget(tv);
    tvright->setObjectName(QStringLiteral("tvright"));
    add(tvright);
    pane(11, tvright);
    auto *npc15 = box(QStringLiteral("npc15"), tv, {3, 40});
    npc15->setToolTip(kSideBarOpenTip);
    npc15->setCursor(Qt::PointingHandCursor);

    // Fourth page.
    QWidget *ying = makePage("ying");
    pane(9, ying);

    // Bottom bar.
    auto *foot = box(QStringLiteral("bo_foot"), this);
    foot->setCursor(Qt::ArrowCursor);
    for (int i = 0; i <= 7; ++i) {
        auto *b = box(QStringLiteral("bo_but%1").arg(i), foot, i == 0 ? QSize(58, 43) : QSize(25, 25));
        b->setToolTip(QString::fromUtf8(kTransportTips[i]));
        b->setOwnTooltipBox(true);
    }
    auto *yin = box(QStringLiteral("yin"), foot, {80, 24});
    auto *boY = box(QStringLiteral("bo_y"), yin);
    boY->setFill(kNoticeOrange);
    box(QStringLiteral("bo_v"), yin, {10, 10});
    auto *la0 = label(QStringLiteral("La0"), foot);
    setTextColour(la0, kNoticeOrange);
    la0->resize(400, 14);

    // Statistics pane: never shown.
    auto *hiddenHolder = new QWidget(this);
    hiddenHolder->hide();
    pane(6, hiddenHolder);

    // Tooltip box of the title-bar and transport buttons.
    auto *p1 = new QFrame(this);
    p1->setObjectName(QStringLiteral("P1"));
    add(p1);
    p1->setStyleSheet(QStringLiteral("QFrame#P1{background:#ffffe1;border:1px solid #767676;}"));
    auto *tipLabel = label(QStringLiteral("bo_tip"), p1);
    setTextColour(tipLabel, Qt::black);
    tipLabel->move(2, 2);
    p1->hide();

}

DesignSizes BA1::designSizes() const {
    DesignSizes d;
    auto hint = [this](const char *n) {
        auto *l = qobject_cast<QLabel *>(control(QString::fromLatin1(n)));
        return l ? l->sizeHint() : QSize();
    };
    d.niName = hint("ni_name");
    d.niBo1 = hint("ni_bo1");
    d.niBo1WrappedHeight = 2 * fontMetrics().height() + 2;
    d.zhun = hint("zhun");
    d.times = hint("times");
    d.boName = hint("bo_name");
    d.nextS = control(QStringLiteral("next_s"))->size();
    d.la0 = control(QStringLiteral("La0"))->size();
    d.qk = control(QStringLiteral("qk"))->size();
    d.huanWidth = control(QStringLiteral("huan"))->width();
    return d;
}

void BA1::relayout() { applyLayout(); }

void BA1::applyLayout() {
    if (isMinimized())
        return;
    LayoutState s;
    s.client = size();
    s.compactMode = modes_.compactMode();
    s.sideBarOpen = modes_.sideBarOpen();
    s.tvSideBarOpen = modes_.tvSideBarOpen();
    s.volume = player_ ? player_->Volume() : 100;

    if (s.compactMode == 1) {
        // The compact title is the title of the item playing.
        auto *boName = static_cast<QLabel *>(control(QStringLiteral("bo_name")));
        auto *niName = static_cast<QLabel *>(control(QStringLiteral("ni_name")));
        if (!boName->text().isEmpty())
            niName->setText(boName->text());
        auto *niBo1 = static_cast<QLabel *>(control(QStringLiteral("ni_bo1")));
        niBo1->setText(niName->text());
        niBo1->setWordWrap(false);
    }

    const DesignSizes d = designSizes();
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
            setControlToolTip(QStringLiteral("npc1"), maximised_ ? kRestoreTip : kMaximiseTip);
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
    settingsSkinChanged();
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
    for (int i = 0; i <= 7; ++i) {
        pictureBox(QStringLiteral("bo_but%1").arg(i))->setPicture(skin_.cell(transportNormalCell(i)));
        transportSkin_[i] = -1;
    }
    if (transport_)
        transport_->refreshFaces();
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

    const AppSettings app(settings_);
    pings_ = std::make_unique<StatisticsPings>(options_.statsBase, app.installTag(), app.machineIdentifier());

    p_p(app.skin());

    // Started with something to play: the player starts first, so that it
    // opens and decodes while the panes load, instead of after them.
    player_->setAdUrl(options_.contentBase + QStringLiteral("js/ads/peerad.html"));
    if (!options_.commandLine.isEmpty())
        l_com(options_.commandLine);

    loadPanes();

    menuTargets_.catalog = this;
    menuTargets_.window = this;
    menuTargets_.player = playerMenu_.get();
    wireProcesses();
    wireHistoryCommands();
    wireSettings();
    wireUpdate();
    wireNotices();
    wireDesktop();
    menus_ = new tip(menuTargets_);
    setCompactMenuCaption(kCompactCaption);
    tray_ = new TrayIcon(this, *this, this);
    tray_->install(windowTitle());
    return true;
}

void BA1::loadPanes() {
    for (const FirstPage &page : firstPages(options_.contentBase, history_.pagePath(HistoryList::NetworkTasks),
                                            history_.pagePath(HistoryList::LocalPlays), pings_->startPingUrl())) {
        panes_[page.pane]->navigate(page.address);
        if (page.pane == kEpisodeListPane)
            panes_[page.pane]->writeDocument(kBlankEpisodeListPage);
    }
}

MainWindowHost::ShowResult BA1::show() {
    if (!load())
        return ShowResult::EndProcess;
    QWidget::show();
    applyLayout();
    applyShape();
    return ShowResult::Shown;
}

void BA1::reloadHistoryPane(HistoryList list, const QString &pagePath) {
    WebPane *p = webPane(list == HistoryList::NetworkTasks ? 3 : 4);
    if (p && loaded_)
        p->navigate(pagePath);
}

// The window's part of the exit routine; the order is runExitRoutine's.
struct BA1::ExitAdapter final : ExitSteps {
    explicit ExitAdapter(BA1 &w) : w(w) {}
    void removeTrayIcon() override {
        if (w.tray_)
            w.tray_->remove();
    }
    bool playerShown() const override { return w.playback_->state().playAreaMode == kPlayAreaPlayer; }
    void stopPlayback() override { w.bo_but_Click(1); }
    void stopHousekeeping() override {
        if (w.timer3_)
            w.timer3_->stop();
    }
    void cancelWaitingFetch() override {
        // A control file arriving after this would start notices or the updater.
        w.cancelControlFile();
        // Episode lookups still waiting would start a play after the exit.
        if (w.paneHandlers_)
            w.paneHandlers_->cancelLookup();
        if (w.playback_)
            w.playback_->continuation().cancelLookups();
    }
    void unloadMenus() override {
        if (w.menus_)
            w.menus_->deleteLater();
    }
    void unloadNoticeWindow() override { w.unloadNoticeWindow(); }
    void unloadSettingsWindow() override { w.unloadSettingsWindow(); }
    void closeMainWindow() override {
        w.exiting_ = true;
        w.hide();
        w.close();
    }
    bool showRecommendation() override { return !forSession && w.showRecommendationOnExit(); }
    void quit() override { QCoreApplication::quit(); }
    BA1 &w;
    bool forSession = false;
};

void BA1::ttt_v() {
    exitRoutineRan_ = true;
    ExitAdapter steps(*this);
    vantoli::runExitRoutine(steps, settings_, processes_.get());
}

void BA1::endSession() {
    if (!exitRoutineRan_) {
        exitRoutineRan_ = true;
        ExitAdapter steps(*this);
        steps.forSession = true;
        vantoli::runExitRoutine(steps, settings_, processes_.get());
    }
    QCoreApplication::quit();
}

void BA1::bo_but_Click(int index) { transport_->bo_but_Click(index); }

void BA1::l_com(const QString &commandLine) { transport_->playCommandLine(commandLine); }

void BA1::linkExecute(const QString &commandLine) {
    if (timer3_)
        timer3_->start();
    hide();
    showWindow();
    if (isMinimized())
        showNormal();
    if (commandLine.isEmpty())
        return;
    if (modes_.compactMode() != 0)
        jbi_Click();
    npc_Click(9);
    playback_->playArea().setPlayAreaMode(kPlayAreaPlayer);
    l_com(commandLine);
}

// ---- ModesView -----------------------------------------------------------

void BA1::setControlVisible(const QString &name, bool visible) {
    if (QWidget *w = control(name))
        w->setVisible(visible);
}

void BA1::setControlToolTip(const QString &name, const QString &text) {
    if (QWidget *w = control(name))
        w->setToolTip(text);
}

void BA1::setCaption(const QString &name, const QString &text) {
    if (auto *l = qobject_cast<QLabel *>(control(name))) {
        l->setText(text);
        l->adjustSize();
    }
}

QRect BA1::controlRect(const QString &name) const {
    QWidget *w = control(name);
    if (!w)
        return {};
    return QRect(w->mapTo(this, QPoint(0, 0)), w->size());
}

void BA1::hideTooltipBox() { control(QStringLiteral("P1"))->hide(); }

void BA1::resetTextButtonColours() {
    setTextColour(static_cast<QLabel *>(control(QStringLiteral("jbi"))), kLabelWhite);
    setTextColour(static_cast<QLabel *>(control(QStringLiteral("qk"))), kQkGrey);
}

void BA1::minimise() { showMinimized(); }

bool BA1::isMaximised() const { return maximised_; }

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
    setControlToolTip(QStringLiteral("npc1"), maximised ? kRestoreTip : kMaximiseTip);
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

void BA1::popupMainMenuAt(QPoint windowPos) {
    if (menus_)
        tip::popup(menus_->r_m(), mapToGlobal(windowPos));
}

void BA1::popupMainMenu(const QPoint &globalPos) {
    if (menus_)
        tip::popup(menus_->r_m(), globalPos);
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

void BA1::setCursorShape(Qt::CursorShape shape) { setCursor(shape); }

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

// ---- MenuCommands --------------------------------------------------------

void BA1::catalogBack() { panes_[1]->back(); }
void BA1::catalogForward() { panes_[1]->forward(); }
void BA1::catalogRefresh() { panes_[1]->refresh(); }
void BA1::catalogCopy() { panes_[1]->copy(); }
void BA1::catalogPaste() { panes_[1]->paste(); }
void BA1::catalogHome() { panes_[1]->navigate(options_.contentBase); }
void BA1::openProductHomePage() { dialogs_.openUrl(options_.contentBase); }

void BA1::showWindow() {
    QWidget::show();
    raise();
    activateWindow();
}

void BA1::restoreWindow() { showNormal(); }

} // namespace vantoli::shell
