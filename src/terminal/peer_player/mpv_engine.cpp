#include "terminal/peer_player/mpv_engine.h"

#include <algorithm>

namespace vantoli::peer {
namespace {

enum Observed : uint64_t { kTimePos = 1, kDuration, kPause, kEofReached };

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
    MpvStartOptions start;
    start.api = setup.library.isEmpty() ? nullptr : loadMpvLibrary(setup.library);
    if (!start.api)
        start.api = loadMpvLibrary(kMpvLibraryName);
    if (!start.api) {
        out.failure = QStringLiteral("播放器组件无法加载（%1）").arg(kMpvLibraryName);
        return out;
    }
    start.clientName = QStringLiteral("PeerPlayer");
    start.videoOutput = setup.videoOutput;
    start.audioOutput = setup.audioOutput;
    start.options = {
        {QStringLiteral("input-vo-keyboard"), QStringLiteral("no")},
        {QStringLiteral("hwdec"), QStringLiteral("no")},
        // No sound device still shows the video.
        {QStringLiteral("audio-fallback-to-null"), QStringLiteral("yes")},
    };
    start.observed = {
        {kTimePos, "time-pos", MPV_FORMAT_DOUBLE},
        {kDuration, "duration", MPV_FORMAT_DOUBLE},
        {kPause, "pause", MPV_FORMAT_FLAG},
        {kEofReached, "eof-reached", MPV_FORMAT_FLAG},
    };
    out.engine = startMpv(start);
    if (!out.engine) {
        out.failure = QStringLiteral("播放器组件无法启动");
        return out;
    }
    if (!setup.preload.isEmpty() && loadMpvItem(out.engine, setup.preload, !setup.preload.startsWith(u'/')))
        out.preloaded = setup.preload;
    return out;
}

void releasePrepared(PreparedMpv &prepared) {
    endMpv(prepared.engine);
    prepared = {};
}

MpvEngine::MpvEngine(PreparedMpv prepared, QObject *parent)
    : QObject(parent), core_(std::make_unique<MpvCore>(prepared.engine, static_cast<MpvEvents &>(*this))), preloaded_(prepared.preloaded) {
    connect(core_.get(), &MpvCore::frameShown, this, &MpvEngine::frameRendered);
}

MpvEngine::~MpvEngine() { core_->end(); }

void MpvEngine::open(const QString &address) {
    started_ = false;
    position_ = 0;
    duration_ = 0;
    if (!preloaded_.isEmpty() && preloaded_ == address) {
        preloaded_.clear(); // already on its way since start-up
        return;
    }
    preloaded_.clear();
    core_->setFlag("pause", false);
    core_->load(address, !address.startsWith(u'/'));
}

void MpvEngine::dropPreload() {
    if (preloaded_.isEmpty())
        return;
    preloaded_.clear();
    core_->command({"stop"});
}

void MpvEngine::setPaused(bool paused) {
    core_->setFlag("pause", paused);
}

void MpvEngine::stop() {
    preloaded_.clear();
    core_->command({"stop"});
    started_ = false;
}

void MpvEngine::seek(double seconds) {
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    core_->command({"seek", target.constData(), "absolute"});
}

void MpvEngine::setVolume(int volume) {
    core_->setDouble("volume", volume);
}

void MpvEngine::mpvPlaybackRestarted() {
    // The first restart of an item is its start; later ones follow seeks.
    if (core_->pendingLoads() == 0 && !started_) {
        started_ = true;
        if (listener_)
            listener_->engineStarted(duration_);
    }
}

void MpvEngine::mpvFileEnded(const mpv_event_end_file &end, bool current) {
    if (!current || core_->pendingLoads() > 0)
        return; // an item already replaced
    started_ = false;
    if (!listener_)
        return;
    if (end.reason == MPV_END_FILE_REASON_ERROR)
        listener_->engineFailed(errorOf(end.error));
    else if (end.reason == MPV_END_FILE_REASON_EOF)
        listener_->engineFinished();
    else
        listener_->engineClosed();
}

void MpvEngine::mpvLoadRefused() {
    // A load mpv refused outright never starts.
    if (listener_)
        listener_->engineFailed(EngineError::CannotOpen);
}

void MpvEngine::mpvPropertyChanged(uint64_t id, const mpv_event_property &p) {
    if (core_->pendingLoads() > 0)
        return;
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
    core_->setSurface(surface);
}

} // namespace vantoli::peer
