#pragma once

// Shows a DirectDraw surface in a window's default framebuffer through the window's current
// OpenGL context: the pixels go up into a texture (again only after they changed) and are
// stretched over the whole drawable.

#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/pixels.h"
#include "platform/export.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

class VELCORE_API GLSurfacePresenter {
public:
    // Needs the window's context current; null after a debug line naming what failed.
    static std::unique_ptr<GLSurfacePresenter> Create();
    GLSurfacePresenter() = default;
    ~GLSurfacePresenter();
    GLSurfacePresenter(const GLSurfacePresenter&) = delete;
    GLSurfacePresenter& operator=(const GLSurfacePresenter&) = delete;

    // Draws a software surface over a drawable of `width` x `height`; false for other
    // surfaces.
    bool Draw(IDirectDrawSurface4* surface, LONG width, LONG height);

private:
    unsigned m_texture = 0;
    unsigned m_framebuffer = 0;
    const void* m_shown = nullptr; // the surface whose pixels the texture holds
    std::uint64_t m_shownVersion = 0;
    std::vector<Argb> m_staging;
};

} // namespace platform
