#pragma once
// Moving and sizing the borderless main window from its background: a drag
// inside moves it, a press in the 3-pixel band along the edges resizes it.
// The platform's own move/size loop does the drag; where the window manager
// offers none (a bare X server), the window follows the mouse itself.
// After a border resize in normal mode the size is saved to App.ini.

#include "app/app_settings.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

namespace vantoli::shell {

class WindowModes;

class MoveSizeHost {
public:
    virtual ~MoveSizeHost() = default;
    virtual QSize clientSize() const = 0;
    virtual bool isMaximised() const = 0;
    virtual void setCursorShape(Qt::CursorShape shape) = 0;
    // Hand the drag to the platform; false when it cannot.
    virtual bool startSystemMove() = 0;
    virtual bool startSystemResize(Qt::Edges edges) = 0;
    // Outer geometry in screen pixels, for following the mouse.
    virtual QRect windowGeometry() const = 0;
    virtual void setWindowGeometry(const QRect &geometry) = 0;
    // The smallest outer size of the current mode, in pixels.
    virtual QSize minimumWindowSize() const = 0;
    // The hover colours of jbi and qk back to normal.
    virtual void resetTextButtonColours() = 0;
};

// The geometry after dragging the given edges by delta, keeping the opposite
// edges in place and the size at least minimum.
QRect resizedGeometry(const QRect &start, Qt::Edges edges, QPoint delta, QSize minimum);

class MoveSizeController {
public:
    MoveSizeController(MoveSizeHost &host, WindowModes &modes, const Settings &settings);

    // Background mouse events: client position, global position.
    void mouseMove(QPoint pos, QPoint globalPos, Qt::MouseButtons buttons);
    void mousePress(QPoint pos, QPoint globalPos, Qt::MouseButton button);
    void mouseRelease(QPoint pos, QPoint globalPos, Qt::MouseButton button);
    // The window's size changed (from any cause).
    void windowResized();
    // The pointer came back to the window: any platform drag is over.
    void pointerEntered();

    enum class Drag { None, Move, Resize };
    Drag following() const { return follow_; }
    bool platformResizeRunning() const { return platformResize_; }

private:
    void saveNormalSize();
    void beginFollow(Drag drag, Qt::Edges edges, QPoint globalPos);

    MoveSizeHost &host_;
    WindowModes &modes_;
    AppSettings settings_;
    bool resizeStarted_ = false;
    bool pointerOffBorder_ = true;
    bool leftPressed_ = false;
    bool platformResize_ = false;
    Drag follow_ = Drag::None;
    Qt::Edges followEdges_;
    QPoint followStart_;
    QPoint pressGlobal_;
    QRect geometryAtStart_;
};

} // namespace vantoli::shell
