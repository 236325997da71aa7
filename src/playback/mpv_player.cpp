#include "playback/mpv_player.h"

#include "playback/play_address.h"
#include "playback/prebuffer_cache.h"
#include "playback/terminal_client.h"
#include "playback/video_widget.h"

#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QBoxLayout>
#include <QScreen>
#include <QStandardPaths>

#include <malloc.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace vantoli {
namespace {

// Observed properties, by reply id.
enum Observed : uint64_t {
    kTimePos = 1,
    kDuration,
    kPause,
    kPausedForCache,
    kEofReached,
    kCacheState,
    kCacheSpeed,
    kVideoBitrate,
    kAudioBitrate,
    kFileSize,
    kVolume,
    kMute,
    kIdleActive,
};

// Reply id of loadfile commands: a load mpv refuses outright starts nothing.
constexpr uint64_t kLoadReply = 1;

bool isNetworkAddress(const QString &address) {
    const qsizetype colon = address.indexOf(u"://");
    if (colon <= 0)
        return false;
    return address.left(colon).compare(u"file", Qt::CaseInsensitive) != 0;
}

double doubleValue(const mpv_event_property &p) {
    if (p.format == MPV_FORMAT_DOUBLE)
        return *static_cast<double *>(p.data);
    if (p.format == MPV_FORMAT_INT64)
        return double(*static_cast<int64_t *>(p.data));
    return 0;
}

bool flagValue(const mpv_event_property &p) {
    return p.format == MPV_FORMAT_FLAG && *static_cast<int *>(p.data) != 0;
}

const mpv_node *mapEntry(const mpv_node &map, const char *key) {
    if (map.format != MPV_FORMAT_NODE_MAP || !map.u.list)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i)
        if (std::strcmp(map.u.list->keys[i], key) == 0)
            return &map.u.list->values[i];
    return nullptr;
}

// Audio filter per SetAudioChannel argument; empty for none.
const char *channelFilter(int channel) {
    switch (channel) {
    case kChannelLeft:
        return "lavfi=[pan=stereo|c0=c0|c1=0*c1]";
    case kChannelRight:
        return "lavfi=[pan=stereo|c0=0*c0|c1=c1]";
    case kChannelLeftToBoth:
        return "lavfi=[pan=stereo|c0=c0|c1=c0]";
    case kChannelRightToBoth:
        return "lavfi=[pan=stereo|c0=c1|c1=c1]";
    default:
        return "";
    }
}

// Large blocks (an item's frames and packets) come straight from the system,
// so that freeing them gives them back. glibc would otherwise raise this
// threshold each time such a block is freed and from then on keep them in
// its arenas, where the next item's blocks rarely fit the holes.
void mapLargeBlocks() {
#ifdef __GLIBC__
    static const bool done = mallopt(M_MMAP_THRESHOLD, 256 * 1024) != 0;
    (void)done;
#endif
}

int toThousandths(double part, double whole) {
    if (whole <= 0)
        return 0;
    return std::clamp(int(std::floor(part / whole * 1000.0)), 0, 1000);
}

// mpv makes its window inside the widget's when the first frame comes, but
// leaves it unmapped when the widget was hidden then (the window covers the
// video until an item plays): map it whenever the widget is shown.
void mapEngineWindows(QWidget *widget) {
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection() || !widget->internalWinId())
        return;
    xcb_connection_t *c = x11->connection();
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, xcb_window_t(widget->internalWinId())), nullptr);
    if (!tree)
        return;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
        xcb_map_window(c, children[i]);
    std::free(tree);
    xcb_flush(c);
}

} // namespace

QString defaultPlayerCacheFolder(const QString &programFolder) {
    if (!programFolder.isEmpty())
        return programFolder + QStringLiteral("/cache");
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/player");
}

