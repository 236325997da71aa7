#include "playback/player_factory.h"

#include "playback/mpv_library.h"
#include "playback/mpv_player.h"

namespace vantoli {
namespace {

// Whether a player can be made is whether libmpv loads and an engine starts.
class MpvPlayerFactory final : public PlayerFactory {
public:
    PlayerCreation probe() override {
        MpvPlayerOptions options;
        options.videoOutput = QStringLiteral("null");
        options.audioOutput = QStringLiteral("null");
        return MpvPlayer::create(options) ? PlayerCreation::Created : PlayerCreation::CannotBeCreated;
    }
    // Registering means: players load libmpv from that file from now on.
    void registerComponent(const QString &componentFile) override { setRegisteredMpvLibrary(componentFile); }
};

} // namespace

std::unique_ptr<PlayerFactory> makePlayerFactory() {
    return std::make_unique<MpvPlayerFactory>();
}

} // namespace vantoli
