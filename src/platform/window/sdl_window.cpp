#include "platform/window/sdl_window.h"

#include "platform/os/debug_output.h"

#include <SDL.h>

#include <string>

namespace platform {
namespace {

bool Fail(const char* what) {
    std::string line =
        std::string("SdlGLWindow::Open: ") + what + " failed (SDL error: " + SDL_GetError() + ")\n";
    OutputDebugStringA(line.c_str());
    return false;
}

} // namespace

std::shared_ptr<SdlGLWindow> SdlGLWindow::Open(const SdlWindowConfig& config) {
    auto window = std::make_shared<SdlGLWindow>();
    if (!window->Create(config)) {
        return nullptr;
    }
    return window;
}

bool SdlGLWindow::Create(const SdlWindowConfig& config) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return Fail("SDL_InitSubSystem");
    }
    m_videoStarted = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, config.context.majorVersion);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, config.context.minorVersion);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    Uint32 flags = SDL_WINDOW_OPENGL | (config.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
    m_window = SDL_CreateWindow(config.title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                config.width, config.height, flags);
    if (m_window == nullptr) {
        return Fail("SDL_CreateWindow");
    }
    m_context = SDL_GL_CreateContext(m_window);
    if (m_context == nullptr) {
        return Fail("SDL_GL_CreateContext");
    }
    m_presenter = GLSurfacePresenter::Create();
    return m_presenter != nullptr;
}

SdlGLWindow::~SdlGLWindow() {
    if (m_presenter != nullptr) {
        MakeCurrent();
        m_presenter.reset();
    }
    if (m_context != nullptr) {
        SDL_GL_DeleteContext(m_context);
    }
    if (m_window != nullptr) {
        SDL_DestroyWindow(m_window);
    }
    if (m_videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
}

bool SdlGLWindow::MakeCurrent() {
    if (SDL_GL_MakeCurrent(m_window, m_context) != 0) {
        std::string line = std::string("SdlGLWindow::MakeCurrent: SDL_GL_MakeCurrent failed (SDL "
                                       "error: ") +
                           SDL_GetError() + ")\n";
        OutputDebugStringA(line.c_str());
        return false;
    }
    return true;
}

bool SdlGLWindow::SwapBuffers() {
    SDL_GL_SwapWindow(m_window);
    return true;
}

void SdlGLWindow::DrawableSize(LONG* width, LONG* height) const {
    int w = 0;
    int h = 0;
    SDL_GL_GetDrawableSize(m_window, &w, &h);
    *width = w;
    *height = h;
}

bool SdlGLWindow::Present(IDirectDrawSurface4* surface) {
    LONG width = 0;
    LONG height = 0;
    DrawableSize(&width, &height);
    return MakeCurrent() && m_presenter->Draw(surface, width, height) && SwapBuffers();
}

} // namespace platform
