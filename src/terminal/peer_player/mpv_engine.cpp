#include "terminal/peer_player/mpv_engine.h"

#include "playback/video_widget.h"

#include <QImage>

#include <algorithm>
#include <clocale>
#include <vector>

namespace vantoli::peer {
namespace {

enum Observed : uint64_t { kTimePos = 1, kDuration, kPause, kEofReached };
constexpr uint64_t kLoadReply = 1;

double number(const mpv_event_property &p) {
    if (p.format == MPV_FORMAT_DOUBLE)
        return *static_cast<double *>(p.data);
    return 0;
}

bool flag(const mpv_event_property &p) {
    return p.format == MPV_FORMAT_FLAG && *static_cast<int *>(p.data) != 0;
}

EngineError errorOf(int code) {
    switch (code) {
    case MPV_ERROR_LOADING_FAILED:
        return EngineError::CannotOpen;
    case MPV_ERROR_UNKNOWN_FORMAT:
        return EngineError::NotMedia;
    case MPV_ERROR_NOTHING_TO_PLAY:
        return EngineError::NothingToPlay;
    default:
        return EngineError::Other;
    }
}

} // namespace

PreparedMpv prepareMpv(const MpvSetup &setup) {
    PreparedMpv out;
    out.api = setup.library.isEmpty() ? nullptr : loadMpvLibrary(setup.library);
    if (!out.api)
        out.api = loadMpvLibrary(kMpvLibraryName);
    if (!out.api) {
        out.failure = QStringLiteral("播放器组件无法加载（%1）").arg(kMpvLibraryName);
        return out;
    }
    // mpv refuses to start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    const MpvApi *api = out.api;
    mpv_handle *mpv = api->create();
    if (!mpv) {
        out.failure = QStringLiteral("播放器组件无法启动");
        return out;
    }
    auto set = [&](const char *name, const QString &value) {
        api->set_option_string(mpv, name, value.toUtf8().constData());
    };
    set("config", QStringLiteral("no"));
    set("terminal", QStringLiteral("no"));
    set("input-default-bindings", QStringLiteral("no"));
    set("input-vo-keyboard", QStringLiteral("no"));
    set("osc", QStringLiteral("no"));
    set("ytdl", QStringLiteral("no"));
    set("load-unsafe-playlists", QStringLiteral("no")); // playlists name files and network addresses only
    set("load-scripts", QStringLiteral("no"));
    set("audio-client-name", QStringLiteral("PeerPlayer"));
    set("idle", QStringLiteral("yes"));
    set("keep-open", QStringLiteral("yes"));     // hold the last frame at the end
    set("force-window", QStringLiteral("no"));
    set("hwdec", QStringLiteral("no"));
    set("vo", setup.videoOutput);
    if (!setup.audioOutput.isEmpty())
        set("ao", setup.audioOutput);
    set("audio-fallback-to-null", QStringLiteral("yes")); // no sound device still shows the video
    set("network-timeout", QStringLiteral("20"));
    // Frames are handed over when due instead of early with a wait inside the
    // render call, which would hold the UI thread.
    set("video-timing-offset", QStringLiteral("0"));
    if (api->initialize(mpv) < 0) {
        api->terminate_destroy(mpv);
        out.failure = QStringLiteral("播放器组件无法启动");
        return out;
    }
    if (setup.videoOutput == u"libmpv") {
        // Must exist before a video starts, or mpv turns the video off.
        const char *type = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(type)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (api->render_context_create(&out.render, mpv, params) < 0)
            out.render = nullptr;
    }
    out.mpv = mpv;
    api->observe_property(mpv, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    api->observe_property(mpv, kDuration, "duration", MPV_FORMAT_DOUBLE);
    api->observe_property(mpv, kPause, "pause", MPV_FORMAT_FLAG);
    api->observe_property(mpv, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
    if (!setup.preload.isEmpty()) {
        if (mpvLoadFile(api, mpv, setup.preload, !setup.preload.startsWith(u'/'), kLoadReply))
            out.preloaded = setup.preload;
    }
    return out;
}

void releasePrepared(PreparedMpv &prepared) {
    if (prepared.render)
        prepared.api->render_context_free(prepared.render);
    if (prepared.mpv)
        prepared.api->terminate_destroy(prepared.mpv);
    prepared = {};
}

MpvEngine::MpvEngine(PreparedMpv prepared, QObject *parent)
    : QObject(parent), api_(prepared.api), mpv_(prepared.mpv), render_(prepared.render),
      preloaded_(prepared.preloaded) {
    if (!preloaded_.isEmpty())
        pendingLoads_ = 1;
    if (render_)
        api_->render_context_set_update_callback(render_, &MpvEngine::onRenderUpdate, this);
    api_->set_wakeup_callback(mpv_, &MpvEngine::onWakeup, this);
    // Whatever happened before the callbacks were in place is picked up now.
    QMetaObject::invokeMethod(this, &MpvEngine::drainEvents, Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, [this] { renderFrame(true); }, Qt::QueuedConnection);
}

MpvEngine::~MpvEngine() { destroyMpv(api_, mpv_, render_); }

// mpv calls these on its own threads: they only post a call to the UI thread,
// at most one of each kind at a time.
void MpvEngine::onWakeup(void *self) {
    auto *engine = static_cast<MpvEngine *>(self);
    engine->drainCall_.post(engine, [engine] { engine->drainEvents(); });
}

void MpvEngine::onRenderUpdate(void *self) {
    auto *engine = static_cast<MpvEngine *>(self);
    engine->renderCall_.post(engine, [engine] { engine->renderFrame(true); });
}

void MpvEngine::command(std::initializer_list<const char *> args, uint64_t replyId) {
    mpvCommand(api_, mpv_, args, replyId);
}

void MpvEngine::open(const QString &address) {
    started_ = false;
    position_ = 0;
    duration_ = 0;
    if (!preloaded_.isEmpty() && preloaded_ == address) {
        preloaded_.clear(); // already on its way since start-up
        return;
    }
    preloaded_.clear();
    int off = 0;
    api_->set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &off);
    mpvLoadFile(api_, mpv_, address, !address.startsWith(u'/'), kLoadReply);
    ++pendingLoads_;
}

void MpvEngine::dropPreload() {
    if (preloaded_.isEmpty())
        return;
    preloaded_.clear();
    command({"stop"});
}

void MpvEngine::setPaused(bool paused) {
    int value = paused ? 1 : 0;
    api_->set_property_async(mpv_, 0, "pause", MPV_FORMAT_FLAG, &value);
}

void MpvEngine::stop() {
    preloaded_.clear();
    command({"stop"});
    started_ = false;
}

void MpvEngine::seek(double seconds) {
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    command({"seek", target.constData(), "absolute"});
}

void MpvEngine::setVolume(int volume) {
    double value = volume;
    api_->set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &value);
}

void MpvEngine::drainEvents() {
    drainCall_.taken();
    for (;;) {
        mpv_event *event = api_->wait_event(mpv_, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        switch (event->event_id) {
        case MPV_EVENT_START_FILE:
            pendingLoads_ = std::max(0, pendingLoads_ - 1);
            currentEntry_ = static_cast<mpv_event_start_file *>(event->data)->playlist_entry_id;
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            // The first restart of an item is its start; later ones follow seeks.
            if (pendingLoads_ == 0 && !started_) {
                started_ = true;
                if (listener_)
                    listener_->engineStarted(duration_);
            }
            break;
        case MPV_EVENT_END_FILE: {
            const auto *end = static_cast<mpv_event_end_file *>(event->data);
            if (end->playlist_entry_id != currentEntry_ || pendingLoads_ > 0)
                break; // an item already replaced
            started_ = false;
            if (!listener_)
                break;
            if (end->reason == MPV_END_FILE_REASON_ERROR)
                listener_->engineFailed(errorOf(end->error));
            else if (end->reason == MPV_END_FILE_REASON_EOF)
                listener_->engineFinished();
            else
                listener_->engineClosed();
            break;
        }
        case MPV_EVENT_COMMAND_REPLY:
            // A load mpv refused outright never starts.
            if (event->reply_userdata == kLoadReply && event->error < 0 && pendingLoads_ > 0) {
                if (--pendingLoads_ == 0 && listener_)
                    listener_->engineFailed(EngineError::CannotOpen);
            }
            break;
        case MPV_EVENT_PROPERTY_CHANGE:
            if (pendingLoads_ == 0)
                handleProperty(event->reply_userdata, *static_cast<mpv_event_property *>(event->data));
            break;
        default:
            break;
        }
    }
}

void MpvEngine::handleProperty(uint64_t id, const mpv_event_property &p) {
    switch (id) {
    case kTimePos:
    case kDuration:
        (id == kTimePos ? position_ : duration_) = number(p);
        if (started_ && listener_)
            listener_->engineProgress(position_, duration_);
        break;
    case kPause:
        if (listener_)
            listener_->enginePaused(flag(p));
        break;
    case kEofReached:
        if (flag(p) && started_ && listener_)
            listener_->engineFinished();
        break;
    default:
        break;
    }
}

void MpvEngine::setSurface(VideoWidget *surface) {
    if (surface_)
        surface_->disconnect(this);
    surface_ = surface;
    if (surface)
        connect(surface, &VideoWidget::resized, this, [this] { renderFrame(false); });
    renderFrame(false);
}

void MpvEngine::renderFrame(bool newFrameOnly) {
    renderCall_.taken();
    if (!render_)
        return;
    // Asking for the flags also tells mpv the callback was seen.
    const uint64_t flags = api_->render_context_update(render_);
    const bool newFrame = flags & MPV_RENDER_UPDATE_FRAME;
    if (newFrameOnly && !newFrame)
        return;
    VideoWidget *surface = surface_.data();
    QImage scratch;
    QImage &image = surface ? surface->frame() : scratch;
    // mpv waits for its frames to be taken: render even with nowhere to show them.
    const QSize size = surface ? surface->deviceSize().expandedTo({1, 1}) : QSize(16, 16);
    if (image.size() != size)
        image = QImage(size, QImage::Format_RGB32);
    int wh[2] = {size.width(), size.height()};
    size_t stride = size_t(image.bytesPerLine());
    const char *format = "bgr0"; // Format_RGB32 in memory on little-endian machines
    int block = 0;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, wh},
        {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char *>(format)},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, image.bits()},
        {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &block},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    api_->render_context_render(render_, params);
    frameSeen_ = frameSeen_ || newFrame;
    if (surface) {
        surface->update();
        // A frame that arrived before the surface existed counts once it is in it.
        if (frameSeen_)
            emit frameRendered();
    }
}

} // namespace vantoli::peer