std::unique_ptr<MpvPlayer> MpvPlayer::create(const MpvPlayerOptions &options, QObject *parent) {
    const MpvApi *api = loadMpv();
    if (!api)
        return nullptr;
    mapLargeBlocks();
    // mpv refuses to start unless numbers are formatted the C way; Qt sets the
    // user's locale when the application object is made.
    std::setlocale(LC_NUMERIC, "C");
    mpv_handle *mpv = api->create();
    if (!mpv)
        return nullptr;
    auto set = [&](const char *name, const QString &value) {
        api->set_option_string(mpv, name, value.toUtf8().constData());
    };
    set("config", QStringLiteral("no"));           // no user configuration files
    set("terminal", QStringLiteral("no"));
    set("input-default-bindings", QStringLiteral("no"));
    set("osc", QStringLiteral("no"));
    set("ytdl", QStringLiteral("no"));             // addresses go to the stream layer as given
    // A playlist names only files and network addresses, never the engine's
    // own protocols (which can run filters that write files).
    set("load-unsafe-playlists", QStringLiteral("no"));
    set("load-scripts", QStringLiteral("no"));
    set("audio-client-name", QStringLiteral("vantoli"));
    set("idle", QStringLiteral("yes"));            // stay alive with nothing loaded
    set("keep-open", QStringLiteral("yes"));        // keep the last frame and position at the end
    set("force-window", QStringLiteral("no"));
    if (options.videoOutput == u"window") {
        // Xv where the X server offers it (scaled by the hardware), else
        // plain X11 with mpv's own scaling. Mouse and keys stay with the
        // window: mpv selects no input on its window, so X passes the
        // events on to the widget it is embedded in.
        set("vo", QStringLiteral("xv,x11"));
        set("input-cursor", QStringLiteral("no"));
        set("input-vo-keyboard", QStringLiteral("no"));
        set("cursor-autohide", QStringLiteral("no"));
    } else {
        set("vo", options.videoOutput);
    }
    if (!options.audioOutput.isEmpty())
        set("ao", options.audioOutput);
    set("network-timeout", QString::number(options.networkTimeout));
    // An https address plays only from a server whose certificate verifies
    // for its host; the engine's default accepts any. SSL_CERT_FILE names
    // other authorities instead of the system's, as for the program's fetches.
    set("tls-verify", QStringLiteral("yes"));
    if (const QString authorities = qEnvironmentVariable("SSL_CERT_FILE"); !authorities.isEmpty())
        set("tls-ca-file", authorities);
    set("hr-seek", QStringLiteral("yes"));
    set("hwdec", QStringLiteral("auto-safe"));      // hardware decoding where it is known to work, else software
    // Frames are handed over when they are due instead of early with a wait
    // inside the render call, which would hold the UI thread for most of
    // every frame period.
    set("video-timing-offset", QStringLiteral("0"));
    for (const auto &[name, value] : options.extraOptions)
        set(name.toUtf8().constData(), value);
    if (api->initialize(mpv) < 0) {
        api->terminate_destroy(mpv);
        return nullptr;
    }
    return std::unique_ptr<MpvPlayer>(new MpvPlayer(api, mpv, options, parent));
}

void releaseFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

