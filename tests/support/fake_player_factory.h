#pragma once
// A PlayerFactory for window and start-up tests: says what probe() answers,
// records registered component files, and makes FakePlayers (or none) that
// the test can reach through `made`.

#include "playback/player_factory.h"
#include "support/fake_player.h"

#include <QStringList>

#include <memory>

namespace vantoli {

class FakePlayerFactory : public PlayerFactory {
public:
    PlayerCreation result = PlayerCreation::Created;
    bool makesPlayers = true; // false: create() gives nothing, as a failed engine does
    bool autoState = true;    // given to every player made
    QStringList registered;
    FakePlayer *made = nullptr; // the last player made
    QString madeFor;            // the content base the last player was made for

    PlayerCreation probe() override { return result; }
    void registerComponent(const QString &file) override { registered.append(file); }
    std::unique_ptr<Player> create(QWidget *, const QString &, const QString &contentBase) override {
        if (!makesPlayers)
            return nullptr;
        auto p = std::make_unique<FakePlayer>();
        p->autoState = autoState;
        made = p.get();
        madeFor = contentBase;
        return p;
    }
};

} // namespace vantoli
