#include "platform/graphics_path.h"

#include <gtest/gtest.h>

namespace vantoli {
namespace {

GraphicsPlan plan(bool gpu, const char *quick = "", const char *xcbGl = "") {
    return planGraphics({gpu, QByteArray(quick), QByteArray(xcbGl)});
}

TEST(GraphicsPlanTest, WithoutAGpuNothingLoadsOpenGl) {
    const GraphicsPlan p = plan(false);
    EXPECT_TRUE(p.softwareScene);
    EXPECT_TRUE(p.xcbGlOff);
    EXPECT_FALSE(p.shareGlContexts);
    EXPECT_TRUE(p.webEngineGpuOff);
}

TEST(GraphicsPlanTest, WithAGpuTheSceneUsesOpenGl) {
    const GraphicsPlan p = plan(true);
    EXPECT_FALSE(p.softwareScene);
    EXPECT_FALSE(p.xcbGlOff);
    EXPECT_TRUE(p.shareGlContexts);
    EXPECT_FALSE(p.webEngineGpuOff);
}

// Asking X11 for no OpenGL used to crash the program at start: the scene
// then always takes the software renderer, whatever else was asked for.
TEST(GraphicsPlanTest, NoGlIntegrationAlwaysMeansTheSoftwareScene) {
    for (bool gpu : {false, true})
        for (const char *quick : {"", "software", "opengl", "rhi"}) {
            const GraphicsPlan p = plan(gpu, quick, "none");
            EXPECT_TRUE(p.softwareScene) << gpu << quick;
            EXPECT_FALSE(p.shareGlContexts) << gpu << quick;
            EXPECT_FALSE(p.xcbGlOff) << "already off";
        }
}

TEST(GraphicsPlanTest, TheUsersSceneBackendWins) {
    EXPECT_FALSE(plan(false, "opengl").softwareScene);
    EXPECT_TRUE(plan(false, "opengl").shareGlContexts);
    EXPECT_FALSE(plan(false, "opengl").xcbGlOff);
    const GraphicsPlan soft = plan(true, "software");
    EXPECT_TRUE(soft.softwareScene);
    EXPECT_FALSE(soft.shareGlContexts);
    EXPECT_FALSE(soft.xcbGlOff) << "a GPU machine keeps its GL integration";
    // A GL integration the user named stays theirs.
    EXPECT_FALSE(plan(false, "", "xcb_glx").xcbGlOff);
    EXPECT_TRUE(plan(false, "", "xcb_glx").softwareScene);
}

TEST(VideoSurfaceTest, NativeWindowOnX11WithTheSoftwareSceneUnlessForced) {
    const QString xcb = QStringLiteral("xcb");
    EXPECT_EQ(chooseVideoSurface(xcb, {}, true), VideoSurface::NativeWindow);
    EXPECT_EQ(chooseVideoSurface(xcb, QStringLiteral("window"), true), VideoSurface::NativeWindow);
    EXPECT_EQ(chooseVideoSurface(xcb, QStringLiteral("image"), true), VideoSurface::RenderedImage);
    // A native child crashes a window whose panes render through OpenGL.
    EXPECT_EQ(chooseVideoSurface(xcb, {}, false), VideoSurface::RenderedImage);
    EXPECT_EQ(chooseVideoSurface(xcb, QStringLiteral("window"), false), VideoSurface::RenderedImage);
    for (const char *platform : {"wayland", "offscreen", "minimal"}) {
        EXPECT_EQ(chooseVideoSurface(QString::fromLatin1(platform), {}, true), VideoSurface::RenderedImage);
        EXPECT_EQ(chooseVideoSurface(QString::fromLatin1(platform), QStringLiteral("window"), true),
                  VideoSurface::RenderedImage)
            << "no native window outside X11";
    }
}

} // namespace
} // namespace vantoli
