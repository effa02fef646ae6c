#pragma once

// Where the OpenGL renderer draws: a current OpenGL 3.3 core context. Headless contexts come
// from EGL on Mesa's surfaceless platform (no display, no GPU: llvmpipe); windowed ones from
// SDL (platform/window/sdl_window.h). Contexts are used from one thread.

#include "platform/export.h"
#include "platform/types.h"

#include <memory>

namespace platform {

struct GLContextConfig {
    // The OpenGL version asked for, core profile; the renderer needs 3.3.
    int majorVersion = 3;
    int minorVersion = 3;
};

class VELCORE_API GLContext {
public:
    virtual ~GLContext() = default;
    // Makes the context current on the calling thread; false when that fails.
    virtual bool MakeCurrent() = 0;
    // Shows what was drawn into the default framebuffer; nothing to do without a window.
    virtual bool SwapBuffers() = 0;
    // The default framebuffer's size in pixels; 0 x 0 without a window.
    virtual void DrawableSize(LONG* width, LONG* height) const = 0;
};

// A headless context on EGL's surfaceless platform, current on return; null after a debug
// line naming what failed (EGL error code included). It renders with llvmpipe unless the
// process set LIBGL_ALWAYS_SOFTWARE=0 beforehand to let Mesa pick a GPU.
VELCORE_API std::unique_ptr<GLContext> CreateHeadlessGLContext(const GLContextConfig& config = {});

// Writes "<function>: <what> failed (<kind> error 0x<code>)" to the debug output.
void LogGLFailure(const char* function, const char* what, const char* kind, unsigned code);

} // namespace platform
