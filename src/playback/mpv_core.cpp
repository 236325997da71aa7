#include "playback/mpv_core.h"

#include "playback/video_widget.h"

#include <QImage>

#include <algorithm>
#include <clocale>

namespace vantoli {
namespace {

// Reply id of loadfile commands: a load mpv refuses outright starts nothing.
constexpr uint64_t kLoadReply = 1;

} // namespace

MpvEngineHandle startMpv(const MpvStartOptions &options) {
    const MpvApi *api = options.api;
    if (!api)
        return {};
    // mpv refuses to start unless numbers are formatted the C way; Qt sets the
    // user's locale when the application object is made.
    std::setlocale(LC_NUMERIC, "C");
    mpv_handle *mpv = api->create();
    if (!mpv)
        return {};
    auto set = [&](const char *name, const QString &value) {
        api->set_option_string(mpv, name, value.toUtf8().constData());
    };
    set("config", QStringLiteral("no")); // no user configuration files
    set("terminal", QStringLiteral("no"));
    set("input-default-bindings", QStringLiteral("no"));
    set("osc", QStringLiteral("no"));
    set("ytdl", QStringLiteral("no")); // addresses go to the stream layer as given
    // A playlist names only files and network addresses, never the engine's
    // own protocols (which can run filters that write files).
    set("load-unsafe-playlists", QStringLiteral("no"));
    set("load-scripts", QStringLiteral("no"));
    set("audio-client-name", options.clientName);
    set("idle", QStringLiteral("yes"));      // stay alive with nothing loaded
    set("keep-open", QStringLiteral("yes")); // keep the last frame and position at the end
    set("force-window", QStringLiteral("no"));
    set("vo", options.videoOutput);
    if (!options.audioOutput.isEmpty())
        set("ao", options.audioOutput);
    set("network-timeout", QString::number(options.networkTimeout));
    // Frames are handed over when they are due instead of early with a wait
    // inside the render call, which would hold the UI thread for most of
    // every frame period.
    set("video-timing-offset", QStringLiteral("0"));
    // A network item is read at most a minute ahead (48 MiB at most) and
    // keeps 16 MiB behind: the engine's own limits (150 MiB ahead, 50 MiB
    // behind) held up to 200 MiB of a long film in memory, which the
    // transfer program keeps on disk anyway, and read far ahead of the
    // viewer's pace that the transfer program fetches for.
    set("cache-secs", QStringLiteral("60"));
    set("demuxer-max-bytes", QStringLiteral("48MiB"));
    set("demuxer-max-back-bytes", QStringLiteral("16MiB"));
    for (const auto &[name, value] : options.options)
        set(name.toUtf8().constData(), value);
    if (api->initialize(mpv) < 0) {
        api->terminate_destroy(mpv);
        return {};
    }
    MpvEngineHandle engine;
    engine.api = api;
    engine.mpv = mpv;
    if (options.videoOutput == u"libmpv") {
        // Must exist before a video starts, or mpv turns the video off.
        const char *type = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(type)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (api->render_context_create(&engine.render, mpv, params) < 0)
            engine.render = nullptr;
    }
    for (const MpvObserved &o : options.observed)
        api->observe_property(mpv, o.id, o.name, o.format);
    return engine;
}

bool loadMpvItem(MpvEngineHandle &engine, const QString &address, bool networkItem) {
    if (!engine || !mpvLoadFile(engine.api, engine.mpv, address, networkItem, kLoadReply))
        return false;
    ++engine.pendingLoads;
    return true;
}

void endMpv(MpvEngineHandle &engine) {
    if (engine)
        destroyMpv(engine.api, engine.mpv, engine.render);
    engine = {};
}

MpvCore::MpvCore(MpvEngineHandle engine, MpvEvents &owner, QObject *parent)
    : QObject(parent), api_(engine.api), mpv_(engine.mpv), render_(engine.render), owner_(owner),
      pendingLoads_(engine.pendingLoads) {
    if (!mpv_)
        return;
    if (render_)
        api_->render_context_set_update_callback(render_, &MpvCore::onRenderUpdate, this);
    api_->set_wakeup_callback(mpv_, &MpvCore::onWakeup, this);
    // Whatever happened before the callbacks were in place is picked up now.
    QMetaObject::invokeMethod(this, &MpvCore::drainEvents, Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, [this] { renderFrame(true); }, Qt::QueuedConnection);
}

MpvCore::~MpvCore() { end(); }

void MpvCore::end() {
    if (!mpv_)
        return;
    destroyMpv(api_, mpv_, render_);
    mpv_ = nullptr;
    render_ = nullptr;
}

// mpv calls these on its own threads: they only post a call to the UI thread,
// at most one of each kind at a time.
void MpvCore::onWakeup(void *self) {
    auto *core = static_cast<MpvCore *>(self);
    core->drainCall_.post(core, [core] { core->drainEvents(); });
}

void MpvCore::onRenderUpdate(void *self) {
    auto *core = static_cast<MpvCore *>(self);
    core->renderCall_.post(core, [core] { core->renderFrame(true); });
}

bool MpvCore::load(const QString &address, bool networkItem) {
    if (!mpv_ || !mpvLoadFile(api_, mpv_, address, networkItem, kLoadReply))
        return false;
    ++pendingLoads_;
    return true;
}

void MpvCore::command(std::initializer_list<const char *> args) {
    if (mpv_)
        mpvCommand(api_, mpv_, args);
}

void MpvCore::setFlag(const char *name, bool value) {
    int flag = value ? 1 : 0;
    if (mpv_)
        api_->set_property_async(mpv_, 0, name, MPV_FORMAT_FLAG, &flag);
}

void MpvCore::setString(const char *name, const QString &value) {
    const QByteArray utf8 = value.toUtf8();
    const char *data = utf8.constData();
    if (mpv_)
        api_->set_property_async(mpv_, 0, name, MPV_FORMAT_STRING, &data);
}

void MpvCore::setDouble(const char *name, double value) {
    if (mpv_)
        api_->set_property_async(mpv_, 0, name, MPV_FORMAT_DOUBLE, &value);
}

void MpvCore::drawInto(WId window) {
    int64_t wid = int64_t(window);
    if (mpv_)
        api_->set_property_async(mpv_, 0, "wid", MPV_FORMAT_INT64, &wid);
}

void MpvCore::drainEvents() {
    drainCall_.taken();
    bool any = false;
    while (mpv_) {
        mpv_event *event = api_->wait_event(mpv_, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        any = true;
        switch (event->event_id) {
        case MPV_EVENT_START_FILE:
            pendingLoads_ = std::max(0, pendingLoads_ - 1);
            currentEntry_ = static_cast<mpv_event_start_file *>(event->data)->playlist_entry_id;
            break;
        case MPV_EVENT_FILE_LOADED:
            owner_.mpvFileLoaded();
            break;
        case MPV_EVENT_PLAYBACK_RESTART:
            owner_.mpvPlaybackRestarted();
            break;
        case MPV_EVENT_END_FILE: {
            const auto *end = static_cast<mpv_event_end_file *>(event->data);
            owner_.mpvFileEnded(*end, end->playlist_entry_id == currentEntry_);
            break;
        }
        case MPV_EVENT_COMMAND_REPLY:
            if (event->reply_userdata == kLoadReply && event->error < 0 && pendingLoads_ > 0) {
                if (--pendingLoads_ == 0)
                    owner_.mpvLoadRefused();
            }
            break;
        case MPV_EVENT_PROPERTY_CHANGE:
            owner_.mpvPropertyChanged(event->reply_userdata, *static_cast<mpv_event_property *>(event->data));
            break;
        case MPV_EVENT_SHUTDOWN:
            owner_.mpvShutDown();
            break;
        default:
            break;
        }
    }
    if (any)
        owner_.mpvEventsHandled();
}

// --- video -----------------------------------------------------------------

void MpvCore::setSurface(VideoWidget *surface) {
    if (surface_)
        surface_->disconnect(this);
    surface_ = surface;
    if (surface && render_)
        connect(surface, &VideoWidget::resized, this, [this] { renderFrame(false); });
    renderFrame(false);
}

VideoWidget *MpvCore::surface() const {
    return surface_.data();
}

void MpvCore::renderFrame(bool newFrameOnly) {
    renderCall_.taken();
    if (!render_)
        return;
    // Asking for the update flags also tells mpv we consumed the callback.
    const uint64_t flags = api_->render_context_update(render_);
    const bool newFrame = flags & MPV_RENDER_UPDATE_FRAME;
    if (newFrameOnly && !newFrame)
        return;
    VideoWidget *surface = surface_.data();
    QImage scratch;
    QImage &image = surface ? surface->frame() : scratch;
    // mpv waits for its frames to be taken; render even with nowhere to show them.
    const QSize size = surface ? surface->deviceSize().expandedTo({1, 1}) : QSize(16, 16);
    if (image.size() != size)
        image = QImage(size, QImage::Format_RGB32);
    int wh[2] = {size.width(), size.height()};
    size_t stride = size_t(image.bytesPerLine());
    const char *format = "bgr0"; // Format_RGB32 in memory on little-endian machines
    int block = 0; // never wait in here for the frame's display time (UI thread)
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
            emit frameShown();
    }
}

} // namespace vantoli
