#include "platform/d3d/opengl/gl_context.h"

#include "platform/os/debug_output.h"

#include <epoxy/egl.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

void LogGLFailure(const char* function, const char* what, const char* kind, unsigned code) {
    char line[256];
    std::snprintf(line, sizeof(line), "%s: %s failed (%s error 0x%04X)\n", function, what, kind,
                  code);
    OutputDebugStringA(line);
}

namespace {

constexpr const char* kCreator = "CreateHeadlessGLContext";

bool Fail(const char* what) {
    LogGLFailure(kCreator, what, "EGL", static_cast<unsigned>(eglGetError()));
    return false;
}

// The surfaceless display, or what failed in opening it (with the EGL error).
struct SurfacelessDisplay {
    EGLDisplay display = EGL_NO_DISPLAY;
    const char* failed = nullptr;
    unsigned code = 0;
};

SurfacelessDisplay Failure(const char* what) {
    return {EGL_NO_DISPLAY, what, static_cast<unsigned>(eglGetError())};
}

// Initialised once for the process and never terminated: every headless context shares it,
// and terminating it under a live context would pull the driver away.
SurfacelessDisplay OpenSurfacelessDisplay() {
    // Without a GPU, Mesa renders with llvmpipe; asking for it spares probing for devices.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        return Failure("EGL_MESA_platform_surfaceless");
    }
    EGLDisplay display =
        eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        return Failure("eglGetPlatformDisplay");
    }
    EGLint major = 0;
    EGLint minor = 0;
    if (eglInitialize(display, &major, &minor) != EGL_TRUE) {
        return Failure("eglInitialize");
    }
    return {display, nullptr, 0};
}

class HeadlessGLContext final : public GLContext {
public:
    ~HeadlessGLContext() override {
        if (m_context == EGL_NO_CONTEXT) {
            return;
        }
        if (eglGetCurrentContext() == m_context) {
            eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        eglDestroyContext(m_display, m_context);
    }

    bool Open(const GLContextConfig& config) {
        static const SurfacelessDisplay display = OpenSurfacelessDisplay();
        if (display.display == EGL_NO_DISPLAY) {
            LogGLFailure(kCreator, display.failed, "EGL", display.code);
            return false;
        }
        m_display = display.display;
        return CreateContext(config) && MakeCurrent();
    }

    bool MakeCurrent() override {
        return eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context) == EGL_TRUE ||
               Fail("eglMakeCurrent");
    }
    bool SwapBuffers() override { return true; }
    void DrawableSize(LONG* width, LONG* height) const override {
        *width = 0;
        *height = 0;
    }

private:
    bool CreateContext(const GLContextConfig& config) {
        if (!epoxy_has_egl_extension(m_display, "EGL_KHR_surfaceless_context")) {
            return Fail("EGL_KHR_surfaceless_context");
        }
        if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
            return Fail("eglBindAPI");
        }
        const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                           EGL_OPENGL_BIT, EGL_NONE};
        EGLConfig eglConfig = nullptr;
        EGLint count = 0;
        if (eglChooseConfig(m_display, configAttributes, &eglConfig, 1, &count) != EGL_TRUE ||
            count == 0) {
            return Fail("eglChooseConfig");
        }
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                            config.majorVersion,
                                            EGL_CONTEXT_MINOR_VERSION,
                                            config.minorVersion,
                                            EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                            EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                            EGL_NONE};
        m_context = eglCreateContext(m_display, eglConfig, EGL_NO_CONTEXT, contextAttributes);
        return m_context != EGL_NO_CONTEXT || Fail("eglCreateContext");
    }

    EGLDisplay m_display = EGL_NO_DISPLAY;
    EGLContext m_context = EGL_NO_CONTEXT;
};

} // namespace

std::unique_ptr<GLContext> CreateHeadlessGLContext(const GLContextConfig& config) {
    auto context = std::make_unique<HeadlessGLContext>();
    if (!context->Open(config)) {
        return nullptr;
    }
    return context;
}

} // namespace platform
