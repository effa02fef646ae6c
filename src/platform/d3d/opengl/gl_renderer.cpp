#include "platform/d3d/opengl/gl_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace platform {
namespace {

DWORD RenderState(const SoftwareDevice& device, D3DRENDERSTATETYPE type, DWORD fallback) {
    return device.RenderState(type).value_or(fallback);
}

DWORD StageState(const SoftwareDevice& device, D3DTEXTURESTAGESTATETYPE type, DWORD fallback) {
    return device.TextureStageState(0, type).value_or(fallback);
}

GLenum BlendFactor(DWORD blend) {
    static constexpr GLenum kFactors[] = {GL_ZERO,      GL_ONE,
                                          GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                          GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                          GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
                                          GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR};
    return blend >= D3DBLEND_ZERO && blend <= D3DBLEND_INVDESTCOLOR ? kFactors[blend - 1] : GL_ONE;
}

GLenum DepthFunction(DWORD comparison) {
    static constexpr GLenum kFunctions[] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                            GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return comparison >= D3DCMP_NEVER && comparison <= D3DCMP_ALWAYS ? kFunctions[comparison - 1]
                                                                     : GL_LEQUAL;
}

// The vertex stage flips y, so a triangle clockwise on the device's screen runs
// counter-clockwise in OpenGL's window: OpenGL's front faces are the device's clockwise ones.
GLenum CullFace(DWORD mode) {
    switch (mode) {
    case D3DCULL_NONE:
        return 0;
    case D3DCULL_CW:
        return GL_FRONT;
    default:
        return GL_BACK;
    }
}

// The row-vector product a x b: a applies first.
D3DMATRIX Then(const D3DMATRIX& a, const D3DMATRIX& b) {
    return MatrixMult(b, a);
}

void PutColour(GLfloat* to, const D3DCOLORVALUE& colour, GLfloat last) {
    to[0] = colour.r;
    to[1] = colour.g;
    to[2] = colour.b;
    to[3] = last;
}

void PutVector(GLfloat* to, const D3DVECTOR& vector, GLfloat last) {
    to[0] = vector.x;
    to[1] = vector.y;
    to[2] = vector.z;
    to[3] = last;
}

D3DVECTOR Normalised(const D3DVECTOR& v) {
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0 ? D3DVECTOR{v.x / length, v.y / length, v.z / length} : v;
}

void PutLight(GLLightUniforms& lights, int i, const D3DLIGHT2& light) {
    bool specular = (light.dwFlags & D3DLIGHT_NO_SPECULAR) == 0;
    PutColour(&lights.colour[4 * i], light.dcvColor, specular ? 1.0f : 0.0f);
    PutVector(&lights.position[4 * i], light.dvPosition, static_cast<GLfloat>(light.dltType));
    PutVector(&lights.direction[4 * i], Normalised(light.dvDirection), light.dvRange);
    PutVector(&lights.attenuation[4 * i],
              D3DVECTOR{light.dvAttenuation0, light.dvAttenuation1, light.dvAttenuation2},
              light.dvFalloff);
    lights.cone[2 * i] = std::cos(light.dvTheta / 2);
    lights.cone[2 * i + 1] = std::cos(light.dvPhi / 2);
}

// The sampler for magnification and minification filters and mipmapping, by index bits.
GLuint SamplerIndex(bool magnifyLinear, bool minifyLinear, bool mipmapped) {
    return (magnifyLinear ? 1 : 0) | (minifyLinear ? 2 : 0) | (mipmapped ? 4 : 0);
}

void ConfigureSampler(GLuint sampler, GLuint index) {
    bool magnifyLinear = (index & 1) != 0;
    bool minifyLinear = (index & 2) != 0;
    bool mipmapped = (index & 4) != 0;
    GLint minify = minifyLinear ? GL_LINEAR : GL_NEAREST;
    if (mipmapped) {
        minify = minifyLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST;
    }
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magnifyLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minify);
}

void Enable(GLenum capability, bool enabled) {
    if (enabled) {
        glEnable(capability);
    } else {
        glDisable(capability);
    }
}

} // namespace

std::shared_ptr<GLRenderer> GLRenderer::Create(const char* function, SoftwareSurface* target,
                                               std::shared_ptr<GLContext> context) {
    if (!context->MakeCurrent()) {
        return nullptr;
    }
    auto renderer = std::make_shared<GLRenderer>(std::move(context));
    if (!renderer->Initialise(function, target)) {
        return nullptr;
    }
    return renderer;
}