MpvPlayer::MpvPlayer(const MpvApi *api, mpv_handle *handle, const MpvPlayerOptions &options, QObject *parent)
    : QObject(parent), api_(api), mpv_(handle), itemReleased_(options.itemReleased) {
    const QString folder = options.cacheFolder.isEmpty() ? defaultPlayerCacheFolder({}) : options.cacheFolder;
    prebuffer_ = std::make_unique<PrebufferCache>(folder, options.prebufferBytes, options.prebufferKeep);
    prebuffer_->registerProtocol(api_, mpv_);
    contentBase_ = options.contentBase;
    if (options.useTerminal) {
        terminal_ = std::make_unique<TerminalClient>(options.terminalPortFile);
        terminal_->setContentBase(contentBase_);
        connect(terminal_.get(), &TerminalClient::statusChanged, this, &MpvPlayer::changed);
    }

    api_->observe_property(mpv_, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    api_->observe_property(mpv_, kDuration, "duration", MPV_FORMAT_DOUBLE);
    api_->observe_property(mpv_, kPause, "pause", MPV_FORMAT_FLAG);
    api_->observe_property(mpv_, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    api_->observe_property(mpv_, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
    api_->observe_property(mpv_, kCacheState, "demuxer-cache-state", MPV_FORMAT_NODE);
    api_->observe_property(mpv_, kCacheSpeed, "cache-speed", MPV_FORMAT_INT64);
    api_->observe_property(mpv_, kVideoBitrate, "video-bitrate", MPV_FORMAT_DOUBLE);
    api_->observe_property(mpv_, kAudioBitrate, "audio-bitrate", MPV_FORMAT_DOUBLE);
    api_->observe_property(mpv_, kFileSize, "file-size", MPV_FORMAT_INT64);
    api_->observe_property(mpv_, kVolume, "volume", MPV_FORMAT_DOUBLE);
    api_->observe_property(mpv_, kMute, "mute", MPV_FORMAT_FLAG);
    api_->observe_property(mpv_, kIdleActive, "idle-active", MPV_FORMAT_FLAG);

    nativeWindow_ = options.videoOutput == u"window";
    if (options.videoOutput == u"libmpv") {
        const char *apiType = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(apiType)},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (api_->render_context_create(&render_, mpv_, params) < 0)
            render_ = nullptr;
        else
            api_->render_context_set_update_callback(render_, &MpvPlayer::onRenderUpdate, this);
    }
    api_->set_wakeup_callback(mpv_, &MpvPlayer::onWakeup, this);
}

MpvPlayer::~MpvPlayer() { releaseEngine(); }

void MpvPlayer::releaseEngine() {
    if (!mpv_)
        return;
    destroyMpv(api_, mpv_, render_);
    mpv_ = nullptr;
    render_ = nullptr;
}

// libmpv draws into a window of its own inside the video widget's, over a
// connection of its own. Once the widget's window is gone (the main window
// closed at exit destroys it), libmpv's next requests fail, and the failures
// that arrive while it closes its connection reach Xlib's default handler,
// which ends the whole process from libmpv's thread. So the engine ends
// before the window does.
bool MpvPlayer::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
        releaseEngine();
    return QObject::eventFilter(watched, event);
}

// mpv calls these on its own threads: they only post a call to the UI thread,
// at most one of each kind at a time.
void MpvPlayer::onWakeup(void *self) {
    auto *player = static_cast<MpvPlayer *>(self);
    player->drainCall_.post(player, [player] { player->drainEvents(); });
}

void MpvPlayer::onRenderUpdate(void *self) {
    auto *player = static_cast<MpvPlayer *>(self);
    player->renderCall_.post(player, [player] { player->renderFrame(true); });
}

void MpvPlayer::command(std::initializer_list<const char *> args, uint64_t replyId) {
    if (!mpv_)
        return;
    mpvCommand(api_, mpv_, args, replyId);
}

void MpvPlayer::setFlag(const char *name, bool value) {
    int flag = value ? 1 : 0;
    if (mpv_)
        api_->set_property_async(mpv_, 0, name, MPV_FORMAT_FLAG, &flag);
}

void MpvPlayer::setString(const char *name, const QString &value) {
    const QByteArray utf8 = value.toUtf8();
    const char *data = utf8.constData();
    if (mpv_)
        api_->set_property_async(mpv_, 0, name, MPV_FORMAT_STRING, &data);
}

void MpvPlayer::resetItemValues() {
    timePos_ = 0;
    duration_ = 0;
    cacheEnd_ = 0;
    eofCached_ = false;
    cacheSpeed_ = 0;
    videoBitrate_ = 0;
    audioBitrate_ = 0;
    fileSize_ = 0;
    prebufferedBytes_ = 0;
    pendingSeek_ = -1;
    fileOpen_ = false;
    timePosKnown_ = false;
    engine_.paused = false;
    engine_.pausedForCache = false;
    engine_.endReached = false;
}

void MpvPlayer::Play() {
    if (url_.isEmpty()) {
        // Nothing to play: whatever was open is closed.
        if (engine_.loaded || engine_.loading)
            Stop();
        return;
    }
    // Files and network addresses only: the engine's own protocols never
    // reach it, whoever set the address.
    if (!checkPlayAddress(url_, AddressOrigin::User).accepted()) {
        if (engine_.loaded || engine_.loading)
            Stop();
        openFailed_ = true;
        emit changed();
        return;
    }
    const bool sameItem = loadedUrl_ == url_ && (engine_.loaded || engine_.loading) && !engine_.stopping;
    if (sameItem) {
        if (engine_.endReached)
            command({"seek", "0", "absolute"}); // Play on a finished item starts it over
        setFlag("pause", false);
        engine_.paused = false;
        return;
    }

    resetItemValues();
    openFailed_ = false;
    loadedUrl_ = url_;
    QString address = url_;
    // Through the transfer program when it runs; from the network (and the
    // prebuffer) when it does not.
    const QString viaTerminal = terminal_ ? terminal_->playAddress(url_) : QString();
    viaTerminal_ = !viaTerminal.isEmpty();
    if (terminal_)
        terminal_->watch(viaTerminal_ ? url_ : QString());
    if (viaTerminal_) {
        address = viaTerminal;
    } else if (const auto source = prebuffer_->takeSource(url_)) {
        address = source->address;
        prebufferedBytes_ = source->prefixBytes;
        fileSize_ = source->totalBytes;
    } else {
        address = directAddress(url_);
    }
    const bool network = isNetworkAddress(url_);
    // mpv only caches streams it knows to be remote; ours from the prebuffer
    // count as remote too.
    setString("cache", network ? QStringLiteral("yes") : QStringLiteral("auto"));
    setFlag("pause", false);
    load(address);
    engine_.network = network && !address.startsWith(u'/');
    engine_.stopping = false;
    engine_.stoppedByUser = false;
    emit changed();
}

void MpvPlayer::load(const QString &address) {
    if (!mpv_)
        return;
    mpvLoadFile(api_, mpv_, address, !loadedUrl_.startsWith(u'/'), kLoadReply);
    ++pendingLoads_;
    engine_.loading = true;
}

void MpvPlayer::Pause() {
    if (!engine_.loaded && !engine_.loading)
        return;
    setFlag("pause", true);
    engine_.paused = true;
}

void MpvPlayer::Stop() {
    if (!engine_.loaded && !engine_.loading)
        return;
    command({"stop"});
    // A load not started yet is dropped by the stop; the engine reports idle.
    pendingLoads_ = 0;
    engine_.loading = false;
    engine_.stopping = true;
    engine_.stoppedByUser = true;
    emit changed();
}

int MpvPlayer::Position() const {
    return std::max(0, int(std::floor(timePos_)));
}

void MpvPlayer::setPosition(int seconds) {
    seconds = std::max(0, seconds);
    if (engine_.loading) {
        pendingSeek_ = seconds; // applied once the item is open
        return;
    }
    if (!engine_.loaded)
        return;
    const QByteArray target = QByteArray::number(seconds);
    command({"seek", target.constData(), "absolute"});
    // Read-back right after the put shows the target, as the caller expects.
    timePos_ = seconds;
    engine_.endReached = false;
}

int MpvPlayer::Duration() const {
    return std::max(0, int(std::floor(duration_)));
}

int MpvPlayer::DownloadSpeed() const {
    if (!engine_.network || (!engine_.loaded && !engine_.loading))
        return 0; // nothing is transferred for a local file
    if (viaTerminal_)
        return terminal_->speed();
    // KB/s, held to what a 16-bit caller can store.
    return int(std::clamp<qint64>(cacheSpeed_ / 1024, 0, 32767));
}

int MpvPlayer::BitRate() const {
    const double bits = videoBitrate_ + audioBitrate_;
    if (bits > 0)
        return int(std::lround(bits / 1000.0));
    if (fileSize_ > 0 && duration_ > 0)
        return int(std::lround(double(fileSize_) * 8.0 / duration_ / 1000.0));
    return 0;
}

int MpvPlayer::DownloadProgress() const {
    if (!engine_.loaded)
        return 0;
    if (viaTerminal_)
        return terminal_->progress();
    if (!engine_.network || eofCached_)
        return 1000;
    return std::max(toThousandths(cacheEnd_, duration_), toThousandths(double(prebufferedBytes_), double(fileSize_)));
}

void MpvPlayer::setVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
    double v = volume_;
    if (mpv_)
        api_->set_property_async(mpv_, 0, "volume", MPV_FORMAT_DOUBLE, &v);
}

