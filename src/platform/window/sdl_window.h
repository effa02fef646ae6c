#pragma once

// A window with an OpenGL 3.3 core context through SDL2: the context the OpenGL device draws
// with when a host has a screen, and the place its frames are shown.
//
//     auto window = platform::SdlGLWindow::Open("Host", 640, 480);
//     platform::CreateOpenGLDirect3D({}, target, window, &direct3D, &device);
//     ... each frame: scene, then window->Present(target);

#include "platform/d3d/opengl/gl_context.h"
#include "platform/d3d/opengl/surface_presenter.h"
#include "platform/ddraw/ddraw.h"
#include "platform/export.h"

#include <memory>

struct SDL_Window;

namespace platform {

struct SdlWindowConfig {
    const char* title = "VelCore";
    LONG width = 640;
    LONG height = 480;
    bool hidden = false;
    GLContextConfig context;
};

class VELCORE_API SdlGLWindow final : public GLContext {
public:
    // The window, its context current; null after a debug line naming what failed (SDL's
    // message included), for instance when no video driver can make OpenGL windows.
    static std::shared_ptr<SdlGLWindow> Open(const SdlWindowConfig& config);
    SdlGLWindow() = default;
    ~SdlGLWindow() override;
    SdlGLWindow(const SdlGLWindow&) = delete;
    SdlGLWindow& operator=(const SdlGLWindow&) = delete;

    bool MakeCurrent() override;
    bool SwapBuffers() override;
    void DrawableSize(LONG* width, LONG* height) const override;

    // Shows a software surface stretched over the window and swaps.
    bool Present(IDirectDrawSurface4* surface);

private:
    bool Create(const SdlWindowConfig& config);

    bool m_videoStarted = false;
    SDL_Window* m_window = nullptr;
    void* m_context = nullptr;
    std::unique_ptr<GLSurfacePresenter> m_presenter;
};

} // namespace platform