bool GLRenderer::Initialise(const char* function, SoftwareSurface* target) {
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 33) {
        LogGLFailure(function, "OpenGL 3.3 core", "GL", glGetError());
        return false;
    }
    m_program = BuildFixedFunctionProgram(function, &m_uniforms);
    if (m_program == 0 || !m_target.Create(function, target)) {
        return false;
    }
    m_stream.Create();
    glGenSamplers(static_cast<GLsizei>(m_samplers.size()), m_samplers.data());
    for (GLuint i = 0; i < m_samplers.size(); ++i) {
        ConfigureSampler(m_samplers[i], i);
    }
    return true;
}

GLRenderer::~GLRenderer() {
    m_context->MakeCurrent();
    glDeleteSamplers(static_cast<GLsizei>(m_samplers.size()), m_samplers.data());
    glDeleteProgram(m_program);
}

// Makes the context current and binds what every draw uses; other users of the context
// (a window presenting) may have changed any binding since the last scene.
bool GLRenderer::Prepare() {
    if (!m_context->MakeCurrent()) {
        return false;
    }
    m_target.Bind();
    glUseProgram(m_program);
    glUniform1i(m_uniforms.texture, 0);
    glActiveTexture(GL_TEXTURE0);
    m_stream.Bind();
    glFrontFace(GL_CCW);
    m_stateKnown = false;
    return true;
}

HRESULT GLRenderer::BeginScene() {
    if (!Prepare()) {
        return DDERR_GENERIC;
    }
    m_inScene = true;
    return D3D_OK;
}

HRESULT GLRenderer::EndScene() {
    m_inScene = false;
    bool copied = m_target.ReadBack("IDirect3DDevice3::EndScene");
    m_textures.ReleaseUnused();
    return copied ? D3D_OK : DDERR_GENERIC;
}

D3DVIEWPORT2 GLRenderer::RectangleOf(const SoftwareViewport& viewport) const {
    if (const D3DVIEWPORT2* rectangle = viewport.Rectangle()) {
        return *rectangle;
    }
    D3DVIEWPORT2 whole{};
    whole.dwWidth = static_cast<DWORD>(m_target.Width());
    whole.dwHeight = static_cast<DWORD>(m_target.Height());
    whole.dvMaxZ = 1.0f;
    return whole;
}

HRESULT GLRenderer::Clear(const SoftwareViewport& viewport, DWORD count, const D3DRECT* rects,
                          DWORD flags) {
    if (!m_inScene && !Prepare()) {
        return DDERR_GENERIC;
    }
    D3DCOLORVALUE background{0, 0, 0, 1};
    if (const D3DMATERIAL* material = viewport.BackgroundMaterial()) {
        background = material->dcvDiffuse;
    }
    glClearColor(background.r, background.g, background.b, background.a);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    m_fixed.depthWrite = true;
    GLbitfield mask = ((flags & D3DCLEAR_TARGET) != 0 ? GL_COLOR_BUFFER_BIT : 0) |
                      ((flags & D3DCLEAR_ZBUFFER) != 0 ? GL_DEPTH_BUFFER_BIT : 0);
    D3DVIEWPORT2 bounds = RectangleOf(viewport);
    LONG left = static_cast<LONG>(bounds.dwX);
    LONG top = static_cast<LONG>(bounds.dwY);
    LONG right = std::min<LONG>(left + static_cast<LONG>(bounds.dwWidth), m_target.Width());
    LONG bottom = std::min<LONG>(top + static_cast<LONG>(bounds.dwHeight), m_target.Height());
    glEnable(GL_SCISSOR_TEST);
    for (DWORD i = 0; i < count; ++i) {
        LONG x1 = std::max(rects[i].x1, left);
        LONG y1 = std::max(rects[i].y1, top);
        LONG x2 = std::min(rects[i].x2, right);
        LONG y2 = std::min(rects[i].y2, bottom);
        if (x1 < x2 && y1 < y2) {
            glScissor(x1, y1, x2 - x1, y2 - y1);
            glClear(mask);
        }
    }
    glDisable(GL_SCISSOR_TEST);
    if (m_inScene) {
        return D3D_OK;
    }
    return m_target.ReadBack("IDirect3DViewport3::Clear") ? D3D_OK : DDERR_GENERIC;
}

HRESULT GLRenderer::Draw(const SoftwareDevice& device, const D3DVERTEX* vertices, DWORD vertexCount,
                         const WORD* indices, DWORD indexCount) {
    if (indexCount == 0) {
        return D3D_OK;
    }
    ApplyTransforms(device);
    ApplyMaterial(device.CurrentMaterial());
    ApplyLights(device);
    GLFixedState fixed = FixedStateOf(device);
    ApplyStage(device, &fixed);
    ApplyFixedState(fixed);
    m_stateKnown = true;
    m_stream.Draw(vertices, vertexCount, indices, indexCount);
    return D3D_OK;
}

