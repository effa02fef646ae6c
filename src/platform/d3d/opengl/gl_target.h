#pragma once

// The offscreen framebuffer (colour and depth) a device draws into, mirroring a render
// target surface of the same size. CPU changes to the surface (blits, locks; its content
// version moved) go up before the next drawing, and the frame comes down into the surface's
// memory, converted to its format, when asked.

#include "platform/ddraw/software/software_ddraw.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

namespace platform {

class GLRenderTarget {
public:
    GLRenderTarget() = default;
    GLRenderTarget(const GLRenderTarget&) = delete;
    GLRenderTarget& operator=(const GLRenderTarget&) = delete;
    ~GLRenderTarget();

    // Takes a reference to `surface`; false after a debug line naming `function`.
    bool Create(const char* function, SoftwareSurface* surface);
    // Binds the framebuffer, first taking up what the CPU put on the surface.
    void Bind();
    // Copies the frame into the surface; false after a debug line when OpenGL failed.
    bool ReadBack(const char* function);

    LONG Width() const { return m_width; }
    LONG Height() const { return m_height; }

private:
    void UploadSurface();

    SoftwareSurface* m_surface = nullptr;
    LONG m_width = 0;
    LONG m_height = 0;
    GLuint m_framebuffer = 0;
    GLuint m_colour = 0;
    GLuint m_depth = 0;
    std::uint64_t m_syncedVersion = 0;
    bool m_synced = false;
    std::vector<Argb> m_staging;
};

} // namespace platform
