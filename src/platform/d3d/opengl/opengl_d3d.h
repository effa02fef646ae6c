#pragma once

// The OpenGL device: the software device (platform/d3d/software/software_d3d.h), which
// validates and keeps the state, drawing its scenes through OpenGL 3.3 core into an
// offscreen framebuffer the size of the render target surface.
//
// The frame reaches the surface's memory, converted to its format, at EndScene (and after a
// Clear outside a scene); what the CPU put on the surface since (blits, locks) goes up into
// the framebuffer at the next BeginScene or Clear, so 2D and 3D drawing compose. Textures are
// uploaded on first use and again after their surface's pixels change.
//
//     auto context = platform::CreateHeadlessGLContext();
//     platform::CreateOpenGLDirect3D({}, targetSurface, std::move(context), &direct3D,
//                                    &device);

#include "platform/d3d/opengl/gl_context.h"
#include "platform/d3d/software/software_d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/export.h"

#include <memory>

namespace platform {

// Creates a Direct3D object and a device drawing into `renderTarget` (a software surface)
// through `context`; the caller owns one reference to each. Targets are 16, 24 or 32-bit.
// On failure (no context, a palettised target, a shader or framebuffer OpenGL refuses) a debug line
// names what failed, the result is negative and both are null.
VELCORE_API HRESULT CreateOpenGLDirect3D(const SoftwareDeviceConfig& config,
                                         IDirectDrawSurface4* renderTarget,
                                         std::shared_ptr<GLContext> context,
                                         SoftwareDirect3D** direct3D, SoftwareDevice** device,
                                         std::shared_ptr<D3DCallObserver> observer = nullptr);

} // namespace platform
