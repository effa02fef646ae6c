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

namespace {

// 8-8-8 channels in 32 bits: the layout OpenGL reads as GL_BGRA, straight into the surface.
bool ReadsDirectly(const PixelView& view) {
    const PixelLayout& layout = view.layout;
    return layout.bitCount == 32 && layout.redMask == 0xFF0000 && layout.greenMask == 0xFF00 &&
           layout.blueMask == 0xFF && view.pitch % 4 == 0;
}

// Surfaces without alpha keep 0 in the bits alpha would have.
void ClearUnusedAlpha(const PixelView& view) {
    for (LONG y = 0; y < view.height; ++y) {
        auto* row =
            reinterpret_cast<DWORD*>(view.bits + static_cast<std::ptrdiff_t>(y) * view.pitch);
        for (LONG x = 0; x < view.width; ++x) {
            row[x] &= 0x00FFFFFFu;
        }
    }
}

} // namespace

bool GLRenderTarget::ReadBack(const char* function) {
    PixelView view = m_surface->View();
    bool direct = !m_surface->Lost() && ReadsDirectly(view);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, direct ? view.pitch / 4 : 0);
    glReadPixels(0, 0, m_width, m_height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                 direct ? static_cast<void*>(view.bits) : m_staging.data());
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        LogGLFailure(function, "drawing the scene", "GL", error);
        return false;
    }
    if (m_surface->Lost()) {
        return true;
    }
    if (!direct) {
        ConvertBlock(ArgbView(m_staging.data(), m_width, m_height), 0, 0, view, 0, 0, m_width,
                     m_height);
    } else if (view.layout.alphaMask == 0) {
        ClearUnusedAlpha(view);
    }
    m_surface->MarkContentChanged();
    m_syncedVersion = m_surface->ContentVersion();
    return true;
}

} // namespace platform