void MpvPlayer::setMute(int mute) {
    mute_ = mute != 0;
    setFlag("mute", mute_);
}

void MpvPlayer::SetPictureMode(int mode) {
    const char *aspect = nullptr;
    switch (mode) {
    case kPictureStretch:
    case kPictureFit:
        aspect = "-1"; // the video's own
        break;
    case kPicture4x3:
        aspect = "4:3";
        break;
    case kPicture5x4:
        aspect = "5:4";
        break;
    case kPicture16x9:
        aspect = "16:9";
        break;
    default:
        return;
    }
    setFlag("keepaspect", mode != kPictureStretch);
    setString("video-aspect-override", QString::fromLatin1(aspect));
}

void MpvPlayer::SetAudioChannel(int channel) {
    switch (channel) {
    case kChannelMixed:
    case kChannelLeft:
    case kChannelRight:
    case kChannelLeftToBoth:
    case kChannelRightToBoth:
        setString("af", QString::fromLatin1(channelFilter(channel)));
        break;
    default:
        break;
    }
}

void MpvPlayer::Prebuffer(const QString &link) {
    if (link == loadedUrl_ && (engine_.loaded || engine_.loading))
        return;
    // A peer address is fetched ahead only by the transfer program.
    if ((!terminal_ || !terminal_->prefetch(link)) && !link.startsWith(QStringLiteral("peer://"), Qt::CaseInsensitive))
        prebuffer_->start(link);
}

