#include "playback/mpv_player.h"

#include "playback/play_address.h"
#include "playback/prebuffer_cache.h"
#include "playback/terminal_client.h"
#include "playback/video_widget.h"
#include "platform/http_get.h"

#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QStandardPaths>

#include <malloc.h>

#include <algorithm>
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

const std::vector<MpvObserved> kObserved = {
    {kTimePos, "time-pos", MPV_FORMAT_DOUBLE},
    {kDuration, "duration", MPV_FORMAT_DOUBLE},
    {kPause, "pause", MPV_FORMAT_FLAG},
    {kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG},
    {kEofReached, "eof-reached", MPV_FORMAT_FLAG},
    {kCacheState, "demuxer-cache-state", MPV_FORMAT_NODE},
    {kCacheSpeed, "cache-speed", MPV_FORMAT_INT64},
    {kVideoBitrate, "video-bitrate", MPV_FORMAT_DOUBLE},
    {kAudioBitrate, "audio-bitrate", MPV_FORMAT_DOUBLE},
    {kFileSize, "file-size", MPV_FORMAT_INT64},
    {kVolume, "volume", MPV_FORMAT_DOUBLE},
    {kMute, "mute", MPV_FORMAT_FLAG},
    {kIdleActive, "idle-active", MPV_FORMAT_FLAG},
};

bool isPeerAddress(const QString &address) {
    return address.startsWith(QStringLiteral("peer://"), Qt::CaseInsensitive);
}

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
    MpvStartOptions start;
    start.api = api;
    start.clientName = QStringLiteral("vantoli");
    start.videoOutput = options.videoOutput;
    start.audioOutput = options.audioOutput;
    start.networkTimeout = options.networkTimeout;
    start.observed = kObserved;
    auto &set = start.options;
    if (options.videoOutput == u"window") {
        // Xv where the X server offers it (scaled by the hardware), else
        // plain X11 with mpv's own scaling. Mouse and keys stay with the
        // window: mpv selects no input on its window, so X passes the
        // events on to the widget it is embedded in.
        start.videoOutput = QStringLiteral("xv,x11");
        set.emplace_back(QStringLiteral("input-cursor"), QStringLiteral("no"));
        set.emplace_back(QStringLiteral("input-vo-keyboard"), QStringLiteral("no"));
        set.emplace_back(QStringLiteral("cursor-autohide"), QStringLiteral("no"));
    }
    // An https address plays only from a server whose certificate verifies
    // for its host; the engine's default accepts any. SSL_CERT_FILE names
    // other authorities instead of the system's, as for the program's fetches.
    set.emplace_back(QStringLiteral("tls-verify"), QStringLiteral("yes"));
    if (const QString authorities = qEnvironmentVariable("SSL_CERT_FILE"); !authorities.isEmpty())
        set.emplace_back(QStringLiteral("tls-ca-file"), authorities);
    set.emplace_back(QStringLiteral("hr-seek"), QStringLiteral("yes"));
    // Hardware decoding where it is known to work, else software.
    set.emplace_back(QStringLiteral("hwdec"), QStringLiteral("auto-safe"));
    set.insert(set.end(), options.extraOptions.begin(), options.extraOptions.end());
    MpvEngineHandle engine = startMpv(start);
    if (!engine)
        return nullptr;
    return std::unique_ptr<MpvPlayer>(new MpvPlayer(engine, options, parent));
}

void releaseFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

MpvPlayer::MpvPlayer(MpvEngineHandle engine, const MpvPlayerOptions &options, QObject *parent)
    : QObject(parent), itemReleased_(options.itemReleased), contentBase_(options.contentBase),
      webSeedTimeoutMs_(options.webSeedTimeoutMs) {
    const QString folder = options.cacheFolder.isEmpty() ? defaultPlayerCacheFolder({}) : options.cacheFolder;
    prebuffer_ = std::make_unique<PrebufferCache>(folder, options.prebufferBytes, options.prebufferKeep);
    prebuffer_->registerProtocol(engine.api, engine.mpv);
    if (options.useTerminal) {
        terminal_ = std::make_unique<TerminalClient>(options.terminalPortFile);
        terminal_->setContentBase(contentBase_);
        connect(terminal_.get(), &TerminalClient::statusChanged, this, &MpvPlayer::changed);
    }
    nativeWindow_ = options.videoOutput == u"window";
    core_ = std::make_unique<MpvCore>(engine, static_cast<MpvEvents &>(*this));
}

