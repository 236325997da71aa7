#pragma once
// Creating the player component. Start-up asks the factory once whether a
// player can be created at all before any window exists.

#include <QString>

#include <memory>

class QWidget;

namespace vantoli {

class Player;

// The component's file, under the program folder's "Peer/" subfolder.
inline const QString kPlayerComponentFolder = QStringLiteral("Peer/");
inline const QString kPlayerComponentFileName = QStringLiteral("libmpv.so.2");

enum class PlayerCreation {
    Created,
    CannotBeCreated, // the component is not installed or cannot be loaded
    OtherError,
};

class PlayerFactory {
public:
    virtual ~PlayerFactory() = default;
    // Creates one throw-away player and releases it at once.
    virtual PlayerCreation probe() = 0;
    // Registers the component file found under the program folder, so that the
    // next creation can use it. Does not wait for the outcome.
    virtual void registerComponent(const QString &componentFile) = 0;
    // The window's player: its video fills videoHost (and follows its size);
    // its cache lives under the program folder; the torrents of peer
    // addresses come from the content server at contentBase. nullptr when
    // none can be made.
    virtual std::unique_ptr<Player> create(QWidget *videoHost, const QString &programFolder,
                                           const QString &contentBase) = 0;
};

std::unique_ptr<PlayerFactory> makePlayerFactory();

} // namespace vantoli
