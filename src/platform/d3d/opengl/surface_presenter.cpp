#include "platform/d3d/opengl/surface_presenter.h"

#include "platform/d3d/opengl/gl_context.h"
#include "platform/d3d/opengl/gl_pixels.h"

namespace platform {

std::unique_ptr<GLSurfacePresenter> GLSurfacePresenter::Create() {
    auto presenter = std::make_unique<GLSurfacePresenter>();
    glGenTextures(1, &presenter->m_texture);
    glGenFramebuffers(1, &presenter->m_framebuffer);
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        LogGLFailure("GLSurfacePresenter::Create", "texture and framebuffer", "GL", error);
        return nullptr;
    }
    return presenter;
}

GLSurfacePresenter::~GLSurfacePresenter() {
    glDeleteFramebuffers(1, &m_framebuffer);
    glDeleteTextures(1, &m_texture);
}

bool GLSurfacePresenter::Draw(IDirectDrawSurface4* surface, LONG width, LONG height) {
    SoftwareSurface* own = SoftwareSurface::From(surface);
    if (own == nullptr) {
        return false;
    }
    PixelView view = own->View();
    glBindTexture(GL_TEXTURE_2D, m_texture);
    if (m_shown != own || m_shownVersion != own->ContentVersion()) {
        SurfaceToArgb(*own, &m_staging);
        UploadArgbTexture(0, view.width, view.height, m_staging.data());
        m_shown = own;
        m_shownVersion = own->ContentVersion();
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    // Surface rows run top down; the window's bottom row comes first.
    glBlitFramebuffer(0, 0, view.width, view.height, 0, height, width, 0, GL_COLOR_BUFFER_BIT,
                      GL_LINEAR);
    return glGetError() == GL_NO_ERROR;
}

} // namespace platform
