#include "shell/window_controls.h"

#include "app/startup.h"
#include "platform/web_pane.h"
#include "playback/playback_view.h"
#include "shell/label_colours.h"
#include "shell/part_names.h"
#include "shell/layout.h"
#include "shell/picture_box.h"
#include "shell/window_modes.h"

#include <QFrame>
#include <QLabel>

namespace vantoli::shell {

namespace {

const char *const kTransportTips[8] = {"播放", "停止", "静音", "全屏", "打开文件", "上一集", "侧栏", "下一集"};

int indexIn(const QString &name, QLatin1StringView family) {
    if (!name.startsWith(family))
        return -1;
    bool ok = false;
    const int n = QStringView(name).mid(family.size()).toInt(&ok);
    return ok ? n : -1;
}

} // namespace

std::optional<ControlRole> controlRole(const QString &name) {
    static const QHash<QString, MouseRole> kRoles = {
        {QStringLiteral("jbi"), MouseRole::TextButton},  {QStringLiteral("qk"), MouseRole::TextButton},
        {QStringLiteral("shan"), MouseRole::SideBar},    {QStringLiteral("bo_ad"), MouseRole::Cover},
        {QStringLiteral("bo_zt"), MouseRole::Plain},     {QStringLiteral("zz"), MouseRole::Plain},
        {QStringLiteral("jia"), MouseRole::Plain},       {QStringLiteral("bo_foot"), MouseRole::Footer},
        {QStringLiteral("ggx"), MouseRole::CloseBox},    {QStringLiteral("gtv"), MouseRole::CloseBox},
        {QStringLiteral("Lpeer"), MouseRole::MouseLayer}, {QStringLiteral("video"), MouseRole::MouseLayer},
        {QStringLiteral("adp"), MouseRole::PauseAd},
    };
    if (const int i = indexIn(name, QLatin1StringView("npc")); i >= 0)
        return ControlRole{MouseRole::TitleButton, i};
    if (const int i = indexIn(name, QLatin1StringView("bo_but")); i >= 0)
        return ControlRole{MouseRole::Transport, i};
    if (const std::optional<Part> part = partForControl(name)) {
        static const QList<Part> bars = {Part::SeekTrack,   Part::SeekKnob,   Part::PlayedBar, Part::BufferedBar,
                                         Part::VolumeTrack, Part::VolumeFill, Part::VolumeKnob};
        if (bars.contains(*part))
            return ControlRole{MouseRole::Bar, int(*part)};
    }
    if (const auto it = kRoles.constFind(name); it != kRoles.constEnd())
        return ControlRole{*it};
    return std::nullopt;
}


WindowControls::WindowControls(QWidget &window) : window_(window) { build(); }

WindowControls::~WindowControls() {
    for (WebPane *&p : panes_) {
        delete p;
        p = nullptr;
    }
}

template <class T> T *WindowControls::add(T *widget) {
    controls_.insert(widget->objectName(), widget);
    return widget;
}

PictureBox *WindowControls::box(const QString &name, QWidget *parent, QSize size) {
    auto *b = add(new PictureBox(name, parent, size));
    b->setMouseTracking(true);
    b->installEventFilter(&window_);
    return b;
}

QLabel *WindowControls::label(const QString &name, QWidget *parent, const QString &text) {
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    add(l);
    l->setMouseTracking(true);
    l->installEventFilter(&window_);
    return l;
}

void WindowControls::createPanes() {
    if (panesMade_)
        return;
    panesMade_ = true;
    // In the order of the controls they sit in.
    for (int number : {2, 8, 7, 3, 4, 5, 1, 10, 11, 9, 6})
        pane(number, holders_[number])->show();
}

WebPane *WindowControls::pane(int number, QWidget *holder) {
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

PictureBox *WindowControls::pictureBox(const QString &name) const {
    return qobject_cast<PictureBox *>(control(name));
}

QLabel *WindowControls::label(const QString &name) const { return qobject_cast<QLabel *>(control(name)); }

QRect WindowControls::rectInWindow(const QString &name) const {
    QWidget *w = control(name);
    if (!w)
        return {};
    return QRect(w->mapTo(&window_, QPoint(0, 0)), w->size());
}

DesignSizes WindowControls::designSizes() const {
    DesignSizes d;
    auto hint = [this](const char *n) {
        auto *l = qobject_cast<QLabel *>(control(QString::fromLatin1(n)));
        return l ? l->sizeHint() : QSize();
    };
    d.niName = hint("ni_name");
    d.niBo1 = hint("ni_bo1");
    d.niBo1WrappedHeight = 2 * window_.fontMetrics().height() + 2;
    d.zhun = hint("zhun");
    d.times = hint("times");
    d.boName = hint("bo_name");
    d.nextS = control(QStringLiteral("next_s"))->size();
    d.la0 = control(QStringLiteral("La0"))->size();
    d.qk = control(QStringLiteral("qk"))->size();
    d.huanWidth = control(QStringLiteral("huan"))->width();
    return d;
}

bool WindowControls::showHoverLook(const QString &name, QWidget *hovered) {
    QLabel *jbi = label(QStringLiteral("jbi"));
    QLabel *qk = label(QStringLiteral("qk"));
    if (name == QStringLiteral("jbi") || name == QStringLiteral("qk")) {
        setTextColour(static_cast<QLabel *>(hovered), kLabelHoverRed);
    } else if (name == QStringLiteral("shan")) {
        setTextColour(qk, kQkGrey);
    } else if (name == QStringLiteral("bo_ad")) {
        setTextColour(jbi, kLabelWhite);
    } else if (name == QStringLiteral("bo_foot")) {
        QLabel *notice = label(QStringLiteral("La0"));
        setTextColour(notice, kNoticeOrange);
        QFont f = notice->font();
        if (f.underline()) {
            f.setUnderline(false);
            notice->setFont(f);
        }
        setTextColour(jbi, kLabelWhite);
        setTextColour(qk, kQkGrey);
        return true;
    }
    return false;
}

bool WindowControls::videoInNativeWindow() const {
    const auto *video = control(QStringLiteral("PeerC"))->findChild<QWidget *>(QStringLiteral("video"));
    return video && video->testAttribute(Qt::WA_NativeWindow);
}

void WindowControls::watchNativeVideo(QObject *filter) {
    if (!videoInNativeWindow())
        return;
    auto *video = control(QStringLiteral("PeerC"))->findChild<QWidget *>(QStringLiteral("video"));
    video->setMouseTracking(true);
    video->installEventFilter(filter);
    // A window of its own, a sibling of the video's; showing it raises it.
    QWidget *box = control(QStringLiteral("P1"));
    box->setAttribute(Qt::WA_DontCreateNativeAncestors);
    box->setAttribute(Qt::WA_NativeWindow);
}

void WindowControls::build() {
    QFont base = window_.font();
    base.setPixelSize(12);
    window_.setFont(base);

    // Title bar.
    auto *imi = label(QStringLiteral("Imi"), &window_);
    imi->resize(32, 32);
    imi->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *name = label(QStringLiteral("ni_name"), &window_, kProductName);
    QFont titleFont = base;
    titleFont.setPixelSize(14);
    titleFont.setBold(true);
    name->setFont(titleFont);
    setTextColour(name, kLabelWhite);
    name->adjustSize();
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *niBo1 = label(QStringLiteral("ni_bo1"), &window_);
    niBo1->setFont(titleFont);
    setTextColour(niBo1, kLabelWhite);
    niBo1->setAttribute(Qt::WA_TransparentForMouseEvents);
    niBo1->hide();
    auto *jbi = label(QStringLiteral("jbi"), &window_, QStringLiteral("✕"));
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
        auto *b = box(QStringLiteral("npc%1").arg(i), &window_, {24, 24});
        b->setToolTip(titleButtonTip(i));
        b->setOwnTooltipBox(true);
        b->setCursor(Qt::ArrowCursor);
    }
    for (int i : {8, 9, 13, 14}) {
        auto *b = box(QStringLiteral("npc%1").arg(i), &window_, {100, 37});
        b->setCursor(Qt::ArrowCursor);
    }

    auto makePage = [&](const char *n) {
        auto *w = new QWidget(&window_);
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
    zz->installEventFilter(&window_);
    auto *l1 = new QWidget(zz);
    l1->setObjectName(QStringLiteral("L1"));
    add(l1);
    auto *pic2 = new QWidget(l1);
    pic2->setObjectName(QStringLiteral("Pic2"));
    add(pic2);
    holders_[2] = pic2;
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
    lpeer->installEventFilter(&window_);
    auto *boAd = box(QStringLiteral("bo_ad"), peer);
    boAd->setFill(QColor(0x10, 0x10, 0x11));
    auto *adp = box(QStringLiteral("adp"), boAd, {180, 100});
    adp->setPicture(QPixmap(QStringLiteral(":/skins/adp.png")));
    auto *boPad = new QWidget(boAd);
    boPad->setObjectName(QStringLiteral("bo_pad"));
    add(boPad);
    holders_[8] = boPad;
    boPad->hide();
    auto *adHuan = new QWidget(boAd);
    adHuan->setObjectName(QStringLiteral("ad_huan"));
    add(adHuan);
    holders_[7] = adHuan;
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
        holders_[i] = holder;
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
    holders_[1] = pic1;
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
    holders_[10] = tvleft;
    auto *gtv = box(QStringLiteral("gtv"), tvleft, {20, 20});
    gtv->setPicture(QPixmap(QStringLiteral(":/skins/close.png")));
    gtv->setToolTip(QStringLiteral("关闭"));
    gtv->hide();
    auto *tvright = new QWidget(tv);
    tvright->setObjectName(QStringLiteral("tvright"));
    add(tvright);
    holders_[11] = tvright;
    auto *npc15 = box(QStringLiteral("npc15"), tv, {3, 40});
    npc15->setToolTip(kSideBarOpenTip);
    npc15->setCursor(Qt::PointingHandCursor);

    // Fourth page.
    QWidget *ying = makePage("ying");
    holders_[9] = ying;

    // Bottom bar.
    auto *foot = box(QStringLiteral("bo_foot"), &window_);
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
    auto *hiddenHolder = new QWidget(&window_);
    hiddenHolder->hide();
    holders_[6] = hiddenHolder;

    // Tooltip box of the title-bar and transport buttons.
    auto *p1 = new QFrame(&window_);
    p1->setObjectName(QStringLiteral("P1"));
    add(p1);
    p1->setStyleSheet(QStringLiteral("QFrame#P1{background:#ffffe1;border:1px solid #767676;}"));
    auto *tipLabel = label(QStringLiteral("bo_tip"), p1);
    setTextColour(tipLabel, Qt::black);
    tipLabel->move(2, 2);
    p1->hide();

}

} // namespace vantoli::shell
