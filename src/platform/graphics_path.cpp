#include "platform/graphics_path.h"

#include <QCoreApplication>
#include <QDir>

namespace vantoli {

GraphicsPlan planGraphics(const GraphicsSwitches &s) {
    GraphicsPlan plan;
    const bool userSoftware = s.quickBackend == "software";
    const bool glImpossible = s.xcbGlIntegration == "none";
    if (glImpossible) {
        // Whatever Quick backend was asked for, without OpenGL only the
        // software one works.
        plan.softwareScene = true;
    } else if (!s.quickBackend.isEmpty()) {
        plan.softwareScene = userSoftware; // the user's choice wins
    } else {
        plan.softwareScene = !s.gpu;
    }
    plan.shareGlContexts = !plan.softwareScene;
    // No driver is loaded when nothing needs one; a GL integration the user
    // named is theirs.
    plan.xcbGlOff = plan.softwareScene && !s.gpu && s.xcbGlIntegration.isEmpty();
    plan.webEngineGpuOff = !s.gpu;
    return plan;
}

bool hasGpuRenderNode() {
    return !QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty();
}

GraphicsPlan applyGraphicsPlan() {
    GraphicsSwitches switches;
    switches.gpu = hasGpuRenderNode();
    switches.quickBackend = qgetenv("QT_QUICK_BACKEND");
    switches.xcbGlIntegration = qgetenv("QT_XCB_GL_INTEGRATION");
    const GraphicsPlan plan = planGraphics(switches);
    if (plan.softwareScene)
        qputenv("QT_QUICK_BACKEND", "software");
    if (plan.xcbGlOff)
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // The web engine still asks for a context of its own to share; without
    // an X11 GL integration that fails at once and loads nothing.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, plan.shareGlContexts);
    return plan;
}

VideoSurface chooseVideoSurface(const QString &platformName, const QString &forced, bool softwareScene) {
    if (forced == u"image" || !softwareScene)
        return VideoSurface::RenderedImage;
    return platformName == u"xcb" ? VideoSurface::NativeWindow : VideoSurface::RenderedImage;
}

} // namespace vantoli
