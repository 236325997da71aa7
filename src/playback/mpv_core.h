#pragma once
// The one place that drives a libmpv engine, for the main window's player
// and for PeerPlayer alike. It starts an engine with the options every
// player of ours needs, brings the calls mpv makes on its own threads (wakeup,
// new frame) to the UI thread, drains mpv's events there and tells its owner,
// keeps count of the loads asked for whose start was not seen yet, and draws
// frames in software into a VideoWidget or hands mpv a native window to draw
// into. What the events mean is the owner's business.

#include "playback/mpv_library.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace vantoli {

class VideoWidget;

struct MpvObserved {
    uint64_t id; // comes back as the change event's reply id
    const char *name;
    mpv_format format;
};

struct MpvStartOptions {
    const MpvApi *api = nullptr;
    QString clientName;  // how the sound server lists the player
    // "libmpv": frames are drawn into a VideoWidget through the render API
    // (the render context is made at start, before any video can start);
    // otherwise an mpv video output name ("null" for none).
    QString videoOutput = QStringLiteral("libmpv");
    QString audioOutput; // empty for mpv's choice
    int networkTimeout = 20; // seconds mpv waits on a silent connection
    // The owner's own options, set after the common ones (a later one wins).
    std::vector<std::pair<QString, QString>> options;
    std::vector<MpvObserved> observed;
};

// A started engine that no MpvCore drives yet. Usable from any thread.
struct MpvEngineHandle {
    const MpvApi *api = nullptr;
    mpv_handle *mpv = nullptr;
    mpv_render_context *render = nullptr;
    int pendingLoads = 0; // loads asked for before an MpvCore took it over
    explicit operator bool() const { return mpv != nullptr; }
};

// An initialised engine, or an empty handle when mpv refuses to start.
MpvEngineHandle startMpv(const MpvStartOptions &options);
// Loads address in place of the current item (see mpvLoadFile) and counts it
// as pending. False when the engine did not take the command.
bool loadMpvItem(MpvEngineHandle &engine, const QString &address, bool networkItem);
// Ends an engine that no MpvCore took over; the handle is empty afterwards.
void endMpv(MpvEngineHandle &engine);

// What the engine reports, on the UI thread, one event at a time.
class MpvEvents {
public:
    virtual ~MpvEvents() = default;
    virtual void mpvFileLoaded() {}
    virtual void mpvPlaybackRestarted() {}
    // An item ended; `current` is false for one a later load already replaced.
    // The engine has freed the item's buffers by now.
    virtual void mpvFileEnded(const mpv_event_end_file &end, bool current) = 0;
    // The engine refused the loads still pending outright: none will start.
    virtual void mpvLoadRefused() = 0;
    virtual void mpvPropertyChanged(uint64_t id, const mpv_event_property &property) = 0;
    virtual void mpvShutDown() {}
    // After a batch of events (at least one).
    virtual void mpvEventsHandled() {}
};

class MpvCore final : public QObject {
    Q_OBJECT
public:
    // Takes the engine over; UI thread. `owner` must outlive the core.
    MpvCore(MpvEngineHandle engine, MpvEvents &owner, QObject *parent = nullptr);
    ~MpvCore() override;

    // Ends the engine now: no callback reaches the owner afterwards and every
    // call below does nothing.
    void end();
    bool hasEngine() const { return mpv_ != nullptr; }

    // Loads asked for whose start the engine has not reported yet.
    int pendingLoads() const { return pendingLoads_; }
    // A stop drops the loads not started yet.
    void forgetPendingLoads() { pendingLoads_ = 0; }

    bool load(const QString &address, bool networkItem);
    void command(std::initializer_list<const char *> args);
    void setFlag(const char *name, bool value);
    void setString(const char *name, const QString &value);
    void setDouble(const char *name, double value);

    // The widget frames are drawn into, following its size (render API only).
    void setSurface(VideoWidget *surface);
    VideoWidget *surface() const;
    // Has mpv draw into this native window itself, inside it.
    void drawInto(WId window);
    // Draws the current frame; with newFrameOnly only when mpv has a new one.
    void renderFrame(bool newFrameOnly = false);

signals:
    // A video frame is in the surface (again after a resize or a new surface).
    void frameShown();

private:
    static void onWakeup(void *self);
    static void onRenderUpdate(void *self);
    void drainEvents();

    const MpvApi *api_;
    mpv_handle *mpv_;
    mpv_render_context *render_;
    MpvEvents &owner_;
    PostedCall drainCall_;
    PostedCall renderCall_;
    int pendingLoads_;
    qint64 currentEntry_ = -1; // mpv's playlist entry of the current item
    bool frameSeen_ = false;   // mpv delivered a video frame since start-up
    QPointer<VideoWidget> surface_;
};

} // namespace vantoli