MpvPlayer::~MpvPlayer() {
    releaseEngine();
    // A widget in the full-screen window goes back where it was.
    if (fullScreen_ && stage_)
        stage_->exit();
}

void MpvPlayer::releaseEngine() {
    cancelWebSeedLookup();
    core_->end();
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
            core_->command({"seek", "0", "absolute"}); // Play on a finished item starts it over
        core_->setFlag("pause", false);
        engine_.paused = false;
        return;
    }

    resetItemValues();
    cancelWebSeedLookup(); // an earlier item's seed is of no use now
    openFailed_ = false;
    loadedUrl_ = url_;
    QString address = url_;
    // Through the transfer program when it runs; from the network (and the
    // prebuffer) when it does not.
    const QString viaTerminal = terminal_ ? terminal_->playAddress(url_) : QString();
    viaTerminal_ = !viaTerminal.isEmpty();
    if (terminal_)
        terminal_->watch(viaTerminal_ ? url_ : QString());
    bool direct = false;
    if (viaTerminal_) {
        address = viaTerminal;
    } else if (const auto source = prebuffer_->takeSource(url_)) {
        address = source->address;
        prebufferedBytes_ = source->prefixBytes;
        fileSize_ = source->totalBytes;
    } else {
        direct = true;
    }
    const bool network = isNetworkAddress(url_);
    // mpv only caches streams it knows to be remote; ours from the prebuffer
    // count as remote too.
    core_->setString("cache", network ? QStringLiteral("yes") : QStringLiteral("auto"));
    core_->setFlag("pause", false);
    if (direct)
        loadDirect();
    else
        load(address);
    engine_.network = network && !address.startsWith(u'/');
    engine_.stopping = false;
    engine_.stoppedByUser = false;
    emit changed();
}

void MpvPlayer::load(const QString &address) {
    if (!core_->hasEngine())
        return;
    engine_.loading = true;
    if (!core_->load(address, !loadedUrl_.startsWith(u'/')) && !loadPending()) {
        engine_.loading = false; // not even taken: nothing will start
        openFailed_ = true;
    }
}

bool MpvPlayer::loadPending() const {
    return core_->pendingLoads() > 0 || looksUpWebSeed();
}

bool MpvPlayer::looksUpWebSeed() const {
    return webSeed_ && webSeed_->waiting();
}

// The seed comes from the content server, which may be slow or silent: the
// item counts as opening meanwhile, and what played before goes on until the
// seed is there.
void MpvPlayer::loadDirect() {
    if (!isPeerAddress(loadedUrl_)) {
        load(loadedUrl_);
        return;
    }
    if (!core_->hasEngine())
        return;
    if (!webSeed_) {
        http_ = makeAsyncHttpGet(webSeedTimeoutMs_);
        webSeed_ = std::make_unique<WebSeedLookup>(*http_);
    }
    webSeed_->start(contentBase_, loadedUrl_, [this](const QString &seed) { webSeedFound(seed); });
    engine_.loading = true;
}

void MpvPlayer::webSeedFound(const QString &seed) {
    if (!seed.isEmpty()) {
        load(seed);
    } else {
        // None to be had (no torrent, a forged one, no answer): the item
        // fails to open, and neither what played before nor a load still
        // pending plays in its place.
        core_->command({"stop"});
        core_->forgetPendingLoads();
        engine_.loading = false;
        engine_.loaded = false;
        openFailed_ = true;
    }
    emit changed();
}

void MpvPlayer::cancelWebSeedLookup() {
    if (webSeed_)
        webSeed_->cancel();
}

void MpvPlayer::Pause() {
    if (!engine_.loaded && !engine_.loading)
        return;
    core_->setFlag("pause", true);
    engine_.paused = true;
}

void MpvPlayer::Stop() {
    if (!engine_.loaded && !engine_.loading)
        return;
    // With only a seed lookup waiting and nothing open, the engine has
    // nothing to close and will not report.
    const bool nothingToClose = looksUpWebSeed() && core_->pendingLoads() == 0 && engineIdle_;
    cancelWebSeedLookup();
    core_->command({"stop"});
    // A load not started yet is dropped by the stop; the engine reports idle.
    core_->forgetPendingLoads();
    engine_.loading = false;
    engine_.stopping = !nothingToClose;
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
    core_->command({"seek", target.constData(), "absolute"});
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
    core_->setDouble("volume", volume_);
}