void GLRenderer::ApplyTransforms(const SoftwareDevice& device) {
    std::array<D3DMATRIX, 3> transforms = {device.Transform(D3DTRANSFORMSTATE_WORLD),
                                           device.Transform(D3DTRANSFORMSTATE_VIEW),
                                           device.Transform(D3DTRANSFORMSTATE_PROJECTION)};
    if (m_stateKnown && std::memcmp(&transforms, &m_transforms, sizeof(transforms)) == 0) {
        return;
    }
    const auto& [world, view, projection] = transforms;
    D3DMATRIX worldViewProjection = Then(Then(world, view), projection);
    glUniformMatrix4fv(m_uniforms.worldViewProjection, 1, GL_FALSE, &worldViewProjection.m[0][0]);
    glUniformMatrix4fv(m_uniforms.world, 1, GL_FALSE, &world.m[0][0]);
    if (!m_stateKnown || std::memcmp(&view, &m_transforms[1], sizeof(view)) != 0) {
        // The camera sits where the inverse view puts the origin.
        D3DMATRIX camera = MatrixInverse(view);
        glUniform3f(m_uniforms.eye, camera._41, camera._42, camera._43);
    }
    m_transforms = transforms;
}

void GLRenderer::ApplyMaterial(const D3DMATERIAL* material) {
    bool lit = material != nullptr;
    if (m_stateKnown && lit == m_lit &&
        (!lit || std::memcmp(material, &m_material, sizeof(D3DMATERIAL)) == 0)) {
        return;
    }
    glUniform1i(m_uniforms.lit, lit ? 1 : 0);
    m_lit = lit;
    if (!lit) {
        return;
    }
    glUniform4fv(m_uniforms.materialDiffuse, 1, &material->dcvDiffuse.r);
    glUniform4fv(m_uniforms.materialAmbient, 1, &material->dcvAmbient.r);
    glUniform4fv(m_uniforms.materialSpecular, 1, &material->dcvSpecular.r);
    glUniform4fv(m_uniforms.materialEmissive, 1, &material->dcvEmissive.r);
    glUniform1f(m_uniforms.materialPower, material->dvPower);
    m_material = *material;
}

void GLRenderer::ApplyLights(const SoftwareDevice& device) {
    GLLightUniforms lights;
    for (const SoftwareLight* light : device.CurrentViewport()->Lights()) {
        const D3DLIGHT2& description = light->Description();
        if ((description.dwFlags & D3DLIGHT_ACTIVE) != 0 && lights.count < kMaxLights) {
            PutLight(lights, lights.count++, description);
        }
    }
    Argb ambient = device.LightState(D3DLIGHTSTATE_AMBIENT).value_or(0);
    lights.ambient = {((ambient >> 16) & 0xFF) / 255.0f, ((ambient >> 8) & 0xFF) / 255.0f,
                      (ambient & 0xFF) / 255.0f};
    if (m_stateKnown && lights == m_lights) {
        return;
    }
    glUniform1i(m_uniforms.lightCount, lights.count);
    glUniform4fv(m_uniforms.lightColour, kMaxLights, lights.colour.data());
    glUniform4fv(m_uniforms.lightPosition, kMaxLights, lights.position.data());
    glUniform4fv(m_uniforms.lightDirection, kMaxLights, lights.direction.data());
    glUniform4fv(m_uniforms.lightAttenuation, kMaxLights, lights.attenuation.data());
    glUniform2fv(m_uniforms.lightCone, kMaxLights, lights.cone.data());
    glUniform3fv(m_uniforms.ambient, 1, lights.ambient.data());
    m_lights = lights;
}

