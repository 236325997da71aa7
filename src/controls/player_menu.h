#pragma once
// The player menu's commands: transport items run the transport commands,
// the video-frame and sound-channel items reach the player, the
// after-playback choice goes into the playback session. The menu keeps the
// check marks itself.

#include "menus/popup_menus.h"
#include "playback/playback_session.h"
#include "playback/playback_view.h"
#include "playback/player.h"

namespace vantoli::controls {

class PlayerMenu final : public PlayerMenuCommands {
public:
    PlayerMenu(Player &player, TransportCommands &transport, PlaybackSession &session)
        : player_(player), transport_(transport), session_(session) {}
    void bo_but_Click(int index) override { transport_.bo_but_Click(index); }
    void setPictureMode(int mode) override { player_.SetPictureMode(mode); }
    void setAudioChannel(int channel) override { player_.SetAudioChannel(channel); }
    void setShutdownAfterPlayback(bool on) override { session_.setShutdownAfterPlayback(on); }

private:
    Player &player_;
    TransportCommands &transport_;
    PlaybackSession &session_;
};

} // namespace vantoli::controls
