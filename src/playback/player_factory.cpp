#include "playback/player_factory.h"

namespace vantoli {
namespace {

// Stands in for the real player until the player layer exists: creation
// always succeeds.
class StubPlayerFactory final : public PlayerFactory {
public:
    PlayerCreation probe() override { return PlayerCreation::Created; }
    void registerComponent(const QString &) override {}
};

} // namespace

std::unique_ptr<PlayerFactory> makePlayerFactory() {
    return std::make_unique<StubPlayerFactory>();
}

} // namespace vantoli