QString MpvPlayer::directAddress(const QString &url) const {
    if (!url.startsWith(QStringLiteral("peer://"), Qt::CaseInsensitive))
        return url;
    const QString seed = fetchWebSeed(contentBase_, url);
    // Without one the engine refuses the address and the item fails to open.
    return seed.isEmpty() ? url : seed;
}

void MpvPlayer::setCacheFolder(const QString &folder) {
    prebuffer_->setFolder(folder);
}

QString MpvPlayer::cacheFolder() const {
    return prebuffer_->folder();
}

void MpvPlayer::drainEvents() {
    drainCall_.taken();
    bool any = false;
    while (mpv_) {
        mpv_event *event = api_->wait_event(mpv_, 0);
        if (!event || event->event_id == MPV_EVENT_NONE)
            break;
        any = true;
        switch (event->event_id) {
        case MPV_EVENT_START_FILE: {
            const auto *start = static_cast<mpv_event_start_file *>(event->data);
            pendingLoads_ = std::max(0, pendingLoads_ - 1);
            currentEntry_ = start->playlist_entry_id;
            break;
        }
        case MPV_EVENT_FILE_LOADED:
            // Open, but reported as playing only once its position (and with
            // it the length) is known: callers act on the first state 3.
            if (pendingLoads_ == 0) {
                fileOpen_ = true;
                markStartedIfReady();
            }
            break;
        case MPV_EVENT_END_FILE: {
            const auto *end = static_cast<mpv_event_end_file *>(event->data);
            // The engine has freed the item's demuxer and decoders by now.
            if (itemReleased_)
                itemReleased_();
            if (end->playlist_entry_id != currentEntry_)
                break; // an item already replaced
            if (viaTerminal_ && !fileOpen_ && pendingLoads_ == 0 && end->reason == MPV_END_FILE_REASON_ERROR) {
                // The transfer program could not serve it: play it directly.
                viaTerminal_ = false;
                terminal_->watch({});
                load(directAddress(loadedUrl_));
                break;
            }
            if (end->reason == MPV_END_FILE_REASON_ERROR && !fileOpen_ && pendingLoads_ == 0)
                openFailed_ = true;
            engine_.loaded = false;
            engine_.loading = pendingLoads_ > 0;
            if (!engine_.loading) {
                engine_.stopping = false;
                resetItemValues();
            }
            break;
        }
        case MPV_EVENT_COMMAND_REPLY:
            if (event->reply_userdata == kLoadReply && event->error < 0 && pendingLoads_ > 0) {
                if (--pendingLoads_ == 0) {
                    engine_.loading = false;
                    openFailed_ = true;
                }
            }
            break;
        case MPV_EVENT_PROPERTY_CHANGE:
            handlePropertyChange(event->reply_userdata, *static_cast<mpv_event_property *>(event->data));
            break;
        case MPV_EVENT_SHUTDOWN:
            engine_ = {};
            break;
        default:
            break;
        }
    }
    if (any)
        emit changed();
}

