#pragma once
// PeerPlayer's engine: libmpv behind the MediaEngine calls, drawing in
// software into the same VideoWidget the main window uses. The engine is
// prepared apart from its QObject so that start-up can load libmpv and begin
// opening the item on another thread while the window is still being built;
// everything after that runs on the UI thread, woken by mpv's callbacks.

#include "playback/mpv_library.h"
#include "terminal/peer_player/peer_session.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <initializer_list>

namespace vantoli {
class VideoWidget;
}

namespace vantoli::peer {

struct MpvSetup {
    QString library;      // libmpv file; empty for the usual search
    QString audioOutput;  // empty for mpv's choice
    QString videoOutput = QStringLiteral("libmpv"); // "null" draws nothing
    QString preload;      // opened at once, before any window exists
};

// A started engine not yet handed to an MpvEngine. Any thread.
struct PreparedMpv {
    const MpvApi *api = nullptr;
    mpv_handle *mpv = nullptr;
    mpv_render_context *render = nullptr;
    QString preloaded;
    QString failure; // why there is no engine
    explicit operator bool() const { return mpv != nullptr; }
};
PreparedMpv prepareMpv(const MpvSetup &setup);
void releasePrepared(PreparedMpv &prepared);

class MpvEngine final : public QObject, public MediaEngine {
    Q_OBJECT
public:
    // Takes the engine over; UI thread.
    explicit MpvEngine(PreparedMpv prepared, QObject *parent = nullptr);
    ~MpvEngine() override;

    void setListener(EngineListener *listener) { listener_ = listener; }
    // The widget the video is drawn into (it follows the widget's size).
    void setSurface(VideoWidget *surface);

    // Closes what start-up opened ahead if nobody asked for it after all.
    void dropPreload();

    void open(const QString &address) override;
    void setPaused(bool paused) override;
    void stop() override;
    void seek(double seconds) override;
    void setVolume(int volume) override;

signals:
    // A video frame was drawn into the surface (again after a resize).
    void frameRendered();

private:
    static void onWakeup(void *self);
    static void onRenderUpdate(void *self);
    void drainEvents();
    void renderFrame(bool newFrameOnly);
    void command(std::initializer_list<const char *> args, uint64_t replyId = 0);
    void handleProperty(uint64_t id, const mpv_event_property &property);

    const MpvApi *api_;
    mpv_handle *mpv_;
    mpv_render_context *render_;
    QString preloaded_; // opened by prepareMpv; the first open() of it is that load
    PostedCall drainCall_;
    PostedCall renderCall_;
    EngineListener *listener_ = nullptr;
    QPointer<VideoWidget> surface_;

    int pendingLoads_ = 0;     // loads asked for whose start was not seen yet
    qint64 currentEntry_ = -1; // mpv's playlist entry of the current item
    bool started_ = false;     // playback of the current item began
    bool frameSeen_ = false;   // mpv delivered a video frame since start-up
    double position_ = 0;
    double duration_ = 0;
};

} // namespace vantoli::peer