void GLRenderer::ApplyStage(const SoftwareDevice& device, GLFixedState* fixed) {
    GLStageUniforms stage;
    auto* surface = dynamic_cast<SoftwareSurface*>(device.Texture(0));
    DWORD operation = StageState(device, D3DTSS_COLOROP, D3DTOP_MODULATE);
    if (surface != nullptr && operation != D3DTOP_DISABLE) {
        bool keyEnabled = RenderState(device, D3DRENDERSTATE_COLORKEYENABLE, FALSE) != FALSE;
        const GLTexture& texture = m_textures.Prepare(surface, keyEnabled);
        if (m_textures.UploadCount() != m_uploadsSeen) {
            m_uploadsSeen = m_textures.UploadCount();
            m_fixed.texture = texture.name; // uploading bound it
        }
        stage.operation = static_cast<GLint>(operation);
        stage.arguments[0] =
            static_cast<GLint>(StageState(device, D3DTSS_COLORARG1, D3DTA_TEXTURE));
        stage.arguments[1] =
            static_cast<GLint>(StageState(device, D3DTSS_COLORARG2, D3DTA_CURRENT));
        stage.colourKey = texture.keyed ? 1 : 0;
        fixed->texture = texture.name;
        fixed->sampler = m_samplers[SamplerIndex(
            StageState(device, D3DTSS_MAGFILTER, D3DTFG_POINT) == D3DTFG_LINEAR,
            StageState(device, D3DTSS_MINFILTER, D3DTFN_POINT) == D3DTFN_LINEAR,
            texture.levels.size() > 1)];
    }
    if (m_stateKnown && stage == m_stage) {
        return;
    }
    glUniform1i(m_uniforms.colourOperation, stage.operation);
    glUniform2i(m_uniforms.colourArguments, stage.arguments[0], stage.arguments[1]);
    glUniform1i(m_uniforms.colourKey, stage.colourKey);
    m_stage = stage;
}

GLFixedState GLRenderer::FixedStateOf(const SoftwareDevice& device) const {
    D3DVIEWPORT2 rectangle = RectangleOf(*device.CurrentViewport());
    GLFixedState fixed;
    fixed.viewport[0] = static_cast<GLint>(rectangle.dwX);
    fixed.viewport[1] = static_cast<GLint>(rectangle.dwY);
    fixed.viewport[2] = static_cast<GLint>(rectangle.dwWidth);
    fixed.viewport[3] = static_cast<GLint>(rectangle.dwHeight);
    fixed.depthRange[0] = rectangle.dvMinZ;
    fixed.depthRange[1] = rectangle.dvMaxZ;
    fixed.blend = RenderState(device, D3DRENDERSTATE_ALPHABLENDENABLE, FALSE) != FALSE;
    fixed.sourceFactor = BlendFactor(RenderState(device, D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE));
    fixed.destinationFactor =
        BlendFactor(RenderState(device, D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO));
    fixed.depthTest = RenderState(device, D3DRENDERSTATE_ZENABLE, TRUE) != FALSE;
    fixed.depthWrite = RenderState(device, D3DRENDERSTATE_ZWRITEENABLE, TRUE) != FALSE;
    fixed.depthFunction =
        DepthFunction(RenderState(device, D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL));
    fixed.cullFace = CullFace(RenderState(device, D3DRENDERSTATE_CULLMODE, D3DCULL_CCW));
    return fixed;
}

// Each piece of state goes to OpenGL only when it changed: redundant calls still make the
// driver revalidate its state before the next draw.
void GLRenderer::ApplyFixedState(const GLFixedState& fixed) {
    const bool known = m_stateKnown;
    auto changed = [known](const auto& now, const auto& before) { return !known || now != before; };
    if (changed(std::to_array(fixed.viewport), std::to_array(m_fixed.viewport))) {
        glViewport(fixed.viewport[0], fixed.viewport[1], fixed.viewport[2], fixed.viewport[3]);
    }
    if (changed(std::to_array(fixed.depthRange), std::to_array(m_fixed.depthRange))) {
        glDepthRange(fixed.depthRange[0], fixed.depthRange[1]);
    }
    if (changed(fixed.blend, m_fixed.blend)) {
        Enable(GL_BLEND, fixed.blend);
    }
    if (changed(std::pair(fixed.sourceFactor, fixed.destinationFactor),
                std::pair(m_fixed.sourceFactor, m_fixed.destinationFactor))) {
        glBlendFunc(fixed.sourceFactor, fixed.destinationFactor);
    }
    if (changed(fixed.depthTest, m_fixed.depthTest)) {
        Enable(GL_DEPTH_TEST, fixed.depthTest);
    }
    if (changed(fixed.depthWrite, m_fixed.depthWrite)) {
        glDepthMask(fixed.depthWrite ? GL_TRUE : GL_FALSE);
    }
    if (changed(fixed.depthFunction, m_fixed.depthFunction)) {
        glDepthFunc(fixed.depthFunction);
    }
    if (changed(fixed.cullFace, m_fixed.cullFace)) {
        Enable(GL_CULL_FACE, fixed.cullFace != 0);
        if (fixed.cullFace != 0) {
            glCullFace(fixed.cullFace);
        }
    }
    if (changed(fixed.texture, m_fixed.texture)) {
        glBindTexture(GL_TEXTURE_2D, fixed.texture);
    }
    if (changed(fixed.sampler, m_fixed.sampler)) {
        glBindSampler(0, fixed.sampler);
    }
    m_fixed = fixed;
}

} // namespace platform
