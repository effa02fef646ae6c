// The windowed context: an SDL window with an OpenGL 3.3 core context that the device draws
// with and that presents the target surface. Run without a display through SDL's offscreen
// video driver; where no driver can make an OpenGL window the test says so and skips.

#include "platform/d3d/opengl/opengl_d3d.h"
#include "platform/window/sdl_window.h"
#include "testkit/debug_capture.h"
#include "testkit/gl_scene.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// SDL's offscreen driver terminates its EGL display when the window closes, which unloads
// Mesa's driver with allocations of its own still listed; the sanitizer then reports them as
// leaks of unknown origin. The headless display, kept for the whole process, keeps the
// driver loaded.
void UseOffscreenVideo() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    static const std::unique_ptr<platform::GLContext> keepsDriverLoaded =
        platform::CreateHeadlessGLContext();
}

std::shared_ptr<platform::SdlGLWindow> OpenHiddenWindow(std::string* why) {
    UseOffscreenVideo();
    testkit::DebugCapture capture;
    platform::SdlWindowConfig config;
    config.width = 64;
    config.height = 48;
    config.hidden = true;
    auto window = platform::SdlGLWindow::Open(config);
    *why = capture.Text();
    return window;
}

TEST(SdlGLWindow, DrawsAndPresentsTheTarget) {
    std::string why;
    std::shared_ptr<platform::SdlGLWindow> window = OpenHiddenWindow(&why);
    if (window == nullptr) {
        GTEST_SKIP() << "no video driver makes OpenGL windows here: " << why;
    }
    LONG width = 0;
    LONG height = 0;
    window->DrawableSize(&width, &height);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);

    testkit::GLSceneHost host(64, 48, platform::Xrgb8888Format(), window);
    ASSERT_EQ(host.SkipReason(), "");
    host.ClearTo(testkit::Colour(0, 0, 1));
    EXPECT_EQ(host.Pixel(0, 0), 0x0000FFu);
    EXPECT_TRUE(window->Present(host.Target()));
}

TEST(SdlGLWindow, AnImpossibleContextFailsWithSdlsMessage) {
    UseOffscreenVideo();
    testkit::DebugCapture capture;
    platform::SdlWindowConfig config;
    config.hidden = true;
    config.context = {9, 9};
    EXPECT_EQ(platform::SdlGLWindow::Open(config), nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u) << capture.Text();
    EXPECT_TRUE(capture.Contains("SdlGLWindow::Open: ")) << capture.Text();
    EXPECT_TRUE(capture.Contains("failed (SDL error: ")) << capture.Text();
}

} // namespace
