#include "platform/d3d/opengl/opengl_d3d.h"

#include "platform/d3d/opengl/gl_renderer.h"
#include "platform/os/debug_output.h"

#include <new>

namespace platform {

HRESULT CreateOpenGLDirect3D(const SoftwareDeviceConfig& config, IDirectDrawSurface4* renderTarget,
                             std::shared_ptr<GLContext> context, SoftwareDirect3D** direct3D,
                             SoftwareDevice** device, std::shared_ptr<D3DCallObserver> observer) {
    constexpr const char* kFunction = "CreateOpenGLDirect3D";
    if (direct3D == nullptr || device == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *direct3D = nullptr;
    *device = nullptr;
    SoftwareSurface* target = SoftwareSurface::From(renderTarget);
    if (target == nullptr || context == nullptr) {
        OutputDebugStringA(target == nullptr ? "CreateOpenGLDirect3D: no software render target\n"
                                             : "CreateOpenGLDirect3D: no OpenGL context\n");
        return DDERR_INVALIDPARAMS;
    }
    // Frames come back through colours, and colours do not go back into palette indices.
    if (target->View().layout.Indexed()) {
        OutputDebugStringA("CreateOpenGLDirect3D: palettised render target\n");
        return DDERR_INVALIDPIXELFORMAT;
    }
    std::shared_ptr<GLRenderer> renderer;
    try {
        renderer = GLRenderer::Create(kFunction, target, std::move(context));
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    if (renderer == nullptr) {
        return DDERR_GENERIC;
    }
    return CreateSoftwareDirect3D(config, direct3D, device, std::move(observer),
                                  std::move(renderer));
}

} // namespace platform
