#pragma once
// The window the video fills the screen in. The shell owns it; the player
// hands it the video and takes it back.

#include <functional>

class QWidget;

namespace vantoli {

class VideoWidget;

class FullScreenStage {
public:
    virtual ~FullScreenStage() = default;
    // Shows a frameless window over the whole screen `near` is on. With a
    // video widget (a native window the engine draws into by itself) the
    // widget moves into it; without one the window is the surface to draw
    // into, and is returned. leave runs when the user asks to leave it
    // (Escape, a double-click).
    virtual VideoWidget *enter(QWidget *near, QWidget *video, std::function<void()> leave) = 0;
    // The window goes; a video widget that moved goes back where it was.
    virtual void exit() = 0;
};

} // namespace vantoli
