#pragma once
// PeerPlayer's engine: libmpv behind the MediaEngine calls, drawing in
// software into the same VideoWidget the main window uses. The engine is
// prepared apart from its QObject so that start-up can load libmpv and begin
// opening the item on another thread while the window is still being built;
// everything after that runs on the UI thread, woken by mpv's callbacks.

#include "playback/mpv_core.h"
#include "terminal/peer_player/peer_session.h"

#include <QObject>
#include <QString>

#include <memory>

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
    MpvEngineHandle engine;
    QString preloaded;
    QString failure; // why there is no engine
    explicit operator bool() const { return bool(engine); }
};
PreparedMpv prepareMpv(const MpvSetup &setup);
void releasePrepared(PreparedMpv &prepared);

class MpvEngine final : public QObject, public MediaEngine, private MpvEvents {
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
    // MpvEvents
    void mpvPlaybackRestarted() override;
    void mpvFileEnded(const mpv_event_end_file &end, bool current) override;
    void mpvLoadRefused() override;
    void mpvPropertyChanged(uint64_t id, const mpv_event_property &property) override;

    std::unique_ptr<MpvCore> core_;
    QString preloaded_; // opened by prepareMpv; the first open() of it is that load
    EngineListener *listener_ = nullptr;

    bool started_ = false;     // playback of the current item began
    double position_ = 0;
    double duration_ = 0;
};

} // namespace vantoli::peer
