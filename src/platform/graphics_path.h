#pragma once
// How the program's pixels reach the screen, decided once at start.
//
// Scene: the web panes are Qt Quick scenes. With a GPU they render through
// OpenGL as Qt does by default. Without one, OpenGL would only mean Mesa's
// software rasteriser composing the whole window on every video frame, so
// the panes use Qt Quick's software renderer and no OpenGL driver is loaded
// at all: no X11 GL integration, no shared contexts. Asking X11 for no GL
// integration also selects the software renderer, since a Quick scene that
// finds no OpenGL crashes the program.
//
// Video: on X11 with the software scene the player draws into a native
// child window itself (the window is not composed for video frames);
// elsewhere, and when forced, the frames are rendered into an image the
// widget paints.

#include <QByteArray>
#include <QString>

namespace vantoli {

// The switches found in the environment before the application exists.
struct GraphicsSwitches {
    bool gpu = false;             // a GPU render node exists
    QByteArray quickBackend;      // QT_QUICK_BACKEND as set by the user
    QByteArray xcbGlIntegration;  // QT_XCB_GL_INTEGRATION as set by the user
};

struct GraphicsPlan {
    bool softwareScene = false;   // set QT_QUICK_BACKEND=software
    bool xcbGlOff = false;        // set QT_XCB_GL_INTEGRATION=none
    bool shareGlContexts = true;  // Qt::AA_ShareOpenGLContexts
    bool webEngineGpuOff = false; // the web engine's "--disable-gpu"
};

GraphicsPlan planGraphics(const GraphicsSwitches &switches);

// True when /dev/dri holds a render node.
bool hasGpuRenderNode();

// Reads the switches, decides and applies the plan: environment variables
// and application attributes. Must run before QApplication exists.
GraphicsPlan applyGraphicsPlan();

enum class VideoSurface {
    NativeWindow, // the player draws into a native child window (X11)
    RenderedImage // the player renders frames into an image the widget paints
};

// platformName is QGuiApplication::platformName(); forced is the value of
// VANTOLI_VIDEO ("window" or "image", anything else is no choice). A native
// window needs X11 and the software scene: Qt 6.4 crashes when a web pane
// rendered through OpenGL is added to a window that holds a native child, so
// with the OpenGL scene "window" gives the image too.
VideoSurface chooseVideoSurface(const QString &platformName, const QString &forced, bool softwareScene);

} // namespace vantoli
