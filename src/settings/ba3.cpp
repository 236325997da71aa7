#include "settings/ba3.h"

#include "app/version.h"
#include "shell/layout.h"
#include "shell/skin.h"

#include <algorithm>
#include <initializer_list>

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace vantoli {
namespace {

const QSize kDialogSize(500, 380);
constexpr int kTabStripWidth = 130;
constexpr int kButtonBand = 40; // below the pages, for the three buttons
constexpr int kTabHeight = 35;
const int kTabTop[3] = {61, 0, 31}; // by tab index
constexpr int kLinkTop = 200;

const QColor kPageWhite(0xff, 0xff, 0xff);
const QColor kPanelGrey(0xf0, 0xf0, 0xf0);
const QColor kNoticeRed(0xc0, 0x00, 0x00);

void fill(QWidget *w, const QColor &colour) {
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
}

void setColours(QLabel *label, const QColor &background, const QColor &text) {
    QPalette p = label->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    label->setPalette(p);
}

} // namespace

QString settingsTabCaption(int index) {
    static const QString captions[3] = {QStringLiteral("关于软件"), QStringLiteral("软件设置"),
                                        QStringLiteral("缓存设置")};
    return captions[index];
}

TabLook settingsTabLook(bool selected) {
    if (selected)
        return {QColor(250, 175, 65), QColor(Qt::white)};
    return {QColor(218, 218, 218), QColor(Qt::black)};
}

QString aboutVersionLine(const QString &version) {
    return QStringLiteral("版本 V") + version + QStringLiteral("    发布日期 2011.6.30");
}

QPoint centredOver(const QRect &owner, QSize size, const QRect &workArea) {
    QRect r(QPoint(), size);
    r.moveCenter(owner.center());
    if (workArea.isValid()) {
        // Right and bottom first, so that a dialog larger than the work area
        // keeps its title band on the screen.
        r.moveRight(std::min(r.right(), workArea.right()));
        r.moveBottom(std::min(r.bottom(), workArea.bottom()));
        r.moveLeft(std::max(r.left(), workArea.left()));
        r.moveTop(std::max(r.top(), workArea.top()));
    }
    return r.topLeft();
}

BA3::BA3(SettingsDialogHost &host, const shell::SkinSet &skin, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), model_(host, *this), host_(host), skin_(skin) {
    setObjectName(QStringLiteral("BA3"));
    setWindowTitle(QStringLiteral("软件设置"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::NonModal);
    QFont base = font();
    base.setPixelSize(12);
    setFont(base);
    buildControls();
    model_.load();
    showModel();
    d_z_Click(1);
    resize(kDialogSize);
    if (parent) {
        QWidget *owner = parent->window();
        const QScreen *screen = owner->screen();
        move(centredOver(owner->frameGeometry(), size(), screen ? screen->availableGeometry() : QRect()));
    }
}

QLabel *BA3::makeLabel(const QString &name, QWidget *parent, const QString &text) {
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

void BA3::buildControls() {
    name_ = makeLabel(QStringLiteral("ni_name"), this, windowTitle());
    QFont titleFont = font();
    titleFont.setPixelSize(14);
    titleFont.setBold(true);
    name_->setFont(titleFont);
    setColours(name_, Qt::transparent, Qt::white);
    name_->adjustSize();
    name_->setAttribute(Qt::WA_TransparentForMouseEvents);

    guan_ = makeLabel(QStringLiteral("guan"), this, {});
    guan_->resize(24, 24);
    guan_->setToolTip(QStringLiteral("关闭"));
    guan_->installEventFilter(this);

    p1_ = new QWidget(this);
    p1_->setObjectName(QStringLiteral("P1"));
    fill(p1_, kPanelGrey);
    p2_ = new QWidget(p1_);
    p2_->setObjectName(QStringLiteral("P2"));
    fill(p2_, QColor(0xc8, 0xc8, 0xc8));
    pic4_ = new QWidget(p2_);
    pic4_->setObjectName(QStringLiteral("Pic4"));
    fill(pic4_, kPanelGrey);
    p3_ = new QWidget(p1_);
    p3_->setObjectName(QStringLiteral("P3"));
    fill(p3_, QColor(0xc8, 0xc8, 0xc8));

    // Tab 2 first so that the lower tabs lie over the one above them.
    for (int i : {1, 2, 0}) {
        QLabel *t = makeLabel(QStringLiteral("d_z%1").arg(i), pic4_, settingsTabCaption(i));
        t->setAlignment(Qt::AlignCenter);
        t->setAutoFillBackground(true);
        t->setCursor(Qt::PointingHandCursor);
        t->installEventFilter(this);
        tabs_[i] = t;
    }
    for (int i = 0; i < 3; ++i) {
        auto *page = new QWidget(p3_);
        page->setObjectName(QStringLiteral("pz%1").arg(i));
        fill(page, kPageWhite);
        page->setMouseTracking(true);
        page->installEventFilter(this);
        pages_[i] = page;
    }
    buildAboutPage(pages_[0]);
    buildSettingsPage(pages_[1]);
    buildCachePage(pages_[2]);

    auto button = [this](const char *name, const QString &text, void (BA3::*click)()) {
        auto *b = new QPushButton(text, p1_);
        b->setObjectName(QString::fromLatin1(name));
        b->resize(75, 24);
        connect(b, &QPushButton::clicked, this, click);
        return b;
    };
    ok_ = button("cmdOK", QStringLiteral("确定"), &BA3::cmdOK_Click);
    cancel_ = button("cmdCancel", QStringLiteral("取消"), &BA3::cmdCancel_Click);
    apply_ = button("cmdApply", QStringLiteral("应用(&A)"), &BA3::cmdApply_Click);
}

void BA3::buildSettingsPage(QWidget *page) {
    QFont headingFont = font();
    headingFont.setBold(true);
    int y = 14;
    const auto &boxes = settingsBoxes();
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (i == 0 || i == static_cast<size_t>(kGeneralBoxCount)) {
            if (i != 0)
                y += 8;
            QLabel *h = makeLabel(i == 0 ? QStringLiteral("head0") : QStringLiteral("head1"), page,
                                  i == 0 ? kGeneralHeading : kPlaybackHeading);
            h->setFont(headingFont);
            h->move(20, y);
            h->adjustSize();
            y += 22;
        }
        const SettingsBox &b = boxes[i];
        auto *c = new QCheckBox(b.caption, page);
        c->setObjectName(QStringLiteral("Check1%1").arg(b.index));
        c->move(36, y);
        c->adjustSize();
        connect(c, &QCheckBox::toggled, this, [this, index = b.index](bool on) { model_.setTicked(index, on); });
        boxes_[b.index] = c;
        y += 22;
    }
}

void BA3::buildCachePage(QWidget *page) {
    QFont headingFont = font();
    headingFont.setBold(true);
    QLabel *h = makeLabel(QStringLiteral("head2"), page, QStringLiteral("缓存设置："));
    h->setFont(headingFont);
    h->move(20, 14);
    h->adjustSize();
    text1_ = new QLineEdit(page);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(36, 44, 220, 24);
    connect(text1_, &QLineEdit::textEdited, this, [this](const QString &t) { model_.setFolderText(t); });
    browse_ = new QPushButton(QStringLiteral("浏览.."), page);
    browse_->setObjectName(QStringLiteral("Command1"));
    browse_->setGeometry(264, 44, 64, 24);
    connect(browse_, &QPushButton::clicked, this, &BA3::Command1_Click);
    QLabel *note = makeLabel(QStringLiteral("note"), page, QStringLiteral("观看过和下载的影片将存贮在此文件夹中"));
    setColours(note, kPageWhite, QColor(0x60, 0x60, 0x60));
    note->move(36, 78);
    note->adjustSize();
    dengdeng_ = makeLabel(QStringLiteral("dengdeng"), page, QStringLiteral("正在改变影片缓冲路径，请稍后..."));
    setColours(dengdeng_, kPageWhite, kNoticeRed);
    dengdeng_->move(36, 110);
    dengdeng_->adjustSize();
    dengdeng_->hide();

    // PeerTerminal's peer-to-peer settings, below the folder.
    QLabel *p2p = makeLabel(QStringLiteral("head3"), page, QStringLiteral("P2P设置："));
    p2p->setFont(headingFont);
    p2p->move(20, 144);
    p2p->adjustSize();
    const auto row = [&](const char *name, const QString &caption, const QString &unit, int y) {
        QLabel *l = makeLabel(QString::fromLatin1(name) + QStringLiteral("Label"), page, caption);
        l->move(36, y + 4);
        l->adjustSize();
        auto *edit = new QLineEdit(page);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setGeometry(110, y, 72, 24);
        edit->setMaxLength(10);
        QLabel *u = makeLabel(QString::fromLatin1(name) + QStringLiteral("Unit"), page, unit);
        setColours(u, kPageWhite, QColor(0x60, 0x60, 0x60));
        u->move(190, y + 4);
        u->adjustSize();
        return edit;
    };
    uploadLimit_ = row("uploadLimit", QStringLiteral("上传限速："), QStringLiteral("KB/秒（0为不限速）"), 172);
    listenPort_ = row("listenPort", QStringLiteral("监听端口："), QStringLiteral("（留空为默认端口）"), 204);
    seeding_ = new QCheckBox(QStringLiteral("下载完成后继续上传（做种）"), page);
    seeding_->setObjectName(QStringLiteral("seeding"));
    seeding_->move(36, 236);
    seeding_->adjustSize();
    QLabel *later = makeLabel(QStringLiteral("note2"), page, QStringLiteral("P2P设置在Peer播放器下次启动时生效"));
    setColours(later, kPageWhite, QColor(0x60, 0x60, 0x60));
    later->move(36, 264);
    later->adjustSize();
    connect(uploadLimit_, &QLineEdit::textEdited, this, [this] { takeFieldTexts(); });
    connect(listenPort_, &QLineEdit::textEdited, this, [this] { takeFieldTexts(); });
    connect(seeding_, &QCheckBox::toggled, this, [this] { takeFieldTexts(); });
}

void BA3::buildAboutPage(QWidget *page) {
    QLabel *product = makeLabel(QStringLiteral("L11"), page, QStringLiteral("Vantoli"));
    QFont productFont = font();
    productFont.setPixelSize(20);
    productFont.setBold(true);
    product->setFont(productFont);
    product->move(30, 24);
    const QString lines[4] = {
        QStringLiteral("Vantoli是一款以P2P技术为核心的播放软件。"),
        QStringLiteral("软件以搜索引擎的方式整合了互联网上的媒体资"),
        QStringLiteral("源。为用户提供方便、快捷的浏览体验。"),
        aboutVersionLine(majorMinor(programVersion())),
    };
    const int tops[4] = {70, 92, 114, 156};
    QList<QLabel *> labels{product};
    for (int i = 0; i < 4; ++i) {
        QLabel *l = makeLabel(QStringLiteral("L1%1").arg(i + 2), page, lines[i]);
        l->move(30, tops[i]);
        labels.append(l);
    }
    link_ = makeLabel(QStringLiteral("L10"), page, QStringLiteral("官方网址：") + host_.homePageUrl());
    link_->move(30, kLinkTop);
    link_->setCursor(Qt::PointingHandCursor);
    link_->setMouseTracking(true);
    labels.append(link_);
    for (QLabel *l : labels) {
        setColours(l, kPageWhite, Qt::black);
        l->adjustSize();
        l->installEventFilter(this);
    }
    showLinkLook();
}

void BA3::showModel() {
    for (const SettingsBox &b : settingsBoxes()) {
        QSignalBlocker block(boxes_[b.index]);
        boxes_[b.index]->setChecked(model_.ticked(b.index));
    }
    text1_->setText(model_.folderText());
    showPeerFields();
    for (QWidget *w : std::initializer_list<QWidget *>{uploadLimit_, listenPort_, seeding_})
        w->setEnabled(model_.peerFieldsEditable());
}

void BA3::showPeerFields() {
    const PeerFields &peer = model_.peerFields();
    uploadLimit_->setText(peer.uploadLimit);
    listenPort_->setText(peer.listenPort);
    QSignalBlocker block(seeding_);
    seeding_->setChecked(peer.seeding);
}

void BA3::takeFieldTexts() {
    model_.setFolderText(text1_->text());
    model_.setPeerFields({uploadLimit_->text(), seeding_->isChecked(), listenPort_->text()});
}

void BA3::showLinkLook() {
    const LinkLook &look = model_.linkLook();
    QFont f = link_->font();
    if (f.underline() != look.underline) {
        f.setUnderline(look.underline);
        link_->setFont(f);
    }
    setColours(link_, kPageWhite, look.colour);
}

void BA3::d_z_Click(int index) {
    if (index < 0 || index > 2)
        return;
    for (int i = 0; i < 3; ++i) {
        const TabLook look = settingsTabLook(i == index);
        setColours(tabs_[i], look.background, look.text);
        pages_[i]->setVisible(i == index);
    }
    selectedTab_ = index;
}

void BA3::F2_Paint() {
    const int w = width(), h = height();
    name_->move(16, 7);
    p1_->setGeometry(2, 30, w - 4, h - 32);
    const int panelW = p1_->width(), panelH = p1_->height();
    p2_->setGeometry(0, 0, kTabStripWidth, panelH - kButtonBand);
    p3_->setGeometry(kTabStripWidth, 0, panelW - kTabStripWidth, p2_->height());
    pic4_->setGeometry(0, 0, p2_->width() - 1, p2_->height() - 1);
    for (int i = 0; i < 3; ++i) {
        tabs_[i]->setGeometry(0, kTabTop[i], pic4_->width(), kTabHeight);
        pages_[i]->setGeometry(0, 0, p3_->width(), p3_->height() - 1);
    }
    link_->move(link_->x(), kLinkTop);
    const int buttonsTop = p2_->height() + (kButtonBand - ok_->height()) / 2;
    int x = panelW - 12;
    for (QPushButton *b : {apply_, cancel_, ok_}) {
        x -= b->width();
        b->move(x, buttonsTop);
        x -= 8;
    }
    guan_->move(w - 32, 3);
    guan_->raise();
    paintCloseButton(closeHover_);
    setMask(shell::shapeRegion(shell::roundedShape(size())));
    update();
}

void BA3::paintCloseButton(bool hover) {
    closeHover_ = hover;
    guan_->setPixmap(skin_.slot(hover ? 2 : 1).copy(120, 0, 24, 24));
}

void BA3::paintEvent(QPaintEvent *) {
    QPainter g(this);
    g.fillRect(rect(), Qt::black);
    const QPixmap &frame = skin_.slot(0);
    if (frame.isNull())
        return;
    // A skin switch while the dialog is open brings new pictures; the close
    // button follows the frame.
    if (frame.cacheKey() != paintedFrameKey_) {
        paintedFrameKey_ = frame.cacheKey();
        paintCloseButton(closeHover_);
    }
    // The frame has the compact window's 30-pixel top band.
    for (const shell::Slice &s : shell::frameSlices(size(), true))
        g.drawPixmap(s.dst, frame, s.src);
}

void BA3::resizeEvent(QResizeEvent *) { F2_Paint(); }

void BA3::mousePressEvent(QMouseEvent *e) {
    // The background moves the dialog like a title bar; presses that a
    // control left unhandled arrive here too and do not.
    if (e->button() != Qt::LeftButton || childAt(e->position().toPoint()))
        return;
    // Without a window manager's move loop the dialog follows the mouse.
    if (!windowHandle() || !windowHandle()->startSystemMove())
        dragOffset_ = e->globalPosition().toPoint() - pos();
}

void BA3::mouseMoveEvent(QMouseEvent *e) {
    if (dragOffset_ && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - *dragOffset_);
}

void BA3::mouseReleaseEvent(QMouseEvent *) { dragOffset_.reset(); }

void BA3::keyPressEvent(QKeyEvent *e) {
    if (e->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QWidget::keyPressEvent(e);
}

bool BA3::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (watched == guan_) {
        if (type == QEvent::Enter)
            paintCloseButton(true);
        else if (type == QEvent::Leave)
            paintCloseButton(false);
        else if (type == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
                 guan_->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
            close();
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (watched == tabs_[i] && type == QEvent::MouseButtonPress) {
            d_z_Click(i);
            return true;
        }
        if (watched == pages_[i] && type == QEvent::MouseMove) {
            model_.pageHovered();
            showLinkLook();
        }
    }
    if (watched == link_) {
        // Consumed here, so that the page under the link does not take the
        // move as a move over the page.
        if (type == QEvent::MouseMove || type == QEvent::Enter) {
            model_.linkHovered();
            showLinkLook();
            return type == QEvent::MouseMove;
        }
        if (type == QEvent::MouseButtonPress) {
            model_.linkClicked();
            showLinkLook();
            return true;
        }
    } else if (type == QEvent::MouseButtonPress && watched->objectName().startsWith(QLatin1String("L1")) &&
               watched->parent() == pages_[0]) {
        model_.otherAboutLabelClicked();
        showLinkLook();
    }
    return false;
}

bool BA3::applyAndSurvive(bool *accepted) {
    // The change's message runs an event loop; the exit routine may unload
    // the dialog meanwhile.
    QPointer<BA3> self(this);
    takeFieldTexts();
    const bool taken = model_.apply();
    if (!self)
        return false;
    if (accepted)
        *accepted = taken;
    if (!taken) {
        // Refused input stays as typed, on its page, to be corrected.
        d_z_Click(2);
        return true;
    }
    text1_->setText(model_.folderText());
    showPeerFields();
    return true;
}

void BA3::cmdApply_Click() { applyAndSurvive(); }

void BA3::cmdOK_Click() {
    bool accepted = false;
    if (applyAndSurvive(&accepted) && accepted)
        close();
}

void BA3::cmdCancel_Click() { close(); }

void BA3::Command1_Click() {
    model_.setFolderText(text1_->text());
    model_.browse();
    text1_->setText(model_.folderText());
}

void BA3::setChangingNoticeVisible(bool visible) {
    // The completed folder is shown before the change's message comes up.
    text1_->setText(model_.folderText());
    dengdeng_->setVisible(visible);
    if (visible)
        repaint();
}

} // namespace vantoli