void MpvPlayer::markStartedIfReady() {
    if (!fileOpen_ || !timePosKnown_ || !engine_.loading || pendingLoads_ > 0)
        return;
    engine_.loading = false;
    engine_.loaded = true;
    if (pendingSeek_ >= 0) {
        const QByteArray target = QByteArray::number(pendingSeek_);
        command({"seek", target.constData(), "absolute"});
        timePos_ = pendingSeek_;
        pendingSeek_ = -1;
    }
}

void MpvPlayer::handlePropertyChange(uint64_t id, const mpv_event_property &p) {
    if (pendingLoads_ > 0 && id != kVolume && id != kMute && id != kPause)
        return; // values of the item being replaced, or an idle engine about to load
    switch (id) {
    case kTimePos:
        timePos_ = doubleValue(p);
        timePosKnown_ = p.format != MPV_FORMAT_NONE;
        markStartedIfReady();
        break;
    case kDuration:
        duration_ = doubleValue(p);
        break;
    case kPause:
        engine_.paused = flagValue(p);
        break;
    case kPausedForCache:
        engine_.pausedForCache = flagValue(p);
        break;
    case kEofReached:
        engine_.endReached = flagValue(p);
        break;
    case kCacheState:
        if (p.format == MPV_FORMAT_NODE) {
            const auto *node = static_cast<mpv_node *>(p.data);
            const mpv_node *end = mapEntry(*node, "cache-end");
            const mpv_node *eof = mapEntry(*node, "eof-cached");
            cacheEnd_ = end && end->format == MPV_FORMAT_DOUBLE ? end->u.double_ : 0;
            eofCached_ = eof && eof->format == MPV_FORMAT_FLAG && eof->u.flag;
        } else {
            cacheEnd_ = 0;
            eofCached_ = false;
        }
        break;
    case kCacheSpeed:
        cacheSpeed_ = p.format == MPV_FORMAT_INT64 ? *static_cast<int64_t *>(p.data) : 0;
        break;
    case kVideoBitrate:
        videoBitrate_ = doubleValue(p);
        break;
    case kAudioBitrate:
        audioBitrate_ = doubleValue(p);
        break;
    case kFileSize:
        if (p.format == MPV_FORMAT_INT64)
            fileSize_ = *static_cast<int64_t *>(p.data);
        break;
    case kVolume:
        if (p.format == MPV_FORMAT_DOUBLE)
            volume_ = std::clamp(int(std::lround(doubleValue(p))), 0, 100);
        break;
    case kMute:
        mute_ = flagValue(p);
        break;
    case kIdleActive:
        // With nothing open the engine is idle; a stop has ended.
        if (flagValue(p)) {
            engine_.loading = false;
            engine_.loaded = false;
            engine_.stopping = false;
        }
        break;
    default:
        break;
    }
}

// --- video -----------------------------------------------------------------

