#include "playback/player_factory.h"

#include "playback/mpv_library.h"
#include "playback/mpv_player.h"
#include "playback/video_widget.h"
#include "platform/graphics_path.h"

#include <QGuiApplication>
#include <QVBoxLayout>

namespace vantoli {
namespace {

// Whether a player can be made is whether libmpv loads and an engine starts.
class MpvPlayerFactory final : public PlayerFactory {
public:
    PlayerCreation probe() override {
        // No library is "not installed"; a library that loads but makes no
        // engine is another failure, which start-up ignores. The engine is
        // made and released without starting it: starting one (threads,
        // options, outputs) would hold the start of the window for as long
        // as the window's own player takes to start.
        const MpvApi *api = loadMpv();
        if (!api)
            return PlayerCreation::CannotBeCreated;
        mpv_handle *engine = api->create();
        if (!engine)
            return PlayerCreation::OtherError;
        api->terminate_destroy(engine);
        return PlayerCreation::Created;
    }
    // Registering means: players load libmpv from that file from now on.
    void registerComponent(const QString &componentFile) override { setRegisteredMpvLibrary(componentFile); }

    std::unique_ptr<Player> create(QWidget *videoHost, const QString &programFolder, const QString &contentBase) override {
        MpvPlayerOptions options;
        options.contentBase = contentBase; // where peer addresses' torrents are fetched
        options.cacheFolder = defaultPlayerCacheFolder(programFolder);
        options.useTerminal = true; // network items through PeerTerminal when it runs
        // For tests and silent demonstrations: VANTOLI_AUDIO_OUTPUT=null.
        options.audioOutput = qEnvironmentVariable("VANTOLI_AUDIO_OUTPUT");
        // On X11 with the software scene mpv draws into a native window of
        // its own; VANTOLI_VIDEO=image renders into an image instead
        // (screenshots of the video in tests).
        const bool softwareScene = qgetenv("QT_QUICK_BACKEND") == "software";
        if (videoHost && chooseVideoSurface(QGuiApplication::platformName(), qEnvironmentVariable("VANTOLI_VIDEO"),
                                            softwareScene) == VideoSurface::NativeWindow)
            options.videoOutput = QStringLiteral("window");
        auto player = MpvPlayer::create(options);
        if (!player)
            return nullptr;
        if (videoHost) {
            auto *video = new VideoWidget(videoHost);
            video->setObjectName(QStringLiteral("video"));
            auto *layout = new QVBoxLayout(videoHost);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(video);
            player->attachVideoWidget(video);
        }
        return player;
    }
};

} // namespace

std::unique_ptr<PlayerFactory> makePlayerFactory() {
    return std::make_unique<MpvPlayerFactory>();
}

} // namespace vantoli
