// The main window's side of playback: it creates the player and the
// controllers of playback, transport and the panes' links, and offers them
// its controls through PlaybackView and CatalogHost.

#include "shell/ba1.h"

#include "app/text_util.h"

#include "notices/pings.h"
#include "controls/key_preview.h"
#include "controls/keyboard.h"
#include "controls/player_menu.h"
#include "controls/seek_volume.h"
#include "controls/transport.h"
#include "platform/http_get.h"
#include "platform/power.h"
#include "platform/web_pane.h"
#include "playback/null_player.h"
#include "playback/mpv_player.h"
#include "playback/playback_controller.h"
#include "playback/player_factory.h"
#include "shell/picture_box.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QTime>

namespace vantoli::shell {

void BA1::createPlayback() {
    if (options_.playerFactory)
        player_ = options_.playerFactory->create(control(QStringLiteral("PeerC")), options_.programFolder,
                                                 options_.contentBase);
    // Where the player draws into a native window nothing Qt paints shows
    // above the video: the mouse layer's events come from the video widget
    // itself, and the tooltip box, which may overlap it, gets a native
    // window of its own that is raised above the video's.
    if (auto *video = control(QStringLiteral("PeerC"))->findChild<QWidget *>(QStringLiteral("video"));
        video && video->testAttribute(Qt::WA_NativeWindow)) {
        video->setMouseTracking(true);
        video->installEventFilter(this);
        keepAboveNativeVideo(control(QStringLiteral("P1")));
    }
    if (!player_)
        player_ = std::make_unique<NullPlayer>();
    AsyncHttpGet *lookups = options_.lookups;
    if (!lookups) {
        ownLookups_ = makeAsyncHttpGet();
        lookups = ownLookups_.get();
    }
    Power *power = options_.power;
    if (!power) {
        ownPower_ = makePower();
        power = ownPower_.get();
    }
    PlaybackServices services;
    services.state = &playbackState_;
    services.player = player_.get();
    services.view = this;
    services.transport = this;
    services.lookups = lookups;
    services.power = power;
    services.history = &history_;
    services.settings = &settings_;
    services.contentBase = options_.contentBase;
    // The time of day in the user's long time format, without a time zone.
    services.clock = [] { return clockText(QLocale::system(), QTime::currentTime()); };
    playback_ = std::make_unique<PlaybackController>(services);
    if (auto *mpv = dynamic_cast<MpvPlayer *>(player_.get()))
        QObject::connect(mpv, &MpvPlayer::changed, playback_.get(), &PlaybackController::playerChanged);
    PlaybackState &state = playback_->state();
    transport_ = std::make_unique<controls::Transport>(*player_, state, *this, *playback_, history_,
                                                       playback_->positions(), dialogs_, playback_->playArea(),
                                                       playback_->continuation());
    // Queued: the message for a file the player cannot open never shows
    // inside the player's own event handling.
    if (auto *mpv = dynamic_cast<MpvPlayer *>(player_.get()))
        QObject::connect(
            mpv, &MpvPlayer::changed, this,
            [this] {
                if (transport_)
                    transport_->playerChanged();
            },
            Qt::QueuedConnection);
    bars_ = std::make_unique<controls::SeekVolumeBars>(*player_, *this, *this, state);
    keys_ = std::make_unique<controls::Keyboard>(*player_, state, *this, *playback_, *this, *bars_);
    playerMenu_ = std::make_unique<controls::PlayerMenu>(*player_, *this, state);

    CatalogServices catalog;
    catalog.player = player_.get();
    catalog.state = &state;
    catalog.view = this;
    catalog.timers = playback_.get();
    catalog.playArea = &playback_->playArea();
    catalog.history = &history_;
    catalog.lookups = lookups;
    catalog.dialogs = &dialogs_;
    catalog.host = this;
    catalog.settings = &settings_;
    catalog.contentBase = options_.contentBase;
    catalog.playEndedUrl = playback_->endOfPlayback().playEndedUrl();
    paneHandlers_ = std::make_unique<PaneHandlers>(catalog);
    paneEvents_ = std::make_unique<PaneEvents>(*this, *this, state, *player_, options_.contentBase);
    episodeList_ = std::make_unique<EpisodeList>(*this, *this, options_.programFolder, options_.contentBase);
    for (int i = 1; i <= 11; ++i) {
        WebPane *pane = panes_[i];
        pane->setBeforeNavigateHandler([this, i](WebPane &, WebNavigation &nav) {
            if (paneHandlers_->beforeNavigate(i, nav.address))
                nav.cancel = true;
        });
        connect(pane, &WebPane::downloadBegin, this, [this, i] { paneEvents_->downloadBegin(i); });
        connect(pane, &WebPane::downloadComplete, this, [this, i] { paneEvents_->downloadComplete(i); });
        connect(pane, &WebPane::navigateError, this,
                [this, i](const QString &url, int) { paneEvents_->navigateError(i, url); });
        connect(pane, &WebPane::contextMenu, this, [this, i](const QString &link, const QPoint &pos) {
            paneEvents_->contextMenu(i, link, pos);
        });
    }
    keyPreview_ = std::make_unique<controls::KeyPreview>(*this, *keys_);
}

void BA1::setLabelText(const QString &name, const QString &text) {
    auto *l = qobject_cast<QLabel *>(control(name));
    if (!l)
        return;
    l->setText(text);
    // In compact mode the status line keeps the fixed width the layout gave it.
    if (name == QStringLiteral("zhun") && modes_.compactMode() != 0)
        return;
    l->adjustSize();
}

void BA1::setTimes(const QString &text, TimesLine line) {
    setLabelText(QStringLiteral("times"), text);
    QWidget *times = control(QStringLiteral("times"));
    times->move(timeLabelPosition(times->width(), control(QStringLiteral("peer"))->width(), line));
}

void BA1::clearTimes() {
    QWidget *times = control(QStringLiteral("times"));
    times->move(timeLabelPosition(times->width(), control(QStringLiteral("peer"))->width(), TimesLine::Command));
    setLabelText(QStringLiteral("times"), QString());
}

void BA1::setTitle(const QString &text) {
    setLabelText(QStringLiteral("bo_name"), text);
    QWidget *title = control(QStringLiteral("bo_name"));
    title->move(titleLabelPosition(title->width(), control(QStringLiteral("bo_zt"))->width()));
}

QString BA1::labelText(const QString &name) const {
    auto *l = qobject_cast<QLabel *>(control(name));
    return l ? l->text() : QString();
}

bool BA1::isControlVisible(const QString &name) const {
    QWidget *w = control(name);
    return w && !w->isHidden();
}

QRect BA1::controlGeometry(const QString &name) const {
    QWidget *w = control(name);
    if (!w)
        return {};
    return w->geometry();
}

void BA1::setControlGeometry(const QString &name, const QRect &geometry) {
    if (QWidget *w = control(name))
        w->setGeometry(geometry);
}

void BA1::setControlEnabled(const QString &name, bool enabled) {
    if (QWidget *w = control(name))
        w->setEnabled(enabled);
}

void BA1::paintTransportFrame(int button, int strip, int frame) {
    PictureBox *b = pictureBox(QStringLiteral("bo_but%1").arg(button));
    if (!b)
        return;
    // The status tick repeats the face of the state every second; an
    // unchanged face is not drawn again.
    const QSize size = button == 0 ? QSize(58, 43) : QSize(25, 25);
    const Cell cell{strip, QRect(QPoint(frame, 0), size)};
    if (button >= 0 && button < 8 && transportCells_[button] == cell && transportSkin_[button] == skin_.skin())
        return;
    if (button >= 0 && button < 8) {
        transportCells_[button] = cell;
        transportSkin_[button] = skin_.skin();
    }
    b->setPicture(skin_.cell(cell));
    b->update();
}

bool BA1::videoInNativeWindow() const {
    const auto *video = findChild<QWidget *>(QStringLiteral("video"));
    return video && video->testAttribute(Qt::WA_NativeWindow);
}

void BA1::keepAboveNativeVideo(QWidget *w) {
    // Its own window, a sibling of the video's; showing it raises it.
    w->setAttribute(Qt::WA_DontCreateNativeAncestors);
    w->setAttribute(Qt::WA_NativeWindow);
}

void BA1::balloon(const QString &text) {
    if (tray_)
        tray_->balloon(text);
}

void BA1::navigatePane(int number, const QString &url) {
    if (WebPane *p = webPane(number))
        p->navigate(url);
}

// Paints and queued calls run; user input waits, so a key handler is never
// entered again from inside itself.

void BA1::refreshPane(int number) {
    if (WebPane *p = webPane(number))
        p->refresh();
}

void BA1::sendPlayPing() {
    if (pings_)
        navigatePane(kStatisticsPane, pings_->playPingUrl());
}

void BA1::setPaneSilent(int pane) {
    if (WebPane *p = webPane(pane))
        p->setSilent(true);
}

void BA1::popupMenu(PaneMenu menu, const QPoint &globalPos) {
    if (!menus_)
        return;
    switch (menu) {
    case PaneMenu::Main: tip::popup(menus_->myMenu(), globalPos); break;
    case PaneMenu::History: tip::popup(menus_->webc(), globalPos); break;
    case PaneMenu::Player: tip::popup(menus_->peer_m(), globalPos); break;
    }
}

void BA1::readCatalogBody(std::function<void(const QString &)> done) { panes_[1]->readBodyHtml(std::move(done)); }

void BA1::DangJ(const QString &title, int videoId, int source, int episode) {
    episodeList_->DangJ(title, videoId, source, episode);
}

void BA1::setMuteMenuCaption(bool muted) {
    if (menus_)
        menus_->setMuteCaption(muted);
}


void BA1::setMouseCapture(const QString &name, bool capture) {
    QWidget *w = control(name);
    if (!w)
        return;
    if (capture && QWidget::mouseGrabber() != w)
        w->grabMouse();
    else if (!capture && QWidget::mouseGrabber() == w)
        w->releaseMouse();
}

} // namespace vantoli::shell