void MpvPlayer::attachVideoWidget(VideoWidget *widget) {
    if (embedded_)
        embedded_->disconnect(this);
    embedded_ = widget;
    if (!widget)
        return;
    if (nativeWindow_) {
        // One native window: not its ancestors, not their other children.
        QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
        widget->setAttribute(Qt::WA_DontCreateNativeAncestors);
        widget->setAttribute(Qt::WA_NativeWindow);
        // mpv makes its window inside this one and follows its size.
        int64_t wid = int64_t(widget->winId());
        api_->set_property_async(mpv_, 0, "wid", MPV_FORMAT_INT64, &wid);
        if (QWindow *window = widget->windowHandle())
            window->installEventFilter(this);
        connect(widget, &VideoWidget::shown, this, [widget] { mapEngineWindows(widget); });
        connect(widget, &VideoWidget::escapePressed, this, [this] { setFullScreen(kPlayerFalse); });
        connect(widget, &VideoWidget::doubleClicked, this, [this] {
            if (isFullScreen())
                setFullScreen(kPlayerFalse);
        });
        return;
    }
    connect(widget, &VideoWidget::resized, this, [this] { renderFrame(false); });
    renderFrame(false);
}

VideoWidget *MpvPlayer::activeSurface() const {
    if (fullScreenWindow_)
        return fullScreenWindow_.get();
    return embedded_.data();
}

void MpvPlayer::renderFrame(bool newFrameOnly) {
    renderCall_.taken();
    if (!render_)
        return;
    // Asking for the update flags also tells mpv we consumed the callback.
    const uint64_t flags = api_->render_context_update(render_);
    if (newFrameOnly && !(flags & MPV_RENDER_UPDATE_FRAME))
        return;
    VideoWidget *surface = activeSurface();
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
    if (surface)
        surface->update();
}

void MpvPlayer::setFullScreen(int fullScreen) {
    const bool on = fullScreen != 0;
    if (on == isFullScreen() || (on && !embedded_))
        return;
    if (nativeWindow_) {
        setNativeFullScreen(on);
        return;
    }
    if (on) {
        fullScreenWindow_ = std::make_unique<VideoWidget>();
        VideoWidget *window = fullScreenWindow_.get();
        window->setWindowFlag(Qt::FramelessWindowHint);
        window->setCursor(embedded_->cursor());
        connect(window, &VideoWidget::resized, this, [this] { renderFrame(false); });
        connect(window, &VideoWidget::escapePressed, this, [this] { setFullScreen(kPlayerFalse); });
        connect(window, &VideoWidget::doubleClicked, this, [this] { setFullScreen(kPlayerFalse); });
        QScreen *screen = embedded_->screen() ? embedded_->screen() : QGuiApplication::primaryScreen();
        if (screen)
            window->setGeometry(screen->geometry());
        window->showFullScreen();
        window->activateWindow();
        window->setFocus();
    } else {
        // Deleting the window from inside its own key or mouse handler is not
        // safe; hide it now and let Qt delete it later.
        VideoWidget *window = fullScreenWindow_.release();
        window->disconnect(this);
        window->hide();
        window->deleteLater();
    }
    renderFrame(false);
}

// mpv keeps drawing into the same native window: the widget moves into a
// full-screen window and back, its window is reparented, not made anew.
void MpvPlayer::setNativeFullScreen(bool on) {
    if (on) {
        embeddedParent_ = embedded_->parentWidget();
        fullScreenWindow_ = std::make_unique<VideoWidget>();
        VideoWidget *window = fullScreenWindow_.get();
        window->setWindowFlag(Qt::FramelessWindowHint);
        window->setCursor(embedded_->cursor());
        auto *layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(embedded_);
        QScreen *screen = embeddedParent_ && embeddedParent_->screen() ? embeddedParent_->screen()
                                                                       : QGuiApplication::primaryScreen();
        if (screen)
            window->setGeometry(screen->geometry());
        window->showFullScreen();
        window->activateWindow();
        embedded_->setFocus();
        return;
    }
    VideoWidget *window = fullScreenWindow_.release();
    if (embedded_ && embeddedParent_) {
        if (auto *layout = qobject_cast<QBoxLayout *>(embeddedParent_->layout()))
            layout->addWidget(embedded_);
        else
            embedded_->setParent(embeddedParent_);
        embedded_->show();
    }
    // Not deleted from inside its own key or mouse handler.
    window->hide();
    window->deleteLater();
}

} // namespace vantoli