void MpvPlayer::setMute(int mute) {
    mute_ = mute != 0;
    core_->setFlag("mute", mute_);
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
    core_->setFlag("keepaspect", mode != kPictureStretch);
    core_->setString("video-aspect-override", QString::fromLatin1(aspect));
}

void MpvPlayer::SetAudioChannel(int channel) {
    switch (channel) {
    case kChannelMixed:
    case kChannelLeft:
    case kChannelRight:
    case kChannelLeftToBoth:
    case kChannelRightToBoth:
        core_->setString("af", QString::fromLatin1(channelFilter(channel)));
        break;
    default:
        break;
    }
}

void MpvPlayer::Prebuffer(const QString &link) {
    if (link == loadedUrl_ && (engine_.loaded || engine_.loading))
        return;
    // A peer address is fetched ahead only by the transfer program.
    if ((!terminal_ || !terminal_->prefetch(link)) && !isPeerAddress(link))
        prebuffer_->start(link);
}

void MpvPlayer::setCacheFolder(const QString &folder) {
    prebuffer_->setFolder(folder);
}

QString MpvPlayer::cacheFolder() const {
    return prebuffer_->folder();
}

void MpvPlayer::mpvFileLoaded() {
    // Open, but reported as playing only once its position (and with it the
    // length) is known: callers act on the first state 3.
    if (!loadPending()) {
        fileOpen_ = true;
        markStartedIfReady();
    }
}

void MpvPlayer::mpvFileEnded(const mpv_event_end_file &end, bool current) {
    if (itemReleased_)
        itemReleased_();
    if (!current)
        return; // an item already replaced
    if (viaTerminal_ && !fileOpen_ && !loadPending() && end.reason == MPV_END_FILE_REASON_ERROR) {
        // The transfer program could not serve it: play it directly.
        viaTerminal_ = false;
        terminal_->watch({});
        loadDirect();
        return;
    }
    if (end.reason == MPV_END_FILE_REASON_ERROR && !fileOpen_ && !loadPending())
        openFailed_ = true;
    engine_.loaded = false;
    engine_.loading = loadPending();
    if (!engine_.loading) {
        engine_.stopping = false;
        resetItemValues();
    }
}

void MpvPlayer::mpvLoadRefused() {
    if (looksUpWebSeed())
        return; // a later item is still on its way
    engine_.loading = false;
    openFailed_ = true;
}

void MpvPlayer::mpvShutDown() { engine_ = {}; }

void MpvPlayer::mpvEventsHandled() { emit changed(); }

void MpvPlayer::markStartedIfReady() {
    if (!fileOpen_ || !timePosKnown_ || !engine_.loading || loadPending())
        return;
    engine_.loading = false;
    engine_.loaded = true;
    if (pendingSeek_ >= 0) {
        const QByteArray target = QByteArray::number(pendingSeek_);
        core_->command({"seek", target.constData(), "absolute"});
        timePos_ = pendingSeek_;
        pendingSeek_ = -1;
    }
}

void MpvPlayer::mpvPropertyChanged(uint64_t id, const mpv_event_property &p) {
    if (id == kIdleActive)
        engineIdle_ = flagValue(p);
    if (loadPending() && id != kVolume && id != kMute && id != kPause)
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
    if (!widget) {
        if (!fullScreen_)
            core_->setSurface(nullptr);
        return;
    }
    if (nativeWindow_) {
        // One native window: not its ancestors, not their other children.
        QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
        widget->setAttribute(Qt::WA_DontCreateNativeAncestors);
        widget->setAttribute(Qt::WA_NativeWindow);
        // mpv makes its window inside this one and follows its size.
        core_->drawInto(widget->winId());
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
    // Frames go to the full-screen window while there is one.
    if (fullScreen_)
        core_->renderFrame();
    else
        core_->setSurface(widget);
}

void MpvPlayer::setFullScreen(int fullScreen) {
    const bool on = fullScreen != 0;
    if (on == fullScreen_ || (on && (!embedded_ || !stage_)))
        return;
    fullScreen_ = on;
    if (on) {
        // A native window moves into the stage's window; frames rendered
        // through Qt go to the stage's window instead.
        VideoWidget *surface =
            stage_->enter(embedded_, nativeWindow_ ? embedded_.data() : nullptr, [this] { setFullScreen(kPlayerFalse); });
        if (!nativeWindow_)
            core_->setSurface(surface);
    } else {
        if (!nativeWindow_)
            core_->setSurface(embedded_);
        stage_->exit();
    }
    if (!nativeWindow_)
        core_->renderFrame();
}

} // namespace vantoli
