#include "controls/playback_module.h"

#include "app/text_util.h"
#include "controls/key_preview.h"
#include "controls/keyboard.h"
#include "controls/player_menu.h"
#include "controls/seek_volume.h"
#include "controls/transport.h"
#include "platform/http_get.h"
#include "platform/power.h"
#include "playback/mpv_player.h"
#include "playback/null_player.h"
#include "playback/playback_controller.h"
#include "playback/player_factory.h"
#include "shell/window_input.h"

#include <QLocale>
#include <QTime>

namespace vantoli {

PlaybackModule::PlaybackModule(const PlaybackModuleServices &s) {
    lookups_ = s.lookups;
    if (!lookups_) {
        ownLookups_ = makeAsyncHttpGet();
        lookups_ = ownLookups_.get();
    }
    Power *power = s.power;
    if (!power) {
        ownPower_ = makePower();
        power = ownPower_.get();
    }
    if (s.playerFactory)
        player_ = s.playerFactory->create(s.videoHost, s.programFolder, s.contentBase);
    if (!player_)
        player_ = std::make_unique<NullPlayer>();

    PlaybackServices services;
    services.session = s.session;
    services.player = player_.get();
    services.view = s.view;
    services.transport = this;
    services.lookups = lookups_;
    services.power = power;
    services.history = s.history;
    services.settings = s.settings;
    services.contentBase = s.contentBase;
    // The time of day in the user's long time format, without a time zone.
    services.clock = [] { return clockText(QLocale::system(), QTime::currentTime()); };
    controller_ = std::make_unique<PlaybackController>(services);
    PlaybackSession &session = controller_->session();
    transport_ = std::make_unique<controls::Transport>(*player_, session, *s.view, *controller_, *s.history,
                                                       controller_->positions(), *s.dialogs, controller_->playArea(),
                                                       controller_->continuation());
    if (auto *mpv = dynamic_cast<MpvPlayer *>(player_.get())) {
        mpv->setFullScreenStage(s.fullScreen);
        connect(mpv, &MpvPlayer::changed, controller_.get(), &PlaybackController::playerChanged);
        // Queued: the message for a file the player cannot open never shows
        // inside the player's own event handling.
        connect(mpv, &MpvPlayer::changed, this, [this] { transport_->playerChanged(); }, Qt::QueuedConnection);
    }
    bars_ = std::make_unique<controls::SeekVolumeBars>(*player_, *s.view, *this, session);
    keys_ = std::make_unique<controls::Keyboard>(*player_, session.state(), *s.view, *controller_, *this, *bars_);
    menu_ = std::make_unique<controls::PlayerMenu>(*player_, *this, session);
    keyPreview_ = std::make_unique<controls::KeyPreview>(*s.window, *keys_);
    player_->setAdUrl(s.contentBase + QStringLiteral("js/ads/peerad.html"));
}

PlaybackModule::~PlaybackModule() {
    keyPreview_.reset();
    // The controllers go before the player they poll.
    menu_.reset();
    keys_.reset();
    bars_.reset();
    transport_.reset();
    controller_.reset();
}

void PlaybackModule::connectInput(shell::WindowInput &input) {
    connect(&input, &shell::WindowInput::transportMouse, this, &PlaybackModule::transportMouse);
    connect(&input, &shell::WindowInput::barMouse, this, &PlaybackModule::barMouse);
    connect(&input, &shell::WindowInput::videoDoubleClicked, this, [this] { bo_but_Click(3); });
    connect(&input, &shell::WindowInput::pauseAdvertisementClicked, this, [this] { bo_but_Click(0); });
    connect(&input, &shell::WindowInput::closeWebPlaybackClicked, this,
            [this] { controller_->playArea().closeWebPlayback(); });
    connect(&input, &shell::WindowInput::closeTvChannelClicked, this, [this] { controller_->playArea().closeTvChannel(); });
    connect(&input, &shell::WindowInput::playerMenuAsked, this, [this](const QPoint &pos, bool onlyWhileLoaded) {
        if (popupPlayerMenu_ && (!onlyWhileLoaded || !player_->Url().isEmpty()))
            popupPlayerMenu_(pos);
    });
}

void PlaybackModule::bo_but_Click(int index) { transport_->bo_but_Click(index); }

void PlaybackModule::l_com(const QString &commandLine) { transport_->playCommandLine(commandLine); }

void PlaybackModule::whenPictureShown(std::function<void()> done) {
    auto *mpv = dynamic_cast<MpvPlayer *>(player_.get());
    if (!mpv) {
        done();
        return;
    }
    // The connections end with the first call.
    auto *waiting = new QObject(this);
    auto fire = [mpv, waiting, done = std::move(done)] {
        QObject::disconnect(mpv, nullptr, waiting, nullptr);
        waiting->deleteLater();
        done();
    };
    connect(mpv, &MpvPlayer::pictureShown, waiting, fire);
    connect(mpv, &MpvPlayer::changed, waiting, [this, fire] {
        const int state = player_->PlayState();
        if (state == kStateIdle || state == kStateStopped || state == kStateFinished)
            fire();
    });
}

void PlaybackModule::stopKeyPreview() { keyPreview_.reset(); }

void PlaybackModule::refreshFaces() { transport_->refreshFaces(); }

void PlaybackModule::transportMouse(int button, const shell::ControlMouse &m) {
    switch (m.type) {
    case QEvent::MouseMove:
    case QEvent::Leave:
        transport_->mouseMove(button, m.pos);
        break;
    case QEvent::MouseButtonPress:
        transport_->mousePress(button, m.button);
        break;
    case QEvent::MouseButtonRelease:
        transport_->mouseRelease(button, m.button);
        if (m.click)
            bo_but_Click(button);
        // The capture of the hover ends with the pointer outside.
        transport_->mouseMove(button, m.pos);
        break;
    default:
        break;
    }
}

void PlaybackModule::barMouse(Part part, const shell::ControlMouse &m) {
    const int x = m.pos.x();
    switch (m.type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        bars_->press(part, m.button, x);
        break;
    case QEvent::MouseMove:
        bars_->move(part, m.buttons, x);
        break;
    case QEvent::MouseButtonRelease:
        bars_->release(part, x);
        break;
    default:
        break;
    }
}

} // namespace vantoli
