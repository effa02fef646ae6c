#include "platform/d3d/opengl/gl_target.h"

#include "platform/d3d/opengl/gl_context.h"
#include "platform/d3d/opengl/gl_pixels.h"

namespace platform {

GLRenderTarget::~GLRenderTarget() {
    glDeleteFramebuffers(1, &m_framebuffer);
    glDeleteTextures(1, &m_colour);
    glDeleteRenderbuffers(1, &m_depth);
    if (m_surface != nullptr) {
        m_surface->Release();
    }
}

bool GLRenderTarget::Create(const char* function, SoftwareSurface* surface) {
    surface->AddRef();
    m_surface = surface;
    PixelView view = surface->View();
    m_width = view.width;
    m_height = view.height;
    m_staging.resize(static_cast<std::size_t>(m_width) * m_height);
    glGenTextures(1, &m_colour);
    glBindTexture(GL_TEXTURE_2D, m_colour);
    UploadArgbTexture(0, m_width, m_height, nullptr);
    glGenRenderbuffers(1, &m_depth);
    glBindRenderbuffer(GL_RENDERBUFFER, m_depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, m_width, m_height);
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        LogGLFailure(function, "render target storage", "GL", error);
        return false;
    }
    glGenFramebuffers(1, &m_framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_colour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_depth);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        LogGLFailure(function, "framebuffer", "GL", status);
        return false;
    }
    // A scene drawn before any clear still passes the depth test.
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    return true;
}

void GLRenderTarget::Bind() {
    glBindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
    if (!m_synced || m_surface->ContentVersion() != m_syncedVersion) {
        UploadSurface();
    }
}

void GLRenderTarget::UploadSurface() {
    SurfaceToArgb(*m_surface, &m_staging);
    glBindTexture(GL_TEXTURE_2D, m_colour);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, m_width, m_height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                    m_staging.data());
    m_syncedVersion = m_surface->ContentVersion();
    m_synced = true;
}

bool GLRenderTarget::ReadBack(const char* function) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, m_width, m_height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, m_staging.data());
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        LogGLFailure(function, "drawing the scene", "GL", error);
        return false;
    }
    if (m_surface->Lost()) {
        return true;
    }
    ConvertBlock(ArgbView(m_staging.data(), m_width, m_height), 0, 0, m_surface->View(), 0, 0,
                 m_width, m_height);
    m_surface->MarkContentChanged();
    m_syncedVersion = m_surface->ContentVersion();
    return true;
}

} // namespace platform
