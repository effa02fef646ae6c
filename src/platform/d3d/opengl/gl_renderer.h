#pragma once

// The renderer behind the OpenGL device: draws what the software device validated into an
// offscreen framebuffer that mirrors the render target surface. State reaches OpenGL only
// when it changed since the previous draw.

#include "platform/d3d/opengl/gl_context.h"
#include "platform/d3d/opengl/gl_program.h"
#include "platform/d3d/opengl/gl_stream.h"
#include "platform/d3d/opengl/gl_target.h"
#include "platform/d3d/opengl/gl_textures.h"
#include "platform/d3d/software/software_d3d.h"

#include <array>
#include <memory>

namespace platform {

// The per-draw uniforms of the lights and the ambient light, compared as a whole.
struct GLLightUniforms {
    GLint count = 0;
    std::array<GLfloat, 4 * kMaxLights> colour{};
    std::array<GLfloat, 4 * kMaxLights> position{};
    std::array<GLfloat, 4 * kMaxLights> direction{};
    std::array<GLfloat, 4 * kMaxLights> attenuation{};
    std::array<GLfloat, 2 * kMaxLights> cone{};
    std::array<GLfloat, 3> ambient{};
    bool operator==(const GLLightUniforms&) const = default;
};

// The texture stage uniforms.
struct GLStageUniforms {
    GLint operation = 0; // 0: no texture
    GLint arguments[2] = {};
    GLint colourKey = 0;
    bool operator==(const GLStageUniforms&) const = default;
};

// Fixed-function OpenGL state set per draw.
struct GLFixedState {
    GLint viewport[4] = {};
    GLfloat depthRange[2] = {};
    bool blend = false;
    GLenum sourceFactor = GL_ONE;
    GLenum destinationFactor = GL_ZERO;
    bool depthTest = true;
    bool depthWrite = true;
    GLenum depthFunction = GL_LEQUAL;
    GLenum cullFace = GL_BACK; // 0: none
    GLuint texture = 0;
    GLuint sampler = 0;
};

class GLRenderer final : public SoftwareRenderer {
public:
    // A renderer drawing into `target` through `context`; null after a debug line naming
    // `function` and what failed.
    static std::shared_ptr<GLRenderer> Create(const char* function, SoftwareSurface* target,
                                              std::shared_ptr<GLContext> context);
    explicit GLRenderer(std::shared_ptr<GLContext> context) : m_context(std::move(context)) {}
    ~GLRenderer() override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(const SoftwareViewport& viewport, DWORD count, const D3DRECT* rects,
                  DWORD flags) override;
    HRESULT Draw(const SoftwareDevice& device, const D3DVERTEX* vertices, DWORD vertexCount,
                 const WORD* indices, DWORD indexCount) override;

private:
    bool Initialise(const char* function, SoftwareSurface* target);
    bool Prepare();
    void ApplyTransforms(const SoftwareDevice& device);
    void ApplyMaterial(const D3DMATERIAL* material);
    void ApplyLights(const SoftwareDevice& device);
    void ApplyStage(const SoftwareDevice& device, GLFixedState* fixed);
    void ApplyFixedState(const GLFixedState& fixed);
    GLFixedState FixedStateOf(const SoftwareDevice& device) const;
    D3DVIEWPORT2 RectangleOf(const SoftwareViewport& viewport) const;

    std::shared_ptr<GLContext> m_context; // first in, last out: the others need it current
    GLRenderTarget m_target;
    GLTextureCache m_textures;
    GLVertexStream m_stream;
    GLuint m_program = 0;
    GLUniforms m_uniforms;
    std::array<GLuint, 8> m_samplers{};
    bool m_inScene = false;

    // What OpenGL was last given; `m_stateKnown` false forgets it all.
    bool m_stateKnown = false;
    std::array<D3DMATRIX, 3> m_transforms{};
    D3DMATERIAL m_material{};
    bool m_lit = false;
    GLLightUniforms m_lights;
    GLStageUniforms m_stage;
    GLFixedState m_fixed;
    std::uint64_t m_uploadsSeen = 0;
};

} // namespace platform
