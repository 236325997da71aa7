#pragma once
// The player on libmpv. Everything callers see happens on the UI thread: the
// engine's events arrive through MpvCore and update the cached values the
// getters return. Commands and property writes go to mpv asynchronously, and
// a peer address's web seed is looked up without waiting, so no call waits
// for the engine or the network.

#include "playback/full_screen.h"
#include "playback/mpv_core.h"
#include "playback/play_state.h"
#include "playback/player.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace vantoli {

class AsyncHttpGet;
class PrebufferCache;
class TerminalClient;
class VideoWidget;
class WebSeedLookup;

// Hands the memory the process has freed back to the system. glibc keeps
// freed blocks in its arenas, and the buffers of an item (video frames,
// demuxer packets, from several threads) leave them fragmented: without this
// the process grows with every item played. (Making a player also has blocks
// of 256 KiB and more mapped from the system one by one, for the same reason.)
void releaseFreedMemory();

struct MpvPlayerOptions {
    // mpv video output: "libmpv" renders frames into an attached
    // VideoWidget's image; "window" has mpv draw into the attached widget's
    // native window itself (X11: nothing Qt paints can be above it); "null"
    // plays without a picture (tests).
    QString videoOutput = QStringLiteral("libmpv");
    // mpv audio output; empty for mpv's choice, "null" for none.
    QString audioOutput;
    // Folder for prebuffered starts of links; empty for defaultPlayerCacheFolder({}).
    QString cacheFolder;
    // Bytes fetched ahead per link, and how many links the folder keeps.
    qint64 prebufferBytes = 32 * 1024 * 1024;
    int prebufferKeep = 3;
    // Seconds mpv waits on a silent network connection before it gives up.
    int networkTimeout = 20;
    // Play http(s) items through the transfer program when it runs (its
    // port file names it; empty for its usual place).
    bool useTerminal = false;
    QString terminalPortFile;
    // The content server (its base URL): peer addresses play through the
    // transfer program, which fetches their torrents from it, or without
    // one from their web seed, named in the torrent.
    QString contentBase;
    // How long the lookup of a web seed may take, in milliseconds.
    int webSeedTimeoutMs = 5000;
    // Further mpv options, name and value, set before the engine starts.
    std::vector<std::pair<QString, QString>> extraOptions;
    // Runs each time the engine has let go of an item (it was replaced,
    // stopped or failed), when the item's buffers are freed.
    std::function<void()> itemReleased = releaseFreedMemory;
};

// "cache" under the program folder when one is given, else a folder in the
// user's cache location.
QString defaultPlayerCacheFolder(const QString &programFolder);

class MpvPlayer final : public QObject, public Player, private MpvEvents {
    Q_OBJECT
public:
    // nullptr when libmpv cannot be loaded or refuses to start.
    static std::unique_ptr<MpvPlayer> create(const MpvPlayerOptions &options = {},
                                             QObject *parent = nullptr);
    ~MpvPlayer() override;

    QString Url() const override { return url_; }
    void setUrl(const QString &url) override { url_ = url; }
    void Play() override;
    bool OpenFailed() const override { return openFailed_; }
    void Pause() override;
    void Stop() override;
    int Position() const override;
    void setPosition(int seconds) override;
    int Duration() const override;
    int PlayState() const override { return mapPlayState(engine_); }
    int DownloadSpeed() const override;
    int BitRate() const override;
    int DownloadProgress() const override;
    int Volume() const override { return volume_; }
    void setVolume(int volume) override;
    int Mute() const override { return mute_ ? kPlayerTrue : kPlayerFalse; }
    void setMute(int mute) override;
    void setFullScreen(int fullScreen) override;
    void SetPictureMode(int mode) override;
    void SetAudioChannel(int channel) override;
    void Prebuffer(const QString &link) override;
    void setAdUrl(const QString &url) override { adUrl_ = url; }

