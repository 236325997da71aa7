#pragma once
// The playback subsystem's part of the main window: it makes the player in
// the window's video host and owns the playback controller and the
// controllers of the transport buttons, the bars, the keys and the player's
// menu. It draws through the window's PlaybackView and takes the user's
// input from the window's signals.

#include "playback/playback_view.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace vantoli {
class AsyncHttpGet;
class Dialogs;
class FullScreenStage;
class HistoryStore;
class Player;
class PlayerFactory;
class PlaybackController;
class PlaybackSession;
class Power;
class Settings;
namespace controls {
class Keyboard;
class KeyPreview;
class PlayerMenu;
class SeekVolumeBars;
class Transport;
} // namespace controls
namespace shell {
class WindowInput;
struct ControlMouse;
} // namespace shell

struct PlaybackModuleServices {
    PlaybackSession *session = nullptr;
    PlaybackView *view = nullptr;
    QWidget *window = nullptr;    // takes the keys, window-wide
    QWidget *videoHost = nullptr; // the player draws in here
    PlayerFactory *playerFactory = nullptr; // none: a silent stand-in
    AsyncHttpGet *lookups = nullptr;        // none: our own
    Power *power = nullptr;                 // none: the real one
    FullScreenStage *fullScreen = nullptr;  // where the video fills the screen
    HistoryStore *history = nullptr;
    Settings *settings = nullptr;
    Dialogs *dialogs = nullptr;
    QString programFolder;
    QString contentBase;
};

class PlaybackModule final : public QObject, public TransportCommands {
    Q_OBJECT
public:
    explicit PlaybackModule(const PlaybackModuleServices &services);
    ~PlaybackModule() override;

    // Takes the user's input on the transport buttons, the bars and the video.
    void connectInput(shell::WindowInput &input);
    // Shows the player's menu (set once the menus exist).
    void setPlayerMenuPopup(std::function<void(const QPoint &)> popup) { popupPlayerMenu_ = std::move(popup); }

    void bo_but_Click(int index) override;
    // Plays a command line as a local item.
    void l_com(const QString &commandLine);
    // Calls done once: when the player shows the first picture of the item
    // it was asked to play, or stopped trying (at once for a player that
    // shows none).
    void whenPictureShown(std::function<void()> done);
    // Ends the key preview before the window's panes go.
    void stopKeyPreview();

    Player &player() const { return *player_; }
    PlaybackController &controller() const { return *controller_; }
    controls::PlayerMenu &playerMenu() const { return *menu_; }
    controls::SeekVolumeBars &bars() const { return *bars_; }
    // The skin changed: the transport buttons show their faces again.
    void refreshFaces();
    // The lookups the catalog's handlers share with the controller.
    AsyncHttpGet &lookups() const { return *lookups_; }

private:
    void transportMouse(int button, const shell::ControlMouse &mouse);
    void barMouse(Part part, const shell::ControlMouse &mouse);

    std::unique_ptr<AsyncHttpGet> ownLookups_;
    std::unique_ptr<Power> ownPower_;
    AsyncHttpGet *lookups_ = nullptr;
    std::unique_ptr<Player> player_;
    std::unique_ptr<PlaybackController> controller_;
    std::unique_ptr<controls::Transport> transport_;
    std::unique_ptr<controls::SeekVolumeBars> bars_;
    std::unique_ptr<controls::Keyboard> keys_;
    std::unique_ptr<controls::KeyPreview> keyPreview_;
    std::unique_ptr<controls::PlayerMenu> menu_;
    std::function<void(const QPoint &)> popupPlayerMenu_;
};

} // namespace vantoli