    // The widget the video is drawn into while not full screen. Needs the
    // "libmpv" or "window" video output; the widget must outlive playback or
    // be deleted before the player (the player notices either way). With
    // "window" it becomes a native window (no native ancestors) and must be
    // attached before the first item plays; full screen then moves it into
    // the full-screen window and back.
    void attachVideoWidget(VideoWidget *widget);
    // Where the video fills the screen; none leaves full screen off. It must
    // outlive the player.
    void setFullScreenStage(FullScreenStage *stage) { stage_ = stage; }
    bool drawsIntoNativeWindow() const { return nativeWindow_; }
    // False once the engine has ended (the video widget's window went).
    bool hasEngine() const { return core_->hasEngine(); }
    bool isFullScreen() const { return fullScreen_; }

    void setCacheFolder(const QString &folder);
    QString cacheFolder() const;
    PrebufferCache &prebufferCache() { return *prebuffer_; }
    // Whether the current item plays through the transfer program.
    bool playsThroughTerminal() const { return viaTerminal_; }
    // Whether the current item waits for its web seed to be looked up.
    bool looksUpWebSeed() const;

signals:
    // Emitted after the cached values changed (tests and benchmarks wait on it).
    void changed();
    // The engine shows a picture of the item: once it opened, and after
    // every seek.
    void pictureShown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MpvPlayer(MpvEngineHandle engine, const MpvPlayerOptions &options, QObject *parent);
    // Ends the engine now; the player stays, inert, until it is deleted.
    void releaseEngine();
    // MpvEvents
    void mpvFileLoaded() override;
    void mpvPlaybackRestarted() override { emit pictureShown(); }
    void mpvFileEnded(const mpv_event_end_file &end, bool current) override;
    void mpvLoadRefused() override;
    void mpvPropertyChanged(uint64_t id, const mpv_event_property &property) override;
    void mpvShutDown() override;
    void mpvEventsHandled() override;

    void resetItemValues();
    void markStartedIfReady();
    // A load asked for has not started yet (a web seed lookup counts).
    bool loadPending() const;
    void load(const QString &address);
    // Opens the current item without the transfer program: a peer address
    // from its web seed, once that is found; anything else as it is.
    void loadDirect();
    void webSeedFound(const QString &seed);
    void cancelWebSeedLookup();

    std::unique_ptr<MpvCore> core_;
    std::function<void()> itemReleased_;

    QString url_;
    QString loadedUrl_; // the Url of the item open or being opened
    QString adUrl_;
    EngineCondition engine_;
    bool engineIdle_ = true;     // the engine has nothing open
    int pendingSeek_ = -1;       // seek asked for while the item was still opening
    bool fileOpen_ = false;      // the engine opened the current item
    bool openFailed_ = false;    // the engine gave up opening the current item
    bool timePosKnown_ = false;
    double timePos_ = 0;
    double duration_ = 0;
    double cacheEnd_ = 0;
    bool eofCached_ = false;
    qint64 cacheSpeed_ = 0;      // bytes per second
    double videoBitrate_ = 0;    // bits per second
    double audioBitrate_ = 0;
    qint64 fileSize_ = 0;
    qint64 prebufferedBytes_ = 0; // bytes of the current item served from the prebuffer
    int volume_ = 100;
    bool mute_ = false;

    std::unique_ptr<PrebufferCache> prebuffer_;
    std::unique_ptr<TerminalClient> terminal_; // null unless useTerminal
    bool viaTerminal_ = false;                 // the current item plays through it
    QString contentBase_;                      // where peer addresses' torrents are
    int webSeedTimeoutMs_;
    std::unique_ptr<AsyncHttpGet> http_;       // made for the first web seed lookup
    std::unique_ptr<WebSeedLookup> webSeed_;   // goes before the getter it uses
    QPointer<VideoWidget> embedded_;
    FullScreenStage *stage_ = nullptr;
    bool fullScreen_ = false;
    bool nativeWindow_ = false; // the "window" video output
};

} // namespace vantoli
